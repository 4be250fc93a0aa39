// Uploading as the export & setup page runs it: the Auto Upload box with
// its timers and stored credentials, success notices from the upload
// worker, the ten-minute check and the console's removal, on the real page
// in the real main window with the test playing the console.
#include <windows.h>

#include <dbt.h>

#include <string>

#include <gtest/gtest.h>

#include "app/language_tables.h"
#include "link/messages.h"
#include "resources/resource_ids.h"
#include "tests/settings/setup_page_fixture_win.h"
#include "tests/support/broadcast_record_win.h"
#include "upload/upload_requests_win.h"

namespace {

using namespace setup_page_test;

constexpr UploadService WU = SERVICE_WEATHER_UNDERGROUND;
constexpr UploadService WC = SERVICE_WEATHERCLOUD;

// Counts what is done to the result controls, to tell a display that was
// set again from one left alone.
struct ResultSpy {
    int textsSet = 0;
    int iconsSet = 0;
};
ResultSpy spy;
WNDPROC textProc = nullptr;
WNDPROC iconProc = nullptr;

LRESULT CALLBACK spyText(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        ++spy.textsSet;
    return CallWindowProcW(textProc, window, message, wParam, lParam);
}

LRESULT CALLBACK spyIcon(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == STM_SETICON)
        ++spy.iconsSet;
    return CallWindowProcW(iconProc, window, message, wParam, lParam);
}

class UploadTest : public SetupPageTest {
protected:
    void startSpying()
    {
        spy = ResultSpy{};
        textProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control(IDC_UPLOAD_TEXT), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(spyText)));
        iconProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control(IDC_UPLOAD_ICON), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(spyIcon)));
    }

    // Types the credentials of the selected service and checks Auto Upload.
    static void switchOn(const wchar_t* id, const wchar_t* key)
    {
        type(IDC_STATION_ID, id);
        type(IDC_STATION_KEY, key);
        CheckDlgButton(setupPage, IDC_AUTO_UPLOAD, BST_CHECKED);
        click(setupPage, IDC_AUTO_UPLOAD);
    }

    static void tick(UINT_PTR timer) { SendMessageW(setupPage, WM_TIMER, timer, 0); }
    static void success(UploadService service)
    {
        SendMessageW(setupPage, service == WU ? WM_UPLOAD_SUCCESS : WM_UPLOAD_OK, 0, 0);
    }

    static HICON icon(int id) { return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id)); }
    static HICON resultIcon()
    {
        return reinterpret_cast<HICON>(SendDlgItemMessageW(setupPage, IDC_UPLOAD_ICON, STM_GETICON, 0, 0));
    }
    static bool resultShown() { return shown(control(IDC_UPLOAD_TEXT)) && shown(control(IDC_UPLOAD_ICON)); }
    static bool resultHidden() { return !shown(control(IDC_UPLOAD_TEXT)) && !shown(control(IDC_UPLOAD_ICON)); }
};

// ---- switching uploads on and off ------------------------------------------------------

TEST_F(UploadTest, AnEmptyIdOrKeyClearsTheBoxAgainSilentlyAndStoresNothing)
{
    start(true);
    switchOn(L"STATION", L"");
    EXPECT_FALSE(checked(IDC_AUTO_UPLOAD));
    EXPECT_EQ(uploadStates[WU].enabled, 0);
    EXPECT_TRUE(enabled(IDC_STATION_ID));
    EXPECT_TRUE(resultHidden());
    EXPECT_FALSE(stopTimer(WU_CHECK_TIMER));

    switchOn(L"", L"key");
    EXPECT_FALSE(checked(IDC_AUTO_UPLOAD));
    EXPECT_EQ(uploadStates[WU].enabled, 0);
    Bytes stored;
    EXPECT_FALSE(readRaw(L"Id", &stored));
    EXPECT_FALSE(readRaw(L"Key", &stored));
    // No message box either: the fixture fails the test on any.
}

TEST_F(UploadTest, SwitchedOnWithTheConsoleTheServiceUploadsWithATimerAndLockedEdits)
{
    start(true);
    switchOn(L"KSTATION7", L"secret");
    EXPECT_TRUE(checked(IDC_AUTO_UPLOAD));
    EXPECT_EQ(uploadStates[WU].enabled, 1);
    EXPECT_FALSE(enabled(IDC_STATION_ID));
    EXPECT_FALSE(enabled(IDC_STATION_KEY));
    Bytes stored;
    ASSERT_TRUE(readRaw(L"Id", &stored));
    EXPECT_EQ(stored, textValue(L"KSTATION7", 128));
    ASSERT_TRUE(readRaw(L"Key", &stored));
    EXPECT_EQ(stored, textValue(L"secret", 128));
    EXPECT_FALSE(readRaw(L"Id1", &stored));

    // Cleared: everything back, and the timer is gone.
    success(WU);
    EXPECT_TRUE(resultShown());
    CheckDlgButton(setupPage, IDC_AUTO_UPLOAD, BST_UNCHECKED);
    click(setupPage, IDC_AUTO_UPLOAD);
    EXPECT_EQ(uploadStates[WU].enabled, 0);
    EXPECT_EQ(uploadStates[WU].successCount, 0);
    EXPECT_EQ(uploadStates[WU].status, UPLOAD_STATUS_NONE);
    EXPECT_TRUE(resultHidden());
    EXPECT_TRUE(enabled(IDC_STATION_ID));
    EXPECT_TRUE(enabled(IDC_STATION_KEY));
    EXPECT_FALSE(stopTimer(WU_CHECK_TIMER));

    // A reply still on its way after the box was cleared shows nothing.
    success(WU);
    EXPECT_TRUE(resultHidden());
    EXPECT_EQ(uploadStates[WU].successCount, 0);

    switchOn(L"KSTATION7", L"secret");
    EXPECT_TRUE(stopTimer(WU_CHECK_TIMER));
    EXPECT_FALSE(stopTimer(WC_CHECK_TIMER));
}

TEST_F(UploadTest, WithoutAConsoleThereIsNoTimerSoUploadShowsButFailNever)
{
    start();
    switchOn(L"KSTATION7", L"secret");
    EXPECT_EQ(uploadStates[WU].enabled, 1);
    EXPECT_FALSE(enabled(IDC_STATION_ID));

    // Ticks while the console is absent change nothing.
    tick(WU_CHECK_TIMER);
    EXPECT_EQ(uploadStates[WU].status, UPLOAD_STATUS_NONE);
    EXPECT_TRUE(resultHidden());

    success(WU);
    EXPECT_TRUE(resultShown());
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");
    EXPECT_EQ(resultIcon(), icon(IDI_UPLOAD_DONE));
    tick(WU_CHECK_TIMER);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");
    EXPECT_EQ(uploadStates[WU].successCount, 1);

    EXPECT_FALSE(stopTimer(WU_CHECK_TIMER));
}

TEST_F(UploadTest, BothServicesUploadAtOnceEachWithItsOwnTimerAndCredentials)
{
    start(true);
    switchOn(L"WU-STATION", L"wu-key");
    choose(setupPage, IDC_SERVICE, 1);
    // The other service's own state: nothing stored, not uploading.
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"");
    EXPECT_FALSE(checked(IDC_AUTO_UPLOAD));
    EXPECT_TRUE(enabled(IDC_STATION_ID));
    switchOn(L"WC-STATION", L"wc-key");
    EXPECT_EQ(uploadStates[WU].enabled, 1);
    EXPECT_EQ(uploadStates[WC].enabled, 1);
    Bytes stored;
    ASSERT_TRUE(readRaw(L"Id1", &stored));
    EXPECT_EQ(stored, textValue(L"WC-STATION", 128));
    ASSERT_TRUE(readRaw(L"Id", &stored));
    EXPECT_EQ(stored, textValue(L"WU-STATION", 128));

    // Back to the first: still on, its edits locked again.
    choose(setupPage, IDC_SERVICE, 0);
    EXPECT_TRUE(checked(IDC_AUTO_UPLOAD));
    EXPECT_FALSE(enabled(IDC_STATION_ID));
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"WU-STATION");

    // Switching the first off leaves the second uploading.
    CheckDlgButton(setupPage, IDC_AUTO_UPLOAD, BST_UNCHECKED);
    click(setupPage, IDC_AUTO_UPLOAD);
    EXPECT_EQ(uploadStates[WU].enabled, 0);
    EXPECT_EQ(uploadStates[WC].enabled, 1);
    EXPECT_FALSE(stopTimer(WU_CHECK_TIMER));
    EXPECT_TRUE(stopTimer(WC_CHECK_TIMER));
}

TEST_F(UploadTest, ASixtyFourCharacterIdIsStoredAndUsedWithItsFirstSixtyThree)
{
    start(true);
    const std::wstring typed = std::wstring(60, L'i') + L"ABCD";
    const std::wstring kept = typed.substr(0, 63);
    switchOn(typed.c_str(), L"key");
    Bytes stored;
    ASSERT_TRUE(readRaw(L"Id", &stored));
    EXPECT_EQ(stored, textValue(kept.c_str(), 128));

    // What a Weather Underground request is built with: the edit while the
    // service is selected, the stored value once the other one is.
    wchar_t id[CREDENTIAL_CHARS];
    wchar_t key[CREDENTIAL_CHARS];
    ASSERT_EQ(readUploadCredentials(WU, setupPage, selectedService, id, key), 1);
    EXPECT_EQ(std::wstring(id), kept);
    choose(setupPage, IDC_SERVICE, 1);
    ASSERT_EQ(readUploadCredentials(WU, setupPage, selectedService, id, key), 1);
    EXPECT_EQ(std::wstring(id), kept);
    EXPECT_EQ(std::wstring(key), L"key");
}

// ---- results -------------------------------------------------------------------------------

TEST_F(UploadTest, SuccessesChangeTheDisplayOncePerPeriodAndTheCheckShowsUploadOrFail)
{
    start(true);
    switchOn(L"KSTATION7", L"secret");
    startSpying();

    success(WU);
    success(WU);
    success(WU);
    EXPECT_EQ(spy.textsSet, 1);
    EXPECT_EQ(spy.iconsSet, 1);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");
    EXPECT_EQ(resultIcon(), icon(IDI_UPLOAD_DONE));
    EXPECT_TRUE(resultShown());
    EXPECT_EQ(uploadStates[WU].successCount, 3);

    tick(WU_CHECK_TIMER);
    EXPECT_EQ(uploadStates[WU].successCount, 0);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");
    // The counter starts again: the next notice is shown at once.
    spy = ResultSpy{};
    success(WU);
    EXPECT_EQ(spy.textsSet, 1);

    tick(WU_CHECK_TIMER);
    tick(WU_CHECK_TIMER); // a period without a success
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"FAIL");
    EXPECT_EQ(resultIcon(), icon(IDI_UPLOAD_FAILED));
    EXPECT_TRUE(resultShown());
    EXPECT_EQ(uploadStates[WU].status, UPLOAD_STATUS_FAIL);

    // A notice of the other service, which is not uploading, counts for
    // nothing; nor does the other service's timer.
    success(WC);
    tick(WC_CHECK_TIMER);
    EXPECT_EQ(uploadStates[WC].successCount, 0);
    EXPECT_EQ(uploadStates[WC].status, UPLOAD_STATUS_NONE);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"FAIL");
}

TEST_F(UploadTest, ThePageShowsTheSelectedServicesResultOnly)
{
    start(true);
    switchOn(L"WU-STATION", L"wu-key");
    choose(setupPage, IDC_SERVICE, 1);
    switchOn(L"WC-STATION", L"wc-key");

    // Weather Underground takes one; Weathercloud, shown, has nothing yet.
    success(WU);
    EXPECT_TRUE(resultHidden());
    EXPECT_EQ(uploadStates[WU].status, UPLOAD_STATUS_UPLOAD);
    tick(WC_CHECK_TIMER);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"FAIL");
    EXPECT_EQ(resultIcon(), icon(IDI_UPLOAD_FAILED));

    // Switching shows each service's own result at once.
    choose(setupPage, IDC_SERVICE, 0);
    EXPECT_TRUE(resultShown());
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");
    EXPECT_EQ(resultIcon(), icon(IDI_UPLOAD_DONE));
    success(WC);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");
    tick(WU_CHECK_TIMER);
    tick(WU_CHECK_TIMER);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"FAIL");
    choose(setupPage, IDC_SERVICE, 1);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");
    EXPECT_EQ(resultIcon(), icon(IDI_UPLOAD_DONE));
    EXPECT_TRUE(resultShown());
}

TEST_F(UploadTest, TheConsoleLeavingStopsBothServicesAndTheirTimers)
{
    start(true);
    switchOn(L"WU-STATION", L"wu-key");
    success(WU);
    choose(setupPage, IDC_SERVICE, 1);
    switchOn(L"WC-STATION", L"wc-key");
    success(WC);
    ASSERT_TRUE(resultShown());

    closeConsoleDouble(console);
    InterfaceBroadcast broadcast = interfaceBroadcast(CONSOLE_INTERFACE);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, broadcast.lParam());
    ASSERT_EQ(deviceReady, 0u);

    for (const UploadState& state : uploadStates) {
        EXPECT_EQ(state.enabled, 0);
        EXPECT_EQ(state.successCount, 0);
        EXPECT_EQ(state.status, UPLOAD_STATUS_NONE);
    }
    EXPECT_FALSE(checked(IDC_AUTO_UPLOAD));
    EXPECT_TRUE(resultHidden());
    // The edits stay locked until the box is checked and cleared again.
    EXPECT_FALSE(enabled(IDC_STATION_ID));
    EXPECT_FALSE(stopTimer(WU_CHECK_TIMER));
    EXPECT_FALSE(stopTimer(WC_CHECK_TIMER));

    choose(setupPage, IDC_SERVICE, 0);
    EXPECT_FALSE(checked(IDC_AUTO_UPLOAD));
    EXPECT_TRUE(resultHidden());
}

} // namespace

// The whole road in the program's own windows: the console sends its
// upload texts, the dashboard wraps them with the credentials, the worker
// delivers them to loopback servers standing in for the two services.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "link/report_reader.h"
#include "resources/resource_ids.h"
#include "settings/settings_store_win.h"
#include "tests/support/app_fixture_win.h"
#include "tests/support/test_window_win.h"
#include "tests/upload/loopback_server.h"
#include "upload/upload_hosts.h"
#include "upload/upload_state.h"
#include "upload/upload_worker_win.h"

namespace {

using loopback::Act;
using loopback::Server;

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;
const Act WU_ACCEPTS{"HTTP/1.0 200 OK\r\n\r\nsuccess\n"};
const Act WC_ACCEPTS{"HTTP/1.1 200 OK\r\n\r\n200"};
const char WU_TEXT[] = "dateutc=now&tempf=70.3&humidity=45&baromin=29.92";
const char WC_TEXT[] = "/temp/214/hum/45/bar/10132";

class UploadRoadTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        loopback::pointHostsAtNothing();
        ASSERT_EQ(startUploadWorker(), 1);
        uploadStates[0] = uploadStates[1] = UploadState{};
    }

    void TearDown() override
    {
        uploadStates[0] = uploadStates[1] = UploadState{};
        loopback::pointHostsAtNothing();
        AppTest::TearDown();
    }

    static void pointAt(UploadService service, const Server& server)
    {
        std::strcpy(uploadHosts[service].name, "127.0.0.1");
        uploadHosts[service].port = server.port();
    }

    // Both services point at their servers; Weathercloud's credentials are
    // stored, Weather Underground's (the page's service) typed on the page.
    void startWithServers(const Server& wu, const Server& wc, const wchar_t* typedKey)
    {
        ASSERT_TRUE(wu.listening() && wc.listening());
        pointAt(SERVICE_WEATHER_UNDERGROUND, wu);
        pointAt(SERVICE_WEATHERCLOUD, wc);
        storeTextSetting(SETTING_ID1, L"cloud-id");
        storeTextSetting(SETTING_KEY1, L"cloud-key");
        start(true);
        SetDlgItemTextW(setupPage, IDC_STATION_ID, L"KSTATION9");
        SetDlgItemTextW(setupPage, IDC_STATION_KEY, typedKey);
    }

    void sendText(std::uint8_t kind, const char* text)
    {
        std::vector<CommandReport> answers;
        ASSERT_TRUE(sendAnswered(console, encodeText(kind, ReportHeader{}, text), answers, WAIT_MS));
    }

    // The worker reports to the page on this thread, so wait pumping.
    static bool awaitRequests(const Server& server, std::size_t count)
    {
        return pumpUntil([&] { return server.requests().size() >= count && server.connections() >= int(count); },
                         20000);
    }
};

TEST_F(UploadRoadTest, ConsoleTextsReachBothServicesByteExact)
{
    Server wu({WU_ACCEPTS});
    Server wc({WC_ACCEPTS});
    startWithServers(wu, wc, L"pass word");
    ASSERT_FALSE(HasFatalFailure());
    uploadStates[SERVICE_WEATHER_UNDERGROUND].enabled = 1;
    uploadStates[SERVICE_WEATHERCLOUD].enabled = 1;

    sendText(KIND_UPLOAD_WU, WU_TEXT);
    sendText(KIND_UPLOAD_WC, WC_TEXT);
    ASSERT_TRUE(awaitRequests(wu, 1));
    ASSERT_TRUE(awaitRequests(wc, 1));
    EXPECT_EQ(wu.requests(), std::vector<std::string>{"GET /weatherstation/updateweatherstation.php?ID=KSTATION9"
                                                      "&PASSWORD=pass word&" +
                                                      std::string(WU_TEXT) +
                                                      "&softwaretype=vws%20versionxx&action=updateraw&realtime=1"
                                                      "&rtfreq2.5 HTTP/1.0\r\nHost:  127.0.0.1\r\n\r\n"});
    EXPECT_EQ(wc.requests(), std::vector<std::string>{"GET /v01/set/wid/cloud-id/key/cloud-key" + std::string(WC_TEXT) +
                                                      " HTTP/1.0\r\nHost:  127.0.0.1\r\n\r\n"});
}

// Texts for a service that is switched off are dropped: the servers see
// only what the enabled service sends.
TEST_F(UploadRoadTest, TextsOfAServiceSwitchedOffAreDropped)
{
    Server wu({WU_ACCEPTS});
    Server wc({WC_ACCEPTS});
    startWithServers(wu, wc, L"key");
    ASSERT_FALSE(HasFatalFailure());
    uploadStates[SERVICE_WEATHERCLOUD].enabled = 1;

    sendText(KIND_UPLOAD_WU, WU_TEXT);
    sendText(KIND_UPLOAD_WC, WC_TEXT);
    // The worker takes requests in order: once Weathercloud's has arrived, a
    // Weather Underground request posted before it would have too.
    ASSERT_TRUE(awaitRequests(wc, 1));
    EXPECT_TRUE(wu.requests().empty());
}

} // namespace

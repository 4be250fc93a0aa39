// WM_DEVICECHANGE as the main window will hand it over: which events make a
// search, which report the console's presence or absence, which do nothing.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "link/console_option.h"
#include "link/device_notify_win.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"
#include "link/station_link_win.h"
#include "tests/support/broadcast_record_win.h"
#include "tests/support/console_double_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;
// Long enough for a search that should not happen to show.
constexpr DWORD QUIET_MS = 300;

class DeviceNotificationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring name = uniquePipeName(L"notify");
        ASSERT_TRUE(openConsoleDouble(console, name));
        std::wcsncpy(consolePath, name.c_str(), CONSOLE_PATH_SIZE - 1);
        mainWindow = createRecorderWindow(&mainLog);
        ASSERT_NE(nullptr, mainWindow);
        stationDevice = new StationDevice;
    }

    void TearDown() override
    {
        EXPECT_TRUE(releaseStation(WAIT_MS));
        consolePath[0] = 0;
        closeConsoleDouble(console);
        DestroyWindow(mainWindow);
    }

    LRESULT notify(WPARAM event, const wchar_t* name)
    {
        InterfaceBroadcast broadcast = interfaceBroadcast(name);
        return handleDeviceChange(mainWindow, event, broadcast.lParam());
    }

    // The console was searched for and opened when the double saw it come.
    bool searched(DWORD timeoutMs) { return awaitProgram(console, timeoutMs); }

    void connect()
    {
        ASSERT_EQ(TRUE, notify(DBT_DEVICEARRIVAL, CONSOLE_INTERFACE));
        ASSERT_TRUE(searched(WAIT_MS));
        ASSERT_EQ(1u, mainLog.messages.size());
        mainLog.messages.clear();
    }

    ConsoleDouble console;
    MessageLog mainLog;
    HWND mainWindow = nullptr;
};

TEST_F(DeviceNotificationTest, ArrivalNamedInUpperCaseSearchesAndReportsTheConsolePresent)
{
    InterfaceBroadcast broadcast = interfaceBroadcast(CONSOLE_INTERFACE);
    EXPECT_EQ(TRUE, handleDeviceChange(mainWindow, DBT_DEVICEARRIVAL, broadcast.lParam()));
    EXPECT_TRUE(searched(WAIT_MS));
    ASSERT_EQ(1u, mainLog.messages.size());
    EXPECT_EQ(WM_STATION_CONNECTION, mainLog.messages[0].message);
    EXPECT_EQ(4u, mainLog.messages[0].wParam);
    EXPECT_EQ(0, mainLog.messages[0].lParam);
    // Lower-cased where it stands.
    std::wstring lower = CONSOLE_INTERFACE;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(towlower(c));
    EXPECT_EQ(lower, broadcast.name());
}

TEST_F(DeviceNotificationTest, AnotherDeviceComingOrGoingChangesNothing)
{
    EXPECT_EQ(TRUE, notify(DBT_DEVICEARRIVAL, OTHER_INTERFACE));
    EXPECT_FALSE(searched(QUIET_MS)) << "searched on another device's arrival";
    connect();
    const HANDLE handle = stationDevice->ioHandle;
    EXPECT_EQ(TRUE, notify(DBT_DEVICEREMOVECOMPLETE, OTHER_INTERFACE));
    EXPECT_TRUE(mainLog.messages.empty());
    EXPECT_EQ(handle, stationDevice->ioHandle);
}

TEST_F(DeviceNotificationTest, RemovalOfTheConsoleReportsItAbsentAndLeavesTheHandle)
{
    connect();
    const HANDLE handle = stationDevice->ioHandle;
    EXPECT_EQ(TRUE, notify(DBT_DEVICEREMOVECOMPLETE, CONSOLE_INTERFACE));
    ASSERT_EQ(1u, mainLog.messages.size());
    EXPECT_EQ(WM_STATION_CONNECTION, mainLog.messages[0].message);
    EXPECT_EQ(5u, mainLog.messages[0].wParam);
    EXPECT_EQ(handle, stationDevice->ioHandle);
}

TEST_F(DeviceNotificationTest, OtherEventsOfTheConsoleChangeNothing)
{
    const WPARAM events[] = {DBT_DEVICEQUERYREMOVE, DBT_DEVICEQUERYREMOVEFAILED,
                             DBT_DEVICEREMOVEPENDING, DBT_CUSTOMEVENT};
    for (WPARAM event : events)
        EXPECT_EQ(TRUE, notify(event, CONSOLE_INTERFACE)) << event;
    EXPECT_TRUE(mainLog.messages.empty());
    EXPECT_FALSE(searched(QUIET_MS));
}

TEST_F(DeviceNotificationTest, ResultsOfEventsWithoutAnInterfaceRecord)
{
    EXPECT_EQ(0, handleDeviceChange(mainWindow, DBT_DEVNODES_CHANGED, 0));
    EXPECT_EQ(0, handleDeviceChange(mainWindow, DBT_DEVICEARRIVAL, 0));
    DEV_BROADCAST_HDR volume{};
    volume.dbch_size = sizeof volume;
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
    EXPECT_EQ(TRUE, handleDeviceChange(mainWindow, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume)));
    EXPECT_EQ(TRUE, handleDeviceChange(mainWindow, DBT_QUERYCHANGECONFIG, 0));
    EXPECT_TRUE(mainLog.messages.empty());
    EXPECT_FALSE(searched(QUIET_MS));
}

TEST_F(DeviceNotificationTest, ANameCutOffByTheRecordSizeIsNotRead)
{
    // The record claims fewer bytes than the name needs: the ids lie beyond.
    InterfaceBroadcast broadcast = interfaceBroadcast(CONSOLE_INTERFACE);
    broadcast.record().dbcc_size -= 40 * sizeof(wchar_t);
    EXPECT_EQ(TRUE, handleDeviceChange(mainWindow, DBT_DEVICEARRIVAL, broadcast.lParam()));
    EXPECT_FALSE(searched(QUIET_MS));
    EXPECT_TRUE(mainLog.messages.empty());
}

TEST_F(DeviceNotificationTest, ArrivalWithoutAConsoleToOpenReportsNothing)
{
    const std::wstring nobody = uniquePipeName(L"nobody");
    std::wcsncpy(consolePath, nobody.c_str(), CONSOLE_PATH_SIZE - 1);
    EXPECT_EQ(TRUE, notify(DBT_DEVICEARRIVAL, CONSOLE_INTERFACE));
    EXPECT_TRUE(mainLog.messages.empty());

    // Nor before the device object exists.
    delete stationDevice;
    stationDevice = nullptr;
    EXPECT_EQ(TRUE, notify(DBT_DEVICEARRIVAL, CONSOLE_INTERFACE));
    EXPECT_TRUE(mainLog.messages.empty());
}

TEST(DeviceNotificationRegistration, RegistersAndUnregistersForHidInterfaces)
{
    MessageLog log;
    const HWND window = createRecorderWindow(&log);
    ASSERT_NE(nullptr, window);
    const HDEVNOTIFY registration = registerStationNotifications(window);
    EXPECT_NE(nullptr, registration);
    if (registration) {
        EXPECT_TRUE(UnregisterDeviceNotification(registration));
    }
    DestroyWindow(window);
}

} // namespace

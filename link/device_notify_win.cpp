#include "link/device_notify_win.h"

#include <dbt.h>

#include <cstddef>
#include <cwchar>

#include "link/messages.h"
#include "link/station_device_win.h"

namespace {

constexpr WPARAM STATION_PRESENT = 4;
constexpr WPARAM STATION_ABSENT = 5;
constexpr wchar_t STATION_ID_TEXT[] = L"vid_1941&pid_8021";

// Lower-cases the interface name in place and looks for the console's ids.
// The name is read only within the record's stated size: a name without
// its terminator there matches nothing.
bool namesStation(DEV_BROADCAST_DEVICEINTERFACE_W& record)
{
    constexpr std::size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (record.dbcc_size <= nameOffset)
        return false;
    const std::size_t room = (record.dbcc_size - nameOffset) / sizeof(wchar_t);
    wchar_t* name = record.dbcc_name;
    const std::size_t length = wcsnlen(name, room);
    if (length == room)
        return false;
    CharLowerBuffW(name, static_cast<DWORD>(length));
    return std::wcsstr(name, STATION_ID_TEXT) != nullptr;
}

void examineInterfaceEvent(HWND mainWindow, WPARAM event, DEV_BROADCAST_DEVICEINTERFACE_W& record)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return;
    if (!namesStation(record))
        return;
    if (event == DBT_DEVICEARRIVAL) {
        // The name only decides that a search is made; the search itself
        // looks at every HID interface again.
        if (stationDevice && stationDevice->openStation())
            SendMessageW(mainWindow, WM_STATION_CONNECTION, STATION_PRESENT, 0);
    } else {
        SendMessageW(mainWindow, WM_STATION_CONNECTION, STATION_ABSENT, 0);
    }
}

} // namespace

HDEVNOTIFY registerStationNotifications(HWND window)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    hidFunctions.getHidGuid(&filter.dbcc_classguid);
    return RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

LRESULT handleDeviceChange(HWND mainWindow, WPARAM wParam, LPARAM lParam)
{
    if (wParam == DBT_DEVNODES_CHANGED)
        return 0;
    if ((wParam & 0xC000) == 0x8000) {
        if (lParam == 0)
            return 0;
        auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(lParam);
        if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
            examineInterfaceEvent(mainWindow, wParam,
                                  *reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(header));
    }
    return TRUE;
}

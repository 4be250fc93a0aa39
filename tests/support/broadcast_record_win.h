// Device-interface broadcast records as the system passes them with
// WM_DEVICECHANGE: the header followed by the interface name.
#pragma once

#include <windows.h>

#include <dbt.h>

#include <cstddef>
#include <cwchar>

struct InterfaceBroadcast {
    alignas(DEV_BROADCAST_DEVICEINTERFACE_W) unsigned char bytes[1024];

    DEV_BROADCAST_DEVICEINTERFACE_W& record()
    {
        return *reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes);
    }
    LPARAM lParam() { return reinterpret_cast<LPARAM>(bytes); }
    const wchar_t* name() { return record().dbcc_name; }
};

// A record for the interface `name` of the HID class, sized to hold the
// name and its terminator.
inline InterfaceBroadcast interfaceBroadcast(const wchar_t* name)
{
    InterfaceBroadcast broadcast{};
    const std::size_t length = std::wcslen(name);
    DEV_BROADCAST_DEVICEINTERFACE_W& record = broadcast.record();
    record.dbcc_size = static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)
                                          + (length + 1) * sizeof(wchar_t));
    record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::wmemcpy(record.dbcc_name, name, length + 1);
    return broadcast;
}

// Interface names of the console (as the system writes them, upper case)
// and of an unrelated HID device.
constexpr wchar_t CONSOLE_INTERFACE[] =
    L"\\\\?\\HID#VID_1941&PID_8021#7&1F3A2B9C&0&0000#{4D1E55B2-F16F-11CF-88CB-001111000030}";
constexpr wchar_t OTHER_INTERFACE[] =
    L"\\\\?\\HID#VID_046D&PID_C52B&MI_01#8&2C11D4E&0&0000#{4D1E55B2-F16F-11CF-88CB-001111000030}";

// The console as a device: finding its HID interface (or opening the console
// path given on the command line), the overlapped handle the reader and the
// command writes share, and the 9-byte command write.
#pragma once

#include <windows.h>

#include <setupapi.h>
// MinGW's hid headers lack the C linkage block.
extern "C" {
#include <hidsdi.h>
}

#include <cstdint>

#include "link/commands.h"

constexpr std::uint32_t STATION_VENDOR_ID = 0x1941;
constexpr std::uint32_t STATION_PRODUCT_ID = 0x8021;
constexpr USHORT STATION_USAGE_PAGE = 0xFF00; // vendor-defined
constexpr USHORT STATION_USAGE = 1;

// A command write that has not completed after this long is cancelled and
// reported as failed, so a console that stops taking reports cannot hang
// the window that sent the command (or the reader answering a packet).
constexpr DWORD COMMAND_WRITE_TIMEOUT_MS = 500;

struct StationDevice {
    HIDP_CAPS capabilities;                           // of the interface under examination
    SP_DEVICE_INTERFACE_DETAIL_DATA_W* interfaceDetail; // its device path; freed after each interface
    HANDLE queryHandle;                               // no access rights; attribute and caps queries only
    HDEVINFO deviceInfoSet;                           // present HID interfaces; destroyed when a search ends
    GUID hidClassGuid;
    std::uint8_t found;                               // 1 once a matching interface was opened
    HANDLE ioHandle;     // overlapped read/write; null until a search; INVALID_HANDLE_VALUE: unusable
    std::uint32_t vendorId;
    std::uint32_t productId;

    StationDevice();
    ~StationDevice();
    StationDevice(const StationDevice&) = delete;
    StationDevice& operator=(const StationDevice&) = delete;

    // Searches the HID interfaces (or opens consolePath when one was given)
    // and opens the console for overlapped reading and writing. Returns true
    // when this search found a console (found is then 1): only then is a
    // handle left from an earlier connection closed, after the reader that
    // may be using it has been stopped, and replaced. A search that finds
    // nothing returns false and changes nothing: a console already open
    // stays open, with its reader and its found flag.
    bool openStation();
    // Fills capabilities for the interface whose queryHandle is open.
    // Returns 1, or 0 (capabilities zeroed) when the queries fail.
    int readCapabilities();
    // Closes ioHandle (leaving INVALID_HANDLE_VALUE) and whatever a search
    // left open; clears found.
    void closeStation();

private:
    // Both leave the opened handle (INVALID_HANDLE_VALUE when a matching
    // interface could not be opened) in `opened` and return whether a
    // console was found.
    bool searchHid(HANDLE& opened);
    bool openConsolePath(HANDLE& opened);
    void endExamination();
};

// The program's one device object; null until created at start-up. Read by
// the reader thread at every pass, so it must outlive the reader.
extern StationDevice* stationDevice;

// Writes one 9-byte command report to the console: 1 when the write
// completed, 0 when it failed or timed out. While deviceReady is not 1
// nothing is written and the result is 1, which callers read as success.
// Safe to call from the main thread and the reader at the same time: each
// call has its own event and OVERLAPPED.
int sendCommand(const CommandReport& command);

// The system calls of the HID search, reached through this table so tests
// can put fake interfaces in front of the real CreateFileW.
struct HidFunctions {
    HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCWSTR, HWND, DWORD);
    BOOL(WINAPI* enumInterfaces)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                 PSP_DEVICE_INTERFACE_DATA);
    BOOL(WINAPI* getInterfaceDetail)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                     PSP_DEVICE_INTERFACE_DETAIL_DATA_W, DWORD, PDWORD,
                                     PSP_DEVINFO_DATA);
    BOOL(WINAPI* destroyInfoList)(HDEVINFO);
    void(NTAPI* getHidGuid)(LPGUID);
    BOOLEAN(NTAPI* getAttributes)(HANDLE, PHIDD_ATTRIBUTES);
    BOOLEAN(NTAPI* getPreparsedData)(HANDLE, PHIDP_PREPARSED_DATA*);
    NTSTATUS(NTAPI* getCaps)(PHIDP_PREPARSED_DATA, PHIDP_CAPS);
    BOOLEAN(NTAPI* freePreparsedData)(PHIDP_PREPARSED_DATA);
};

extern HidFunctions hidFunctions;      // in use
extern const HidFunctions systemHidFunctions; // setupapi and hid themselves

#include "link/station_device_win.h"

#include <cstdlib>
#include <cstring>

#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/reader_thread_win.h"

StationDevice* stationDevice = nullptr;

const HidFunctions systemHidFunctions = {
    SetupDiGetClassDevsW, SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailW,
    SetupDiDestroyDeviceInfoList, HidD_GetHidGuid, HidD_GetAttributes, HidD_GetPreparsedData,
    HidP_GetCaps, HidD_FreePreparsedData,
};
HidFunctions hidFunctions = systemHidFunctions;

namespace {

// A reader blocked in a command write gives up after the write time-out;
// give it that long and more before its handle is closed under it.
constexpr DWORD READER_STOP_BEFORE_REOPEN_MS = 2000;

bool usable(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

HANDLE openForIo(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

} // namespace

StationDevice::StationDevice()
    : capabilities{}, interfaceDetail(nullptr), queryHandle(nullptr), deviceInfoSet(nullptr),
      hidClassGuid{}, found(0), ioHandle(nullptr), vendorId(STATION_VENDOR_ID),
      productId(STATION_PRODUCT_ID)
{
}

StationDevice::~StationDevice()
{
    closeStation();
}

bool StationDevice::openStation()
{
    // The search comes first and the running connection is left alone
    // meanwhile: an arrival is repeated for each collection of the console
    // and for other devices, and a search that finds nothing then must not
    // cost the console that works.
    interfaceDetail = nullptr;
    queryHandle = nullptr;
    HANDLE opened = nullptr;
    const bool matched = consolePath[0] != 0 ? openConsolePath(opened) : searchHid(opened);
    if (!matched)
        return false;
    // The handle of an earlier connection (a console that was removed, or
    // this one seen arriving again) is replaced. The reader may still be
    // using it, so it must have ended before the handle is closed; if it
    // cannot be stopped, the old handle is left open rather than closed
    // under a running read.
    if (usable(ioHandle) && stopReader(READER_STOP_BEFORE_REOPEN_MS))
        CloseHandle(ioHandle);
    ioHandle = opened;
    found = 1;
    return true;
}

// A console path is opened with the flags of the HID interface. Unlike the
// HID search, a path that cannot be opened means no console at all.
bool StationDevice::openConsolePath(HANDLE& opened)
{
    const HANDLE handle = openForIo(consolePath);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // A pipe's client end starts in byte read mode, where one read could
    // join the tail of one report to the head of the next. Fails harmlessly
    // on anything that is not a pipe.
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(handle, &mode, nullptr, nullptr);
    opened = handle;
    return true;
}

bool StationDevice::searchHid(HANDLE& opened)
{
    hidFunctions.getHidGuid(&hidClassGuid);
    deviceInfoSet = hidFunctions.getClassDevs(&hidClassGuid, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (deviceInfoSet == INVALID_HANDLE_VALUE) {
        deviceInfoSet = nullptr;
        return false;
    }
    bool matched = false;
    for (DWORD index = 0;; ++index) {
        // The size fields are those of the 64-bit structures (32 and 8
        // bytes); setupapi refuses any other value.
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!hidFunctions.enumInterfaces(deviceInfoSet, nullptr, &hidClassGuid, index,
                                         &interfaceData))
            break;

        DWORD needed = 0;
        hidFunctions.getInterfaceDetail(deviceInfoSet, &interfaceData, nullptr, 0, &needed,
                                        nullptr);
        if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        interfaceDetail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(std::calloc(1, needed));
        if (!interfaceDetail)
            continue;
        interfaceDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!hidFunctions.getInterfaceDetail(deviceInfoSet, &interfaceData, interfaceDetail,
                                             needed, nullptr, nullptr)) {
            endExamination();
            continue;
        }

        // No access rights: enough for the queries, and granted even for
        // devices that others hold open exclusively (keyboards, mice).
        queryHandle = CreateFileW(interfaceDetail->DevicePath, 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (queryHandle == INVALID_HANDLE_VALUE
            || !hidFunctions.getAttributes(queryHandle, &attributes)
            || attributes.VendorID != vendorId || attributes.ProductID != productId) {
            endExamination();
            continue;
        }
        // The console has more than one top-level collection; only the
        // vendor-defined one carries the reports.
        if (!readCapabilities() || capabilities.UsagePage != STATION_USAGE_PAGE
            || capabilities.Usage != STATION_USAGE) {
            endExamination();
            continue;
        }
        matched = true;
        // Kept untested: a console that cannot be opened counts as found
        // but unusable; the reader idles and writes fail.
        opened = openForIo(interfaceDetail->DevicePath);
        endExamination();
        break;
    }
    hidFunctions.destroyInfoList(deviceInfoSet);
    deviceInfoSet = nullptr;
    return matched;
}

// Frees what one interface's examination holds. The query handle is closed
// after a match too: nothing uses it afterwards.
void StationDevice::endExamination()
{
    if (usable(queryHandle))
        CloseHandle(queryHandle);
    queryHandle = nullptr;
    std::free(interfaceDetail);
    interfaceDetail = nullptr;
}

int StationDevice::readCapabilities()
{
    capabilities = HIDP_CAPS{};
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!hidFunctions.getPreparsedData(queryHandle, &preparsed))
        return 0;
    const NTSTATUS status = hidFunctions.getCaps(preparsed, &capabilities);
    hidFunctions.freePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS) {
        capabilities = HIDP_CAPS{};
        return 0;
    }
    return 1;
}

void StationDevice::closeStation()
{
    if (usable(ioHandle)) {
        CloseHandle(ioHandle);
        ioHandle = INVALID_HANDLE_VALUE;
    }
    endExamination();
    if (deviceInfoSet) {
        hidFunctions.destroyInfoList(deviceInfoSet);
        deviceInfoSet = nullptr;
    }
    found = 0;
}

int sendCommand(const CommandReport& command)
{
    if (deviceReady != 1)
        return 1;
    const StationDevice* device = stationDevice;
    if (!device || !usable(device->ioHandle))
        return 0;
    const HANDLE handle = device->ioHandle;

    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent)
        return 0;
    int result = 0;
    if (WriteFile(handle, command.data(), static_cast<DWORD>(command.size()), nullptr,
                  &overlapped)) {
        result = 1;
    } else if (GetLastError() == ERROR_IO_PENDING) {
        DWORD written = 0;
        if (WaitForSingleObject(overlapped.hEvent, COMMAND_WRITE_TIMEOUT_MS) == WAIT_OBJECT_0) {
            result = GetOverlappedResult(handle, &overlapped, &written, FALSE) ? 1 : 0;
        } else {
            // The OVERLAPPED and the command must stay valid until the
            // system lets go of them: cancel, then wait for that. A write
            // that completed just before the cancel still counts.
            CancelIoEx(handle, &overlapped);
            result = GetOverlappedResult(handle, &overlapped, &written, TRUE) ? 1 : 0;
        }
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

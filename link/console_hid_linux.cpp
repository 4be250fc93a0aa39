// The console through hidapi's hidraw back end.
#include "link/console_link_linux.h"
#include "link/console_lock_linux.h"

#include <cstdio>

#include <hidapi/hidapi.h>

namespace {

int readHid(void* handle, std::uint8_t report[HIDRAW_REPORT_SIZE], int timeoutMs)
{
    const int got = hid_read_timeout(static_cast<hid_device*>(handle), report, HIDRAW_REPORT_SIZE, timeoutMs);
    if (got < 0)
        return -1; // the node went away with the console
    return got > 0 ? 1 : 0;
}

// hidraw takes the report ID as the first byte and drops it for a device
// without numbered reports, as hid_write expects.
int writeHid(void* handle, const std::uint8_t* command, std::size_t length)
{
    return hid_write(static_cast<hid_device*>(handle), command, length) == static_cast<int>(length) ? 1 : 0;
}

void closeHid(void* handle)
{
    hid_close(static_cast<hid_device*>(handle));
}

} // namespace

int openHidConsole(ConsoleLink& link, char* why, std::size_t whySize)
{
    link = ConsoleLink{};
    if (hid_init() != 0) {
        std::snprintf(why, whySize, "hidapi could not start");
        return CONSOLE_OPEN_FAILED;
    }
    hid_device_info* found = hid_enumerate(STATION_VENDOR_ID, STATION_PRODUCT_ID);
    hid_device* device = nullptr;
    bool denied = false;
    bool busy = false;
    int lockFd = -1;
    for (const hid_device_info* info = found; info && !device && !busy; info = info->next) {
        if (info->usage_page != STATION_USAGE_PAGE)
            continue;
        // The lock first: a console another program owns is not touched.
        const ConsoleLockResult lock = lockConsole(info->path, false, lockFd, why, whySize);
        busy = lock == ConsoleLockResult::inUse;
        if (lock != ConsoleLockResult::taken) {
            denied = denied || lock == ConsoleLockResult::failed;
            continue;
        }
        device = hid_open_path(info->path);
        denied = denied || !device;
        if (!device)
            unlockConsole(lockFd);
    }
    hid_free_enumeration(found);
    if (busy)
        return CONSOLE_BUSY;
    if (!device) {
        std::snprintf(why, whySize, denied ? "the console's hidraw node cannot be opened (permissions?)"
                                           : "no console on USB");
        return 0;
    }
    link = ConsoleLink{readHid, writeHid, closeHid, device, lockFd};
    return CONSOLE_OPENED;
}

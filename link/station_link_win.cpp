#include "link/station_link_win.h"

#include "link/commands.h"
#include "link/link_flags.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"

namespace {

constexpr DWORD STOP_TO_READ_CURRENT_MS = 100;

} // namespace

void stationConnected(HWND target)
{
    deviceReady = 1;
    transferCancelled = 0;
    startReader(target);
    sendCommand(CMD_STOP);
    Sleep(STOP_TO_READ_CURRENT_MS);
    sendCommand(CMD_READ_CURRENT);
}

void stationRemoved()
{
    readerStop = 1;
    deviceReady = 0;
    cancelHistoryTransfer();
}

bool releaseStation(DWORD timeoutMs)
{
    if (!stopReader(timeoutMs))
        return false;
    if (stationDevice) {
        stationDevice->closeStation();
        delete stationDevice;
        stationDevice = nullptr;
    }
    return true;
}

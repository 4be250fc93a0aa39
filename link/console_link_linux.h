// The console on Linux, as the reader sees it: the hidraw node found through
// hidapi, or the console simulator's Unix SOCK_SEQPACKET socket given with
// --console=PATH. Both carry exactly what hidraw carries: 64-byte input
// reports without the report-ID byte, and 9-byte commands with report ID 0
// in front. One small table of functions per back end.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t HIDRAW_REPORT_SIZE = 64;
constexpr std::uint16_t STATION_VENDOR_ID = 0x1941;
constexpr std::uint16_t STATION_PRODUCT_ID = 0x8021;
constexpr std::uint16_t STATION_USAGE_PAGE = 0xFF00; // vendor-defined

// A command write that has not gone out after this long has failed, so a
// console that stops taking reports cannot hang the writer.
constexpr int COMMAND_WRITE_TIMEOUT_MS = 500;

// What opening the console gave.
enum ConsoleOpen : int { CONSOLE_OPEN_FAILED = 0, CONSOLE_OPENED = 1, CONSOLE_BUSY = 2 };

struct ConsoleLink {
    // Reads one input report into report[0..63] (zeros after a shorter
    // one): 1 when one came, 0 when none came within timeoutMs, -1 when the
    // console is gone (unplugged, socket closed).
    int (*read)(void* handle, std::uint8_t report[HIDRAW_REPORT_SIZE], int timeoutMs);
    // Writes one command report; 1 when all of it went out.
    int (*write)(void* handle, const std::uint8_t* command, std::size_t length);
    void (*close)(void* handle);
    void* handle; // null: no console
    int lockFd = -1; // the ownership lock held while open (console_lock_linux.h)
};

// The first HID interface with the station's vendor and product ids and
// usage page, locked for this program. A ConsoleOpen; `why` says why not.
int openHidConsole(ConsoleLink& link, char* why, std::size_t whySize);

// Connects to the SOCK_SEQPACKET socket at `path`, locked for this program
// by the file `path`.lock. A ConsoleOpen; `why` says why not.
int openSocketConsole(const char* path, ConsoleLink& link, char* why, std::size_t whySize);

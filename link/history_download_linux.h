// One download of the console's stored history on Linux, for `aerovane
// export` and for the service's daily merge into the archive: connect, let
// the first live observation through, ask for the history, and wait until
// every announced record has been counted, a stop signal, or a refusal.
#pragma once

#include <atomic>
#include <cstdint>

// What the reader's messages said; the command's LinkEvents pass them on.
struct HistoryDownload {
    std::atomic<bool> liveSeen{false};
    std::atomic<bool> noHistory{false};
    std::atomic<bool> done{false};
    std::atomic<bool> lost{false};
    std::atomic<unsigned long> total{0};
    std::atomic<unsigned long> received{0};
};

// From LinkEvents.message and LinkEvents.connection.
void noteDownloadMessage(HistoryDownload& download, unsigned message, std::intptr_t lParam);
void noteDownloadConnection(HistoryDownload& download, bool present);

enum class DownloadResult {
    done,          // every announced record counted
    wentQuiet,     // the console stopped sending: what arrived whole is in the slots
    stopped,       // a stop signal
    noConnection,  // no console, or it went away
    consoleBusy,   // another program holds the console
    sendFailed,    // CMD_READ_HISTORY could not be written
    noHistory,     // the console holds none
    consoleRefused // the console cancelled the transfer
};

// Called every tick while the records come in.
using DownloadProgress = void (*)(void* context, unsigned long received, unsigned long total);

// Runs one download; the link must be started with history slots and a
// non-empty export path. The flags of `download` except liveSeen are
// cleared first. On a stop, CMD_STOP is sent.
DownloadResult downloadHistory(HistoryDownload& download, int connectWaitMs, DownloadProgress progress,
                               void* context);

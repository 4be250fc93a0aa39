#include "link/link_flags.h"

LinkFlag deviceReady{0};
LinkFlag readerStop{0};
LinkFlag transferCancelled{0};
LinkFlag historyActive{0};
LinkFlag historyTotal{0};
LinkFlag historyComplete{0};
LinkFlag historyWentQuiet{0};
LinkFlag historyRequested{HISTORY_NOT_REQUESTED};

bool withdrawHistoryRequest()
{
    std::uint32_t expected = HISTORY_REQUESTED;
    if (historyRequested.compare_exchange_strong(expected, HISTORY_NOT_REQUESTED))
        return true;
    return expected != HISTORY_TAKEN;
}

void cancelHistoryTransfer()
{
    transferCancelled = 1;
    historyRequested = HISTORY_NOT_REQUESTED;
    historyActive = 0;
}

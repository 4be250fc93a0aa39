#include "readings/history_store.h"

#include <cstring>

namespace {

// Static storage rather than the heap: zero at start, no allocation that could
// fail, and released only when the process ends.
StationRecord historySlots[HISTORY_SLOT_COUNT];

} // namespace

StationRecord* historyStoreSlots()
{
    return historySlots;
}

std::size_t historyStoreCount()
{
    return HISTORY_SLOT_COUNT;
}

void clearHistoryStore()
{
    std::memset(historySlots, 0, sizeof historySlots);
}

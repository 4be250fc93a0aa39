// The slots a history download fills: HISTORY_SLOT_COUNT records (27 MB),
// which exist for the whole life of the program, so starting an export never
// has to allocate. Written only by the reader thread during a download, read
// only by the export thread once the download is complete.
#pragma once

#include <cstddef>

#include "readings/station_record.h"

// The first of historyStoreCount() consecutive slots; the same pointer on
// every call.
StationRecord* historyStoreSlots();
std::size_t historyStoreCount();

// Sets every byte of every slot to zero, so a slot the download never reaches
// reads as an empty record. Done when an export starts.
void clearHistoryStore();

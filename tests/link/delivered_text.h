// The text behind a delivered message's lParam, copied while the call lasts
// (the reader reuses its buffers).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "link/messages.h"
#include "link/report_reader.h"
#include "readings/station_record.h"

// The buffer size behind `message`'s lParam: 0 for messages without text.
inline std::size_t deliveredTextSize(unsigned message)
{
    if (message == WM_LIVE_RECORD)
        return STATION_RECORD_SIZE;
    if (message == WM_FRAME_FB || message == WM_FRAME_F1)
        return UPLOAD_TEXT_SIZE;
    return 0;
}

// Copies the text into `text`. False when it is not terminated within its
// buffer: receivers read it as a C string and would run past the end.
inline bool copyDeliveredText(unsigned message, std::intptr_t lParam, std::string& text)
{
    const std::size_t size = deliveredTextSize(message);
    if (size == 0)
        return true;
    const char* start = reinterpret_cast<const char*>(lParam);
    const void* end = std::memchr(start, 0, size);
    text.assign(start, end ? static_cast<std::size_t>(static_cast<const char*>(end) - start) : size);
    return end != nullptr;
}

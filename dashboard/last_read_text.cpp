#include "dashboard/last_read_text.h"

#include <cwchar>

std::size_t formatLastReadText(int year, int month, int day, int hour, int minute, wchar_t* out,
                               std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    const wchar_t* format = hour <= 12 ? L"%.2d/ %.2d/ %.2d, %.2d:%.2d AM" : L"%.2d/ %.2d/ %.2d, %.2d:%.2d PM";
    const int written = std::swprintf(out, capacity, format, month, day, year, hour, minute);
    if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
        out[0] = L'\0';
        return 0;
    }
    return static_cast<std::size_t>(written);
}

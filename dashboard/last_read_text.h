// The time of the last data read as the dashboard shows it and the "Data"
// setting stores it. Portable: no window system involved.
#pragma once

#include <cstddef>

// "MM/ DD/ YYYY, HH:MM AM" for hours 0 to 12 and "... PM" for 13 to 23; the
// hour stays the 24-hour value (18:41 PM), as users of the console know it.
// Returns the length written, or 0 (out empty) when it does not fit.
std::size_t formatLastReadText(int year, int month, int day, int hour, int minute, wchar_t* out,
                               std::size_t capacity);

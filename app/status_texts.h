// The texts the status bar draws: the console's logger fill level and the
// progress of a history download. Portable: no window system involved.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t STATUS_TEXT_SIZE = 64; // 63 characters and a terminator
constexpr std::size_t LOGGER_LEVEL_MAX = 32; // characters taken from the console

// "Logger --%": what the status bar shows before the first observation.
extern const wchar_t INITIAL_LOGGER_TEXT[];

// The first LOGGER_LEVEL_MAX characters of `level` followed by "%", so a
// level of "45" reads "45%". A null level counts as empty.
void makeLoggerText(const wchar_t* level, wchar_t out[STATUS_TEXT_SIZE]);

// counted of total as a whole percentage, truncated toward zero (3 of 7 is
// 42). Exact integer arithmetic: a floating-point quotient would show 28%
// for 29 of 100. Returns -1 when there is no total to divide by.
int progressPercent(std::uint32_t counted, std::uint32_t total);

// "<label> <percent>% ...." ("Exporting 42% ...."), cut to fit the
// status text; the label is the language table's l53.
void makeProgressText(const wchar_t* label, int percent, wchar_t out[STATUS_TEXT_SIZE]);

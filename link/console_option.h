// The console path: instead of searching the HID interfaces, the program can
// open a path given on its command line (--console=PATH), such as the named
// pipe of the console simulator. Portable: no window system involved.
#pragma once

#include <cstddef>

constexpr std::size_t CONSOLE_PATH_SIZE = 260;

// Empty: search the HID interfaces for the console.
extern wchar_t consolePath[CONSOLE_PATH_SIZE];

// Reads a command line the way Windows programs split theirs (blanks
// separate arguments, double quotes group, backslashes before a quote
// escape it) and stores the value of the last "--console=PATH" argument in
// consolePath. Returns 1 when a path was stored. Returns 0, leaving
// consolePath empty, when there is no such argument or its path is empty or
// does not fit (a cut path would open something else).
int parseConsoleOption(const wchar_t* commandLine);

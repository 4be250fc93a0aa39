// Wide texts of the core (StationFields, converted values, unit texts) as
// the UTF-8 bytes that leave the Linux program on a terminal, in a JSON
// line or in a CSV file.
#pragma once

#include <string>

// Appends text as UTF-8. Each wchar_t is one code point (a UTF-16 pair is
// joined where wchar_t is 16 bits); a lone surrogate or a value beyond
// U+10FFFF becomes U+FFFD, so the output is always valid UTF-8.
void appendUtf8(std::string& out, const wchar_t* text);

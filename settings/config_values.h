// The value forms every section of the configuration shares.
#pragma once

#include <string>
#include <string_view>

// on/yes/true/1 and off/no/false/0.
bool readSwitch(std::string_view value, bool& out);

// Whether a text holds a control character: it would end a request line
// early, or a log line.
bool holdsControlCharacter(std::string_view value);

// Text as it will be sent: 1 to 256 bytes, no control characters.
bool readText(std::string_view value, std::string& out);

// A whole number from `low` to `high`, digits only.
bool readNumber(std::string_view value, int low, int high, int& out);

// An endpoint: https:// or http://, then at most 256 bytes without blanks or
// control characters.
bool readUrl(std::string_view value, std::string& out);

// A text as a JSON string, for outputs that carry text from outside (station
// ids, topics, a service's reply): whatever bytes it holds, the result stays
// one valid JSON string.
#pragma once

#include <string>

// Appends `text` in double quotes: '"' and '\' are escaped with a backslash,
// the control characters (below 0x20, and 0x7F) as \u00XX; every other byte
// is copied, so UTF-8 stays UTF-8.
void appendJsonString(std::string& out, const std::string& text);

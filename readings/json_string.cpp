#include "readings/json_string.h"

#include <cstdio>

void appendJsonString(std::string& out, const std::string& text)
{
    out += '"';
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += byte;
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else {
            out += byte;
        }
    }
    out += '"';
}

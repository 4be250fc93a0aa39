#include "readings/text_output.h"

#include <cstdint>

namespace {

constexpr std::uint32_t REPLACEMENT = 0xFFFD;

void appendCodePoint(std::string& out, std::uint32_t code)
{
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = REPLACEMENT;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

void appendUtf8(std::string& out, const wchar_t* text)
{
    if (!text)
        return;
    for (; *text != L'\0'; ++text) {
        std::uint32_t code = static_cast<std::uint32_t>(*text);
        if (sizeof(wchar_t) == 2) {
            code &= 0xFFFF;
            const std::uint32_t next = static_cast<std::uint32_t>(text[1]) & 0xFFFF;
            if (code >= 0xD800 && code <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
                ++text;
            }
        }
        appendCodePoint(out, code);
    }
}

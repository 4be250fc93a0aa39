#include "readings/json_number.h"

namespace {

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

} // namespace

bool appendJsonNumber(std::string& out, const wchar_t* text)
{
    if (!text)
        return false;
    const wchar_t* p = text;
    bool negative = false;
    if (*p == L'-' || *p == L'+') {
        negative = *p == L'-';
        ++p;
    }
    const wchar_t* whole = p;
    while (isDigit(*p))
        ++p;
    const wchar_t* wholeEnd = p;
    const wchar_t* fraction = p;
    const wchar_t* fractionEnd = p;
    if (*p == L'.') {
        fraction = ++p;
        while (isDigit(*p))
            ++p;
        fractionEnd = p;
    }
    if (*p != L'\0' || (whole == wholeEnd && fraction == fractionEnd))
        return false;
    // Leading zeros go; one stays before the point.
    while (whole + 1 < wholeEnd && *whole == L'0')
        ++whole;
    if (negative)
        out += '-';
    if (whole == wholeEnd)
        out += '0';
    for (const wchar_t* c = whole; c < wholeEnd; ++c)
        out += static_cast<char>(*c);
    if (fraction != fractionEnd) {
        out += '.';
        for (const wchar_t* c = fraction; c < fractionEnd; ++c)
            out += static_cast<char>(*c);
    }
    return true;
}

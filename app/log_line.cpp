#include "app/log_line.h"

#include <limits>

#include "upload/upload_log.h"

namespace {

// Reads the decimal number at `text`, up to the first non-digit; null when
// there is no digit or it does not fit.
const char* readNumber(const char* text, unsigned long long& number)
{
    constexpr unsigned long long LIMIT = std::numeric_limits<unsigned long long>::max();
    number = 0;
    const char* at = text;
    for (; *at >= '0' && *at <= '9'; ++at) {
        const unsigned digit = static_cast<unsigned>(*at - '0');
        if (number > (LIMIT - digit) / 10)
            return nullptr;
        number = number * 10 + digit;
    }
    return at == text ? nullptr : at;
}

} // namespace

const char* journalPriority(LogLevel level)
{
    switch (level) {
    case LogLevel::error:
        return "<3>";
    case LogLevel::warning:
        return "<4>";
    default:
        return "<6>";
    }
}

bool journalStreamIs(const char* value, unsigned long long device, unsigned long long inode)
{
    if (!value)
        return false;
    unsigned long long readDevice = 0;
    unsigned long long readInode = 0;
    const char* at = readNumber(value, readDevice);
    if (!at || *at != ':')
        return false;
    at = readNumber(at + 1, readInode);
    return at && *at == '\0' && readDevice == device && readInode == inode;
}

std::string serviceLogText(LogLevel level, bool toJournal, const ClockTime& at, const std::string& text)
{
    return toJournal ? journalPriority(level) + text : serviceLogLine(at, text);
}

std::string programNoteText(LogLevel level, bool toJournal, const std::string& text)
{
    return (toJournal ? journalPriority(level) : "") + std::string("aerovane: ") + text;
}

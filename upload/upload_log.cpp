#include "upload/upload_log.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr std::size_t REASON_LIMIT = 80;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view firstLine(std::string_view text)
{
    return text.substr(0, text.find('\n'));
}

// A server's words go into a log line: nothing that could break the line
// or the terminal.
std::string printable(std::string_view text)
{
    std::string out;
    for (char c : text.substr(0, REASON_LIMIT)) {
        const unsigned char u = static_cast<unsigned char>(c);
        out += u >= 0x20 && u < 0x7F ? c : '?';
    }
    return out;
}

} // namespace

const char* uploadServiceName(UploadService service)
{
    return service == SERVICE_WEATHERCLOUD ? "Weathercloud" : "Weather Underground";
}

std::string replyReason(const char* reply, std::size_t length)
{
    if (!reply)
        return std::string();
    std::string_view text(reply, length);
    text = text.substr(0, text.find('\0'));
    std::size_t bodyStart = text.find("\r\n\r\n");
    std::size_t skip = 4;
    if (bodyStart == std::string_view::npos) {
        bodyStart = text.find("\n\n");
        skip = 2;
    }
    if (bodyStart != std::string_view::npos) {
        std::string_view body = text.substr(bodyStart + skip);
        while (!body.empty()) {
            const std::string_view line = trim(firstLine(body));
            if (!line.empty())
                return printable(line);
            const std::size_t next = body.find('\n');
            body.remove_prefix(next == std::string_view::npos ? body.size() : next + 1);
        }
    }
    std::string_view status = trim(firstLine(text));
    if (status.substr(0, 5) == "HTTP/") {
        const std::size_t space = status.find(' ');
        status = space == std::string_view::npos ? std::string_view() : trim(status.substr(space));
    }
    return printable(status);
}

std::string serviceLogLine(const ClockTime& at, const std::string& text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", at.year % 10000, at.month % 100,
                  at.day % 100, at.hour % 100, at.minute % 100, at.second % 100);
    return stamp + text;
}

std::string uploadResultText(UploadService service, UploadOutcome outcome, const std::string& detail)
{
    std::string line = uploadServiceName(service);
    switch (outcome) {
    case UploadOutcome::accepted:
        line += " accepted";
        break;
    case UploadOutcome::refused:
        line += " refused";
        if (!detail.empty())
            line += ": " + detail;
        break;
    case UploadOutcome::noAnswer:
        line += " no answer";
        break;
    case UploadOutcome::notSent:
        line += " not sent";
        if (!detail.empty())
            line += ": " + detail;
        break;
    }
    return line;
}

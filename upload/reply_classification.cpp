#include "upload/reply_classification.h"

#include <cstring>
#include <string_view>

namespace {

const char* const WEATHERCLOUD_ERROR_CODES[] = {"400", "401", "429", "500"};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// What follows the first empty line; empty when there is none.
std::string_view bodyOf(std::string_view text)
{
    std::size_t end = text.find("\r\n\r\n");
    std::size_t skip = 4;
    if (end == std::string_view::npos) {
        end = text.find("\n\n");
        skip = 2;
    }
    if (end == std::string_view::npos)
        return {};
    return text.substr(end + skip);
}

// "401", "401 " or "401\r\n" name the code; "4010" does not.
bool bodyIsErrorCode(std::string_view body)
{
    while (!body.empty() && isBlank(body.front()))
        body.remove_prefix(1);
    for (const char* code : WEATHERCLOUD_ERROR_CODES) {
        const std::size_t n = std::strlen(code);
        if (body.substr(0, n) == code && (body.size() == n || !isDigit(body[n])))
            return true;
    }
    return false;
}

} // namespace

int replyShowsSuccess(UploadService service, const char* reply, std::size_t length)
{
    if (!reply)
        return 0;
    const void* zero = std::memchr(reply, 0, length);
    const std::string_view text(reply, zero ? static_cast<const char*>(zero) - reply : length);
    if (service == SERVICE_WEATHER_UNDERGROUND)
        return text.find("success") != std::string_view::npos ? 1 : 0;
    if (service == SERVICE_WEATHERCLOUD)
        return text.find("200") != std::string_view::npos && !bodyIsErrorCode(bodyOf(text)) ? 1 : 0;
    return 0;
}

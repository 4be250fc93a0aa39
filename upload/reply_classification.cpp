#include "upload/reply_classification.h"

#include <cstring>
#include <string_view>

namespace {

const char* const WEATHERCLOUD_ERROR_CODES[] = {"400", "401", "429", "500"};
const char* const WEATHERCLOUD_REFUSALS[] = {"400", "401", "429"};
const char* const WEATHERCLOUD_CREDENTIAL_REFUSALS[] = {"401"};
const char* const WEATHER_UNDERGROUND_REFUSALS[] = {"unauthorized", "INVALIDPASSWORDID"};

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
template <std::size_t N>
bool bodyIsOneOf(std::string_view body, const char* const (&codes)[N])
{
    while (!body.empty() && isBlank(body.front()))
        body.remove_prefix(1);
    for (const char* code : codes) {
        const std::size_t n = std::strlen(code);
        if (body.substr(0, n) == code && (body.size() == n || !isDigit(body[n])))
            return true;
    }
    return false;
}

template <std::size_t N>
bool containsAnyOf(std::string_view text, const char* const (&words)[N])
{
    for (const char* word : words)
        if (text.find(word) != std::string_view::npos)
            return true;
    return false;
}

// The text up to the first zero byte, at most `length` bytes.
std::string_view replyText(const char* reply, std::size_t length)
{
    const void* zero = std::memchr(reply, 0, length);
    return std::string_view(reply, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - reply) : length);
}

} // namespace

int replyShowsSuccess(UploadService service, const char* reply, std::size_t length)
{
    if (!reply)
        return 0;
    const std::string_view text = replyText(reply, length);
    if (service == SERVICE_WEATHER_UNDERGROUND)
        return text.find("success") != std::string_view::npos ? 1 : 0;
    if (service == SERVICE_WEATHERCLOUD)
        return text.find("200") != std::string_view::npos && !bodyIsOneOf(bodyOf(text), WEATHERCLOUD_ERROR_CODES)
                   ? 1
                   : 0;
    return 0;
}

ReplyVerdict classifyReply(UploadService service, const char* reply, std::size_t length)
{
    if (replyShowsSuccess(service, reply, length))
        return REPLY_TAKEN;
    if (!reply)
        return REPLY_UNCLEAR;
    const std::string_view text = replyText(reply, length);
    if (service == SERVICE_WEATHER_UNDERGROUND && containsAnyOf(text, WEATHER_UNDERGROUND_REFUSALS))
        return REPLY_REFUSED;
    if (service == SERVICE_WEATHERCLOUD && bodyIsOneOf(bodyOf(text), WEATHERCLOUD_REFUSALS))
        return REPLY_REFUSED;
    return REPLY_UNCLEAR;
}

bool replyRefusesCredentials(UploadService service, const char* reply, std::size_t length)
{
    if (classifyReply(service, reply, length) != REPLY_REFUSED)
        return false;
    return service == SERVICE_WEATHER_UNDERGROUND
        || bodyIsOneOf(bodyOf(replyText(reply, length)), WEATHERCLOUD_CREDENTIAL_REFUSALS);
}

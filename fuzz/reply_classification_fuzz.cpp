// The classification of a server's reply, for both services and unknown
// ones. The answer is 0 or 1, reads nothing past the given length or the
// first zero byte, and follows each service's rule; the verdict agrees with
// it and refuses only on the service's own words.
//
// Input: the service (any byte), a length byte for a shorter reading, then
// the reply (its buffer is exactly the rest).
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "upload/reply_classification.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The reply's body, after the first empty line, names one of `codes`
// (error codes Weathercloud answers with).
bool bodyNamesErrorCode(std::string_view text, std::initializer_list<std::string_view> codes)
{
    std::size_t end = text.find("\r\n\r\n");
    std::size_t skip = 4;
    if (end == std::string_view::npos) {
        end = text.find("\n\n");
        skip = 2;
    }
    if (end == std::string_view::npos)
        return false;
    std::string_view body = text.substr(end + skip);
    while (!body.empty() && isBlank(body.front()))
        body.remove_prefix(1);
    for (std::string_view code : codes)
        if (body.substr(0, 3) == code && (body.size() == 3 || body[3] < '0' || body[3] > '9'))
            return true;
    return false;
}

// The classification of exactly these bytes, from a buffer of their size.
int classify(UploadService service, const char* bytes, std::size_t length)
{
    const std::vector<char> copy(bytes, bytes + length);
    return replyShowsSuccess(service, copy.empty() ? "" : copy.data(), length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input{data, size};
    const auto service = static_cast<UploadService>(takeByte(input));
    const std::uint8_t shorter = takeByte(input);
    const char* reply = reinterpret_cast<const char*>(input.data);
    const std::size_t length = input.size;

    const int result = classify(service, reply, length);
    FUZZ_CHECK(result == 0 || result == 1);
    // The verdict agrees with the success test, and a refusal (which ends
    // the request) needs the service's own words for it.
    const std::vector<char> copy(reply, reply + length);
    const ReplyVerdict verdict = classifyReply(service, copy.empty() ? "" : copy.data(), length);
    FUZZ_CHECK((verdict == REPLY_TAKEN) == (result == 1));
    FUZZ_CHECK(replyShowsSuccess(service, nullptr, length) == 0);

    // Only the text up to the first zero counts.
    const void* zero = std::memchr(reply, 0, length);
    const std::size_t textLength = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - reply) : length;
    const std::string_view text(reply, textLength);
    FUZZ_CHECK(classify(service, reply, textLength) == result);

    switch (service) {
    case SERVICE_WEATHER_UNDERGROUND:
        FUZZ_CHECK(result == (text.find("success") != std::string_view::npos ? 1 : 0));
        FUZZ_CHECK((verdict == REPLY_REFUSED)
                   == (result == 0
                       && (text.find("unauthorized") != std::string_view::npos
                           || text.find("INVALIDPASSWORDID") != std::string_view::npos)));
        break;
    case SERVICE_WEATHERCLOUD:
        if (result == 1)
            FUZZ_CHECK(text.find("200") != std::string_view::npos);
        if (bodyNamesErrorCode(text, {"400", "401", "429", "500"}))
            FUZZ_CHECK(result == 0);
        FUZZ_CHECK((verdict == REPLY_REFUSED) == bodyNamesErrorCode(text, {"400", "401", "429"}));
        break;
    default:
        // A reply counts only for the service whose request produced it.
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(verdict == REPLY_UNCLEAR);
        break;
    }

    // A shorter reading of the same bytes is the reply cut there.
    const std::size_t cut = shorter < length ? shorter : length;
    const int cutResult = classify(service, reply, cut);
    FUZZ_CHECK(cutResult == 0 || cutResult == 1);
    if (service == SERVICE_WEATHER_UNDERGROUND && cutResult == 1)
        FUZZ_CHECK(result == 1);
    return 0;
}

#include "upload/reply_reading.h"

#include <cstdio>

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Where the value of "name" starts (after the colon and blanks), or npos.
std::size_t jsonValueStart(std::string_view body, std::string_view name)
{
    const std::string key = "\"" + std::string(name) + "\"";
    std::size_t at = body.find(key);
    while (at != std::string_view::npos) {
        std::size_t p = at + key.size();
        while (p < body.size() && (body[p] == ' ' || body[p] == '\t' || body[p] == '\r' || body[p] == '\n'))
            ++p;
        if (p < body.size() && body[p] == ':') {
            ++p;
            while (p < body.size() && (body[p] == ' ' || body[p] == '\t' || body[p] == '\r' || body[p] == '\n'))
                ++p;
            return p;
        }
        at = body.find(key, at + 1);
    }
    return std::string_view::npos;
}

} // namespace

std::string replyReasonLine(std::string_view text)
{
    std::string line;
    bool inMarkup = false;
    bool blankPending = false;
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (inMarkup) {
            if (byte == '>') {
                inMarkup = false;
                blankPending = true;
            }
            continue;
        }
        if (byte == '<') {
            inMarkup = true;
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == ' ') {
            blankPending = true;
            continue;
        }
        if (blankPending && !line.empty())
            line += ' ';
        blankPending = false;
        line += byte;
        if (line.size() > REPLY_REASON_LIMIT)
            break;
    }
    if (line.size() > REPLY_REASON_LIMIT) {
        std::size_t cut = REPLY_REASON_LIMIT - 3;
        while (cut > 0 && isContinuationByte(line[cut]))
            --cut;
        line.resize(cut);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        line += "...";
    }
    return line;
}

bool containsWithoutCase(std::string_view text, std::string_view word)
{
    if (word.empty())
        return true;
    for (std::size_t start = 0; start + word.size() <= text.size(); ++start) {
        std::size_t i = 0;
        while (i < word.size() && lowerAscii(text[start + i]) == lowerAscii(word[i]))
            ++i;
        if (i == word.size())
            return true;
    }
    return false;
}

std::string jsonStringMember(std::string_view body, std::string_view name)
{
    std::size_t p = jsonValueStart(body, name);
    if (p == std::string_view::npos || p >= body.size() || body[p] != '"')
        return {};
    std::string value;
    for (++p; p < body.size() && body[p] != '"'; ++p) {
        if (body[p] == '\\' && p + 1 < body.size() && (body[p + 1] == '"' || body[p + 1] == '\\'))
            ++p;
        value += body[p];
    }
    return value;
}

std::string serviceWordsOf(std::string_view body)
{
    std::string words = jsonStringMember(body, "message");
    if (words.empty())
        words = jsonStringMember(body, "error");
    const std::size_t first = body.find_first_not_of(" \t\r\n");
    if (words.empty() && first != std::string_view::npos && body[first] != '{' && body[first] != '[')
        words = body;
    return replyReasonLine(words);
}

long jsonWholeMember(std::string_view body, std::string_view name)
{
    std::size_t p = jsonValueStart(body, name);
    if (p == std::string_view::npos || p >= body.size() || body[p] < '0' || body[p] > '9')
        return -1;
    long value = 0;
    for (; p < body.size() && body[p] >= '0' && body[p] <= '9'; ++p) {
        if (value > 100000000)
            return -1; // years: no hint worth waiting for
        value = value * 10 + (body[p] - '0');
    }
    return value;
}

DeliveryOutcome outcomeOfStatus(const HttpReply& reply, const std::string& serviceWords)
{
    if (reply.status == 0) {
        const std::string why = replyReasonLine(reply.failure);
        return {DeliveryVerdict::failed, -1, why.empty() ? "no answer" : "no answer: " + why};
    }
    char status[16];
    std::snprintf(status, sizeof status, "HTTP %d", reply.status);
    std::string reason = status;
    if (!serviceWords.empty())
        reason += ": " + serviceWords;
    if (reply.status >= 200 && reply.status < 300)
        return {DeliveryVerdict::accepted, -1, reason};
    if (reply.status == 429)
        return {DeliveryVerdict::rateLimited, reply.retryAfterSeconds >= 0 ? reply.retryAfterSeconds : -1, reason};
    // None of the networks' upload documentation names 409. An upload
    // creates nothing a request could conflict with but the observation the
    // service already holds for that time: the resend of a request whose
    // reply a kill cut off, or one it had before. Taken as delivered, the
    // mark moves on; a refusal would stop the network for good and a retry
    // would stall it on that observation, both for one it has.
    if (reply.status == 409)
        return {DeliveryVerdict::accepted, -1, reason};
    if (reply.status >= 400 && reply.status < 500 && reply.status != 408)
        return {DeliveryVerdict::refused, -1, reason};
    return {DeliveryVerdict::failed, -1, reason};
}

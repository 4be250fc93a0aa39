// What the weather networks' requests and reply readers share: escaping,
// numbers, UTC times, the one-line reason and the verdict of a status.
#include "upload/request_text.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

#include "upload/network_traits.h"
#include "upload/reply_reading.h"

namespace {

std::string escaped(std::string_view value)
{
    std::string out;
    appendQueryEscaped(out, value);
    return out;
}

TEST(RequestText, QueryEscapingKeepsOnlyUnreservedBytes)
{
    EXPECT_EQ(escaped("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(escaped("a b+c&d=e?f/g#h%i"), "a+b%2Bc%26d%3De%3Ff%2Fg%23h%25i");
    EXPECT_EQ(escaped(std::string_view("\r\n\0\x7F\xFF", 5)), "%0D%0A%00%7F%FF");
}

TEST(RequestText, QueryFieldsAndTheEndpointsOwnQuery)
{
    QueryText query;
    query.add("a", "1 2");
    query.addNumber("gone", NAN, 1);
    query.addNumber("big", 2e9, 1);
    query.addNumber("b", -0.25, 1);
    EXPECT_EQ(query.text(), "a=1+2&b=-0.3");
    EXPECT_EQ(urlWithQuery("https://h.example/p", "x=1"), "https://h.example/p?x=1");
    EXPECT_EQ(urlWithQuery("https://h.example/p?k=v", "x=1"), "https://h.example/p?k=v&x=1");
}

TEST(RequestText, ReadingsOfADamagedRowAreNone)
{
    ArchivedObservation o{};
    o.value[StationFields::outdoorTemp] = INFINITY;
    o.value[StationFields::dewPoint] = -1e12;
    o.value[StationFields::windGust] = 12.5;
    EXPECT_TRUE(std::isnan(readingOf(o, StationFields::outdoorTemp)));
    EXPECT_TRUE(std::isnan(readingOf(o, StationFields::dewPoint)));
    EXPECT_TRUE(std::isnan(readingOf(o, -1)));
    EXPECT_TRUE(std::isnan(readingOf(o, static_cast<int>(STATION_FIELD_COUNT))));
    EXPECT_EQ(readingOf(o, StationFields::windGust), 12.5);
}

TEST(RequestText, UtcTimesAcrossTheCalendar)
{
    EXPECT_EQ(utcDateTimeText(0, ' '), "1970-01-01 00:00:00");
    EXPECT_EQ(utcDateTimeText(1709251199, 'T'), "2024-02-29T23:59:59");
    EXPECT_EQ(utcDateTimeText(-5, ' '), "1970-01-01 00:00:00");
    EXPECT_EQ(utcDateTimeText(INT64_MAX, ' '), "9999-12-31 23:59:59");
}

TEST(ReplyReading, ReasonIsOneBoundedLine)
{
    EXPECT_EQ(replyReasonLine("  <h1>Bad</h1>\r\n\tkey\x1B[31m  "), "Bad key [31m");
    EXPECT_EQ(replyReasonLine(std::string(HTTP_REPLY_BODY_LIMIT, '\n')), "");
    const std::string longWords = replyReasonLine(std::string(500, 'x'));
    EXPECT_EQ(longWords.size(), REPLY_REASON_LIMIT);
    EXPECT_EQ(longWords.substr(longWords.size() - 3), "...");
    // A cut never splits a UTF-8 character.
    std::string accents;
    for (int i = 0; i < 200; ++i)
        accents += "\xC3\xA9";
    const std::string cut = replyReasonLine("x" + accents);
    EXPECT_LE(cut.size(), REPLY_REASON_LIMIT);
    EXPECT_EQ(cut.substr(cut.size() - 5), "\xC3\xA9...");
}

TEST(ReplyReading, JsonMembers)
{
    EXPECT_EQ(jsonStringMember(R"({"code":1, "message" : "say \"no\" \\ now"})", "message"), R"(say "no" \ now)");
    EXPECT_EQ(jsonStringMember(R"({"message":17})", "message"), "");
    EXPECT_EQ(jsonStringMember(R"({"message":"unterminated)", "message"), "unterminated");
    EXPECT_EQ(jsonWholeMember(R"({"retry_after": 30})", "retry_after"), 30);
    EXPECT_EQ(jsonWholeMember(R"({"retry_after":-3})", "retry_after"), -1);
    EXPECT_EQ(jsonWholeMember(R"({"retry_after":99999999999999999999})", "retry_after"), -1);
}

TEST(ReplyReading, StatusVerdicts)
{
    const std::pair<int, DeliveryVerdict> cases[] = {
        {200, DeliveryVerdict::accepted}, {204, DeliveryVerdict::accepted},    {301, DeliveryVerdict::failed},
        {400, DeliveryVerdict::refused},  {403, DeliveryVerdict::refused},     {404, DeliveryVerdict::refused},
        {408, DeliveryVerdict::failed},   {429, DeliveryVerdict::rateLimited}, {503, DeliveryVerdict::failed},
        {409, DeliveryVerdict::accepted},
    };
    HttpReply reply;
    for (const auto& [status, verdict] : cases) {
        SCOPED_TRACE(status);
        reply.status = status;
        EXPECT_EQ(outcomeOfStatus(reply, "").verdict, verdict);
    }
    reply.status = 0;
    EXPECT_EQ(outcomeOfStatus(reply, "").reason, "no answer");
}

TEST(NetworkTraits, EachNetworkFindsItsOwnRow)
{
    for (std::size_t i = 0; i < NETWORK_COUNT; ++i) {
        const NetworkTraits& row = networkTraitsTable()[i];
        EXPECT_EQ(&networkTraits(row.network), &row);
        EXPECT_GE(row.defaultIntervalMinutes, row.lowestIntervalMinutes);
        EXPECT_GE(row.batchSize, 1u);
    }
    // Only the networks whose documentation takes a reading's own time back-fill.
    EXPECT_FALSE(networkTraits(Network::windy).takesPastObservations);
    EXPECT_FALSE(networkTraits(Network::cwop).takesPastObservations);
    EXPECT_TRUE(networkTraits(Network::openWeatherMap).takesPastObservations);
}

} // namespace

// OpenWeatherMap's measurements POST, written out by hand from its stations
// documentation, and how its replies read.
#include "upload/openweathermap_request.h"

#include <vector>

#include <gtest/gtest.h>

#include "tests/upload/worked_observations.h"

namespace {

// A quote, a backslash and é in the station id test the JSON string.
NetworkAccount account()
{
    return {OPENWEATHERMAP_ENDPOINT, "st\"a\\\xC3\xA9", "k&y", "aerovane 1.01"};
}

TEST(OpenWeatherMapRequest, WorkedBatchOfTwo)
{
    const ArchivedObservation batch[] = {wintryObservation(), sparseObservation()};
    const HttpRequest request = openWeatherMapRequest(account(), batch, 2);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "https://api.openweathermap.org/data/3.0/measurements?appid=k%26y");
    EXPECT_EQ(request.headers, std::vector<std::string>{"Content-Type: application/json"});
    EXPECT_EQ(request.body, "[{\"station_id\":\"st\\\"a\\\\\xC3\xA9\",\"dt\":1772368496,\"temperature\":-5.3,"
                            "\"wind_speed\":4.0,\"wind_gust\":7.0,\"wind_deg\":225,\"pressure\":1013.2,"
                            "\"humidity\":87,\"rain_1h\":1.5,\"dew_point\":-7.1},"
                            "{\"station_id\":\"st\\\"a\\\\\xC3\xA9\",\"dt\":1767225547,\"temperature\":-20.0,"
                            "\"wind_speed\":0.0,\"pressure\":1000.0}]");
}

std::size_t measurementsIn(const std::string& body)
{
    std::size_t count = 0;
    for (std::size_t at = body.find("\"dt\":"); at != std::string::npos; at = body.find("\"dt\":", at + 1))
        ++count;
    return count;
}

TEST(OpenWeatherMapRequest, BatchHeldToItsLimit)
{
    const std::vector<ArchivedObservation> many(OPENWEATHERMAP_BATCH_LIMIT + 50, wintryObservation());
    EXPECT_EQ(measurementsIn(openWeatherMapRequest(account(), many.data(), many.size()).body),
              OPENWEATHERMAP_BATCH_LIMIT);
    EXPECT_EQ(openWeatherMapRequest(account(), nullptr, 3).body, "[]");
}

TEST(OpenWeatherMapRequest, ControlCharactersEscapedInTheStationId)
{
    NetworkAccount odd = account();
    odd.identity = "a\nb\x01";
    const ArchivedObservation one = sparseObservation();
    EXPECT_EQ(openWeatherMapRequest(odd, &one, 1).body.rfind("[{\"station_id\":\"a\\u000Ab\\u0001\",", 0), 0u);
}

TEST(OpenWeatherMapReply, NoContentIsTakenErrorsCarryTheMessage)
{
    const DeliveryOutcome taken = readOpenWeatherMapReply(httpReply(204, ""));
    EXPECT_EQ(taken.verdict, DeliveryVerdict::accepted);
    EXPECT_EQ(taken.reason, "HTTP 204");
    const DeliveryOutcome badKey = readOpenWeatherMapReply(httpReply(
        401, R"({"cod":401, "message": "Invalid API key. Please see https://openweathermap.org/faq#error401 for more info."})"));
    EXPECT_EQ(badKey.verdict, DeliveryVerdict::refused);
    EXPECT_EQ(badKey.reason,
              "HTTP 401: Invalid API key. Please see https://openweathermap.org/faq#error401 for more info.");
    EXPECT_EQ(readOpenWeatherMapReply(httpReply(400, R"({"code":400002,"message":"Station id not valid"})")).reason,
              "HTTP 400: Station id not valid");
    EXPECT_EQ(readOpenWeatherMapReply(httpReply(429, "")).verdict, DeliveryVerdict::rateLimited);
    EXPECT_EQ(readOpenWeatherMapReply(httpReply(500, "")).verdict, DeliveryVerdict::failed);
}

} // namespace

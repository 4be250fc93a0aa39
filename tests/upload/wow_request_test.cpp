// WOW's automatic upload GET, written out by hand from its field table, and
// how its replies read.
#include "upload/wow_request.h"

#include <gtest/gtest.h>

#include "tests/upload/worked_observations.h"

namespace {

NetworkAccount account(const std::string& endpoint = WOW_ENDPOINT)
{
    return {endpoint, AWKWARD_STATION, "123456", "aerovane 1.01"};
}

TEST(WowRequest, WorkedExampleMandatoryFieldsFirst)
{
    const HttpRequest request = wowRequest(account(), wintryObservation());
    EXPECT_EQ(request.method, "GET");
    // No rainin: WOW reads it as the rain since the previous observation.
    EXPECT_EQ(request.url, std::string("https://wow.metoffice.gov.uk/automaticreading?siteid=") +
                               AWKWARD_STATION_ESCAPED +
                               "&siteAuthenticationKey=123456&dateutc=2026-03-01+12%3A34%3A56"
                               "&softwaretype=aerovane+1.01"
                               "&tempf=22.4&humidity=87&dewptf=19.2&winddir=225&windspeedmph=8.9&windgustmph=15.7"
                               "&baromin=29.92&dailyrainin=0.50");
}

TEST(WowRequest, InvalidReadingsLeftOutOnAnotherNetworksUrl)
{
    const HttpRequest request =
        wowRequest(account("https://wow.example.invalid/automaticreading?network=be"), sparseObservation());
    EXPECT_EQ(request.url, std::string("https://wow.example.invalid/automaticreading?network=be&siteid=") +
                               AWKWARD_STATION_ESCAPED +
                               "&siteAuthenticationKey=123456&dateutc=2025-12-31+23%3A59%3A07"
                               "&softwaretype=aerovane+1.01&tempf=-4.0&windspeedmph=0.0&baromin=29.53");
}

TEST(WowReply, ByStatusWithTheServicesWords)
{
    EXPECT_EQ(readWowReply(httpReply(200, "{}")).verdict, DeliveryVerdict::accepted);
    const DeliveryOutcome wrongPin = readWowReply(httpReply(403, "Invalid site ID or authentication key\r\n"));
    EXPECT_EQ(wrongPin.verdict, DeliveryVerdict::refused);
    EXPECT_EQ(wrongPin.reason, "HTTP 403: Invalid site ID or authentication key");
    EXPECT_EQ(readWowReply(httpReply(400, "Bad Request")).verdict, DeliveryVerdict::refused);
    const DeliveryOutcome slow = readWowReply(httpReply(429, ""));
    EXPECT_EQ(slow.verdict, DeliveryVerdict::rateLimited);
    EXPECT_EQ(slow.waitSeconds, -1);
    EXPECT_EQ(readWowReply(httpReply(500, "")).verdict, DeliveryVerdict::failed);
}

} // namespace

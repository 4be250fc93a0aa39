// PWSweather's upload GET, written out by hand from the protocol's field
// list, and how its replies read.
#include "upload/pwsweather_request.h"

#include <gtest/gtest.h>

#include "tests/upload/worked_observations.h"

namespace {

NetworkAccount account()
{
    return {PWSWEATHER_ENDPOINT, AWKWARD_STATION, "p@ss word", "aerovane 1.01"};
}

TEST(PwsweatherRequest, WorkedExampleInImperialUnits)
{
    const HttpRequest request = pwsweatherRequest(account(), wintryObservation());
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.url, std::string("https://pwsupdate.pwsweather.com/pwsupdate/pwsupdate.php?ID=") +
                               AWKWARD_STATION_ESCAPED +
                               "&PASSWORD=p%40ss+word&dateutc=2026-03-01+12%3A34%3A56"
                               "&tempf=22.4&humidity=87&dewptf=19.2&winddir=225&windspeedmph=8.9&windgustmph=15.7"
                               "&baromin=29.92&dailyrainin=0.50&rainin=0.06&UV=3"
                               "&softwaretype=aerovane+1.01&action=updateraw");
    EXPECT_TRUE(request.headers.empty());
    EXPECT_TRUE(request.body.empty());
}

TEST(PwsweatherRequest, InvalidReadingsLeftOutAndZeroKept)
{
    const HttpRequest request = pwsweatherRequest(account(), sparseObservation());
    EXPECT_EQ(request.url, std::string("https://pwsupdate.pwsweather.com/pwsupdate/pwsupdate.php?ID=") +
                               AWKWARD_STATION_ESCAPED +
                               "&PASSWORD=p%40ss+word&dateutc=2025-12-31+23%3A59%3A07"
                               "&tempf=-4.0&windspeedmph=0.0&baromin=29.53"
                               "&softwaretype=aerovane+1.01&action=updateraw");
}

TEST(PwsweatherReply, TakenUnlessTheTextSaysError)
{
    EXPECT_EQ(readPwsweatherReply(httpReply(200, "<html><body>\nData Logged and posted in METAR mirror.\n</body></html>"))
                  .verdict,
              DeliveryVerdict::accepted);
    const DeliveryOutcome wrongId = readPwsweatherReply(httpReply(200, "ERROR: Not a vailid Station ID\n"));
    EXPECT_EQ(wrongId.verdict, DeliveryVerdict::refused);
    EXPECT_EQ(wrongId.reason, "HTTP 200: ERROR: Not a vailid Station ID");
    EXPECT_EQ(readPwsweatherReply(httpReply(200, "Invalid password")).verdict, DeliveryVerdict::refused);
}

TEST(PwsweatherReply, StatusDecidesOtherwise)
{
    EXPECT_EQ(readPwsweatherReply(httpReply(401, "Unauthorized")).verdict, DeliveryVerdict::refused);
    const DeliveryOutcome slow = readPwsweatherReply(httpReply(429, "", 120));
    EXPECT_EQ(slow.verdict, DeliveryVerdict::rateLimited);
    EXPECT_EQ(slow.waitSeconds, 120);
    EXPECT_EQ(readPwsweatherReply(httpReply(503, "Service Unavailable")).verdict, DeliveryVerdict::failed);
    // A conflict is an observation it holds already, whatever words come with it.
    const DeliveryOutcome held = readPwsweatherReply(httpReply(409, "ERROR: duplicate observation"));
    EXPECT_EQ(held.verdict, DeliveryVerdict::accepted);
    EXPECT_EQ(held.reason, "HTTP 409: ERROR: duplicate observation");
    HttpReply none;
    none.failure = "connect timed out";
    const DeliveryOutcome silent = readPwsweatherReply(none);
    EXPECT_EQ(silent.verdict, DeliveryVerdict::failed);
    EXPECT_EQ(silent.reason, "no answer: connect timed out");
}

} // namespace

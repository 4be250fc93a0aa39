// Windy's observation update GET, written out by hand from its API
// reference, and how its replies read.
#include "upload/windy_request.h"

#include <gtest/gtest.h>

#include "tests/upload/worked_observations.h"

namespace {

NetworkAccount account()
{
    return {WINDY_ENDPOINT, AWKWARD_STATION, "p@ss word", "aerovane 1.01"};
}

TEST(WindyRequest, WorkedExampleInMetricUnits)
{
    const HttpRequest request = windyRequest(account(), wintryObservation());
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.url, std::string("https://stations.windy.com/api/v2/observation/update?id=") +
                               AWKWARD_STATION_ESCAPED +
                               "&PASSWORD=p%40ss+word&time=2026-03-01T12%3A34%3A56Z"
                               "&temp=-5.3&dewpoint=-7.1&humidity=87&wind=4.0&gust=7.0&winddir=225"
                               "&pressure=101320&precip=1.5&uv=3");
}

TEST(WindyRequest, InvalidReadingsLeftOut)
{
    EXPECT_EQ(windyRequest(account(), sparseObservation()).url,
              std::string("https://stations.windy.com/api/v2/observation/update?id=") + AWKWARD_STATION_ESCAPED +
                  "&PASSWORD=p%40ss+word&time=2025-12-31T23%3A59%3A07Z&temp=-20.0&wind=0.0&pressure=100000");
}

TEST(WindyReply, RefusalsCarryTheMessage)
{
    EXPECT_EQ(readWindyReply(httpReply(200, "SUCCESS")).verdict, DeliveryVerdict::accepted);
    // Its answer echoes the station password, which must stay out of the log.
    const DeliveryOutcome taken =
        readWindyReply(httpReply(200, R"({"result":"ok","id":"K1","password":"p@ss word"})"));
    EXPECT_EQ(taken.verdict, DeliveryVerdict::accepted);
    EXPECT_EQ(taken.reason, "HTTP 200");
    const DeliveryOutcome wrong = readWindyReply(httpReply(401, R"({"message": "Invalid station password"})"));
    EXPECT_EQ(wrong.verdict, DeliveryVerdict::refused);
    EXPECT_EQ(wrong.reason, "HTTP 401: Invalid station password");
    EXPECT_EQ(readWindyReply(httpReply(400, R"({"error":"Invalid time"})")).reason, "HTTP 400: Invalid time");
    EXPECT_EQ(readWindyReply(httpReply(502, "<html>Bad Gateway</html>")).verdict, DeliveryVerdict::failed);
}

TEST(WindyReply, TooSoonWaitsAsTold)
{
    const DeliveryOutcome fromBody =
        readWindyReply(httpReply(429, R"({"error":"Too many requests","retry_after":245})"));
    EXPECT_EQ(fromBody.verdict, DeliveryVerdict::rateLimited);
    EXPECT_EQ(fromBody.waitSeconds, 245);
    EXPECT_EQ(fromBody.reason, "HTTP 429: Too many requests");
    // The header, where there is one, is the transport's reading of the same hint.
    EXPECT_EQ(readWindyReply(httpReply(429, R"({"retry_after":245})", 60)).waitSeconds, 60);
    EXPECT_EQ(readWindyReply(httpReply(429, R"({"retry_after":"soon"})")).waitSeconds, -1);
}

} // namespace

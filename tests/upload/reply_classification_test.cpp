// Which replies count as a service taking an upload.
#include "upload/reply_classification.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

int shows(UploadService service, const std::string& reply)
{
    return replyShowsSuccess(service, reply.data(), reply.size());
}

constexpr UploadService WU = SERVICE_WEATHER_UNDERGROUND;
constexpr UploadService WC = SERVICE_WEATHERCLOUD;

TEST(ReplyClassification, WeatherUndergroundNeedsSuccessAnywhere)
{
    EXPECT_EQ(shows(WU, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nsuccess\n"), 1);
    EXPECT_EQ(shows(WU, "HTTP/1.0 200 OK\r\nX-Result: success\r\n\r\n"), 1);
    EXPECT_EQ(shows(WU, "success"), 1);
    // Case matters, and a bare status 200 is no success for this service.
    EXPECT_EQ(shows(WU, "HTTP/1.0 200 OK\r\n\r\nSuccess"), 0);
    EXPECT_EQ(shows(WU, "HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect"), 0);
    EXPECT_EQ(shows(WU, "succes"), 0);
}

TEST(ReplyClassification, WeathercloudNeeds200)
{
    EXPECT_EQ(shows(WC, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n200"), 1);
    EXPECT_EQ(shows(WC, "HTTP/1.1 200 OK\r\n\r\n"), 1);
    EXPECT_EQ(shows(WC, "HTTP/1.1 404 Not Found\r\n\r\n"), 0);
    // "success" speaks for the other service only.
    EXPECT_EQ(shows(WC, "HTTP/1.1 302 Found\r\n\r\nsuccess"), 0);
}

TEST(ReplyClassification, WeathercloudErrorCodeInBodyWinsOverStatusLine)
{
    for (const char* code : {"400", "401", "429", "500"}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(shows(WC, std::string("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n") + code), 0);
        EXPECT_EQ(shows(WC, std::string("HTTP/1.1 200 OK\r\n\r\n  ") + code + "\r\n"), 0);
        EXPECT_EQ(shows(WC, std::string("HTTP/1.1 200 OK\n\n") + code), 0);
    }
    // Other bodies do not hide the 200.
    EXPECT_EQ(shows(WC, "HTTP/1.1 200 OK\r\n\r\n4001"), 1);
    EXPECT_EQ(shows(WC, "HTTP/1.1 200 OK\r\n\r\nok 401"), 1);
    // Without an empty line there is no body to speak against it.
    EXPECT_EQ(shows(WC, "HTTP/1.1 200 OK\r\nX-Code: 401\r\n"), 1);
}

TEST(ReplyClassification, TextEndsAtFirstZeroByteOrLength)
{
    const char withZero[] = "HTTP/1.0 404\r\n\r\n\0success 200";
    EXPECT_EQ(replyShowsSuccess(WU, withZero, sizeof withZero - 1), 0);
    EXPECT_EQ(replyShowsSuccess(WC, withZero, sizeof withZero - 1), 0);
    const char longer[] = "success";
    EXPECT_EQ(replyShowsSuccess(WU, longer, 6), 0);
    EXPECT_EQ(replyShowsSuccess(WU, nullptr, 10), 0);
    EXPECT_EQ(replyShowsSuccess(static_cast<UploadService>(7), longer, 7), 0);
}

// Far beyond the first kilobyte still counts: the whole collected reply is
// searched.
TEST(ReplyClassification, LongHeadersDoNotHideTheBody)
{
    const std::string reply = "HTTP/1.0 200 OK\r\nX-Padding: " + std::string(5000, 'p') + "\r\n\r\nsuccess";
    EXPECT_EQ(shows(WU, reply), 1);
}

} // namespace

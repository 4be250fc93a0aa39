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

ReplyVerdict verdict(UploadService service, const std::string& reply)
{
    return classifyReply(service, reply.data(), reply.size());
}

// A refusal is final for its request, so only the service's own words for
// "no" may make one; anything else unclear is worth another attempt.
TEST(ReplyClassification, RefusalsAreTheServicesOwnAnswers)
{
    EXPECT_EQ(verdict(WU, "HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect"),
              REPLY_REFUSED);
    EXPECT_EQ(verdict(WU, "HTTP/1.0 401 Unauthorized\r\n\r\nunauthorized\n"), REPLY_REFUSED);
    EXPECT_EQ(verdict(WU, "HTTP/1.0 200 OK\r\n\r\nsuccess"), REPLY_TAKEN);
    EXPECT_EQ(verdict(WU, "HTTP/1.0 500 Oops\r\n\r\n"), REPLY_UNCLEAR);
    // Weathercloud's codes mean nothing to the other service.
    EXPECT_EQ(verdict(WU, "HTTP/1.0 200 OK\r\n\r\n401"), REPLY_UNCLEAR);

    for (const char* code : {"400", "401", "429"}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(verdict(WC, std::string("HTTP/1.1 200 OK\r\n\r\n") + code), REPLY_REFUSED);
        EXPECT_EQ(verdict(WC, std::string("HTTP/1.1 429 Too Many Requests\n\n ") + code + "\r\n"), REPLY_REFUSED);
    }
    // The service failing is no refusal, whatever the status line says.
    EXPECT_EQ(verdict(WC, "HTTP/1.1 200 OK\r\n\r\n500"), REPLY_UNCLEAR);
    EXPECT_EQ(verdict(WC, "HTTP/1.1 200 OK\r\n\r\n4290"), REPLY_TAKEN);
    EXPECT_EQ(verdict(WC, "HTTP/1.1 404 Not Found\r\n\r\n"), REPLY_UNCLEAR);
    EXPECT_EQ(verdict(WC, "HTTP/1.1 200 OK\r\n\r\nINVALIDPASSWORDID"), REPLY_TAKEN);

    // Past the first zero byte nothing is read, a refusal included.
    const char hidden[] = "HTTP/1.0 404\r\n\r\n\0INVALIDPASSWORDID";
    EXPECT_EQ(classifyReply(WU, hidden, sizeof hidden - 1), REPLY_UNCLEAR);
    EXPECT_EQ(classifyReply(WU, nullptr, 10), REPLY_UNCLEAR);
    EXPECT_EQ(classifyReply(static_cast<UploadService>(7), "unauthorized", 12), REPLY_UNCLEAR);
}

// Only a refusal of the station's id or key stops the uploads until the
// configuration changes; one upload refused, or the service failing, does not.
TEST(ReplyClassification, OnlyARefusedKeyStopsTheUploads)
{
    const auto credentials = [](UploadService service, const std::string& reply) {
        return replyRefusesCredentials(service, reply.data(), reply.size());
    };
    EXPECT_TRUE(credentials(WU, "HTTP/1.1 200\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect"));
    EXPECT_TRUE(credentials(WU, "HTTP/1.1 401\r\n\r\nunauthorized\n"));
    EXPECT_TRUE(credentials(WC, "HTTP/1.1 200\r\n\r\n401"));
    EXPECT_FALSE(credentials(WC, "HTTP/1.1 200\r\n\r\n400"));
    EXPECT_FALSE(credentials(WC, "HTTP/1.1 200\r\n\r\n429"));
    EXPECT_FALSE(credentials(WC, "HTTP/1.1 200\r\n\r\n500"));
    EXPECT_FALSE(credentials(WC, "HTTP/1.1 401\r\n\r\n4010"));
    EXPECT_FALSE(credentials(WU, "HTTP/1.1 500\r\n\r\n"));
    EXPECT_FALSE(credentials(WU, "HTTP/1.1 200\r\n\r\nsuccess unauthorized"));
    EXPECT_FALSE(replyRefusesCredentials(WU, nullptr, 4));
}

// Far beyond the first kilobyte still counts: the whole collected reply is
// searched.
TEST(ReplyClassification, LongHeadersDoNotHideTheBody)
{
    const std::string reply = "HTTP/1.0 200 OK\r\nX-Padding: " + std::string(5000, 'p') + "\r\n\r\nsuccess";
    EXPECT_EQ(shows(WU, reply), 1);
}

} // namespace

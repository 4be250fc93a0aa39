// The two services' requests, byte for byte, and the ones that are dropped
// rather than sent cut.
#include "upload/upload_requests.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr UploadService WU = SERVICE_WEATHER_UNDERGROUND;
constexpr UploadService WC = SERVICE_WEATHERCLOUD;

const char WU_CONSOLE[] = "dateutc=now&tempf=50.4&humidity=80&baromin=29.92";
const char WC_CONSOLE[] = "/temp/104/hum/80/bar/10132/time/1230";

// Empty when dropped.
std::string compose(UploadService service, const char* id, const char* key, const std::string& console,
                    const char* host = "upload.example")
{
    char out[REQUEST_BUFFER_SIZE];
    std::memset(out, 'z', sizeof out);
    const std::size_t n = composeUploadRequest(service, id, key, console.data(), console.size(), host, out);
    EXPECT_EQ(n, std::strlen(out));
    return std::string(out, n);
}

std::string reencode(const std::string& text, std::size_t capacity = REQUEST_BUFFER_SIZE)
{
    std::string out(capacity, 'z');
    const std::size_t n = reencodeWindows1252AsUtf8(text.c_str(), out.data(), capacity);
    if (capacity > 0) {
        EXPECT_EQ(out[n], '\0');
    }
    return out.substr(0, n);
}

// --- Byte-exact requests ---------------------------------------------------------

TEST(UploadRequests, WeatherUndergroundRequestIsExact)
{
    EXPECT_EQ(compose(WU, "KXYZ123", "s3cret", WU_CONSOLE),
              "GET /weatherstation/updateweatherstation.php?ID=KXYZ123&PASSWORD=s3cret&"
              "dateutc=now&tempf=50.4&humidity=80&baromin=29.92"
              "&softwaretype=vws%20versionxx&action=updateraw&realtime=1&rtfreq2.5 HTTP/1.0\r\n"
              "Host:  upload.example\r\n"
              "\r\n");
}

TEST(UploadRequests, WeathercloudRequestIsExact)
{
    EXPECT_EQ(compose(WC, "0123abcd", "fedcba9876543210", WC_CONSOLE),
              "GET /v01/set/wid/0123abcd/key/fedcba9876543210/temp/104/hum/80/bar/10132/time/1230 HTTP/1.0\r\n"
              "Host:  upload.example\r\n"
              "\r\n");
}

TEST(UploadRequests, CredentialsGoInUnescaped)
{
    EXPECT_EQ(compose(WU, "a&b/c?d e", "k&=/? y", "t=1"),
              "GET /weatherstation/updateweatherstation.php?ID=a&b/c?d e&PASSWORD=k&=/? y&t=1"
              "&softwaretype=vws%20versionxx&action=updateraw&realtime=1&rtfreq2.5 HTTP/1.0\r\n"
              "Host:  upload.example\r\n\r\n");
    EXPECT_EQ(compose(WC, "a&b/c?d e", "k&=/? y", "/t/1"),
              "GET /v01/set/wid/a&b/c?d e/key/k&=/? y/t/1 HTTP/1.0\r\nHost:  upload.example\r\n\r\n");
}

TEST(UploadRequests, EmptyConsoleTextStillMakesARequest)
{
    const std::string wu = compose(WU, "K1", "p", "");
    EXPECT_NE(wu.find("PASSWORD=p&&softwaretype="), std::string::npos) << wu;
    EXPECT_EQ(compose(WC, "w", "k", ""), "GET /v01/set/wid/w/key/k HTTP/1.0\r\nHost:  upload.example\r\n\r\n");
}

// The console's buffer need not hold a zero: the text ends with the buffer.
TEST(UploadRequests, ConsoleTextEndsAtZeroOrBufferEnd)
{
    char out[REQUEST_BUFFER_SIZE];
    const char console[] = {'/', 'a', '/', '1', '\0', '/', 'b'};
    ASSERT_GT(composeUploadRequest(WC, "w", "k", console, sizeof console, "h", out), 0u);
    EXPECT_STREQ(out, "GET /v01/set/wid/w/key/k/a/1 HTTP/1.0\r\nHost:  h\r\n\r\n");
    ASSERT_GT(composeUploadRequest(WC, "w", "k", console, 3, "h", out), 0u);
    EXPECT_STREQ(out, "GET /v01/set/wid/w/key/k/a/ HTTP/1.0\r\nHost:  h\r\n\r\n");
}

// --- Re-encoding ---------------------------------------------------------------------

// A UTF-8 id is read as ANSI text and encoded again: each of its bytes
// becomes a character of its own.
TEST(UploadRequests, NonAsciiIdIsReencodedByteByByte)
{
    const std::string request = compose(WC, "Z\xC3\xBCrich", "k", "/t/1");
    const std::string encoded = reencode(request);
    EXPECT_NE(encoded.find("wid/Z\xC3\x83\xC2\xBCrich/key/k/t/1"), std::string::npos) << encoded;
    EXPECT_EQ(encoded.size(), request.size() + 2);
}

TEST(UploadRequests, ReencodingFollowsWindows1252)
{
    const std::string ascii = "GET /x?a=1&b=%20 HTTP/1.0\r\n\r\n";
    EXPECT_EQ(reencode(ascii), ascii);
    EXPECT_EQ(reencode("\x80"), "\xE2\x82\xAC");   // euro sign
    EXPECT_EQ(reencode("\x9F"), "\xC5\xB8");       // Y with diaeresis
    EXPECT_EQ(reencode("\x81\x9D"), "\xC2\x81\xC2\x9D"); // undefined: kept as C1 controls
    EXPECT_EQ(reencode("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
}

TEST(UploadRequests, ReencodingThatOutgrowsItsBufferIsDropped)
{
    EXPECT_EQ(reencode("\x80\x80", 7), "\xE2\x82\xAC\xE2\x82\xAC");
    EXPECT_EQ(reencode("\x80\x80", 6), "");
    EXPECT_EQ(reencode(std::string(511, '\xE9'), REQUEST_BUFFER_SIZE).size(), 1022u);
    EXPECT_EQ(reencode(std::string(512, '\xE9'), REQUEST_BUFFER_SIZE), "");
}

// --- Dropped, never cut ------------------------------------------------------------------

TEST(UploadRequests, CredentialsMustBeOneTo63Bytes)
{
    const std::string longest(63, 'i');
    const std::string tooLong(64, 'i');
    for (UploadService service : {WU, WC}) {
        EXPECT_NE(compose(service, longest.c_str(), longest.c_str(), "x"), "");
        EXPECT_EQ(compose(service, tooLong.c_str(), "k", "x"), "");
        EXPECT_EQ(compose(service, "i", tooLong.c_str(), "x"), "");
        EXPECT_EQ(compose(service, "", "k", "x"), "");
        EXPECT_EQ(compose(service, "i", "", "x"), "");
    }
}

TEST(UploadRequests, RequestLongerThan1023BytesIsDropped)
{
    for (UploadService service : {WU, WC}) {
        const std::size_t fixed = compose(service, "i", "k", "").size();
        const std::string fits(1023 - fixed, 'c');
        EXPECT_EQ(compose(service, "i", "k", fits).size(), 1023u);
        EXPECT_EQ(compose(service, "i", "k", fits + "c"), "");
        // A long host as well.
        EXPECT_EQ(compose(service, "i", "k", std::string(1000, 'c'), std::string(100, 'h').c_str()), "");
    }
    char out[REQUEST_BUFFER_SIZE] = "old";
    EXPECT_EQ(composeUploadRequest(static_cast<UploadService>(2), "i", "k", "x", 1, "h", out), 0u);
    EXPECT_STREQ(out, "");
}

} // namespace

// Where the Linux service sends the two services' uploads: the Windows
// program's path and query, whole, whatever bytes the station's id, key or
// console text hold.
#include "upload/upload_url.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr UploadService WU = SERVICE_WEATHER_UNDERGROUND;
constexpr UploadService WC = SERVICE_WEATHERCLOUD;

ServiceConfig configured(const std::string& lines, UploadService service)
{
    const std::string text = std::string("[") + serviceSectionName(service) + "]\n" + lines;
    AppConfig config = defaultAppConfig();
    ConfigError error;
    EXPECT_EQ(parseConfig(text.data(), text.size(), config, error), 1) << error.message;
    return config.services[service];
}

// The URL of a console text, as the service builds it.
std::string urlOf(UploadService service, const ServiceConfig& settings, const char* consoleText)
{
    char request[REQUEST_BUFFER_SIZE];
    char encoded[REQUEST_BUFFER_SIZE];
    EXPECT_NE(composeUploadRequest(service, settings.stationId, settings.key, consoleText, std::strlen(consoleText) + 1,
                                   settings.host.name, request),
              0u);
    EXPECT_NE(reencodeWindows1252AsUtf8(request, encoded, sizeof encoded), 0u);
    return uploadUrl(uploadBaseUrl(service, settings), uploadTarget(encoded, settings.host.name));
}

TEST(UploadUrl, TheServicesOwnHostsOverHttpsANamedHostAsOnWindowsOrAGivenUrl)
{
    EXPECT_EQ(uploadBaseUrl(WU, configured("", WU)), "https://rtupdate.wunderground.com");
    EXPECT_EQ(uploadBaseUrl(WC, configured("", WC)), "https://api.weathercloud.net");
    EXPECT_EQ(uploadBaseUrl(WU, configured("host = 127.0.0.1\n", WU)), "http://127.0.0.1:80");
    EXPECT_EQ(uploadBaseUrl(WC, configured("host = relay.lan:8080\n", WC)), "http://relay.lan:8080");
    // url wins over host, in either order.
    EXPECT_EQ(uploadBaseUrl(WC, configured("url = https://localhost:9443/\nhost = relay.lan\n", WC)),
              "https://localhost:9443/");
}

TEST(UploadUrl, CarriesTheWindowsProgramsPathAndQueryWhole)
{
    ServiceConfig wu = configured("station = KSTATION1\nkey = pa&ss/w?rd\n", WU);
    EXPECT_EQ(urlOf(WU, wu, "dateutc=now&tempf=50.4&humidity=80"),
              "https://rtupdate.wunderground.com/weatherstation/updateweatherstation.php?ID=KSTATION1&PASSWORD=pa&ss/"
              "w?rd&dateutc=now&tempf=50.4&humidity=80&softwaretype=vws%20versionxx&action=updateraw&realtime=1"
              "&rtfreq2.5");

    // What a URL cannot hold as it stands goes as %XX: a blank or '#' would
    // otherwise cut the request or have it refused, and the console's
    // high bytes are re-encoded as on Windows first.
    ServiceConfig wc = configured("station = 0123abcd\nkey = k#y with \xC3\xA9\nurl = http://127.0.0.1:8080/\n", WC);
    EXPECT_EQ(urlOf(WC, wc, "/temp/104/hum/80\xB0"),
              "http://127.0.0.1:8080/v01/set/wid/0123abcd/key/k%23y%20with%20%C3%83%C2%A9/temp/104/hum/80%C2%B0");
    EXPECT_EQ(uploadUrl("https://h", std::string("a\x01\x7F\"<>\\^`{|}", 12)), "https://ha%01%7F%22%3C%3E%5C%5E%60%7B%7C%7D");

    // Anything else than the composer's requests gives no target.
    EXPECT_EQ(uploadTarget("GET /x HTTP/1.0\r\nHost:  other\r\n\r\n", "h"), "");
    EXPECT_EQ(uploadTarget("POST /x HTTP/1.0\r\nHost:  h\r\n\r\n", "h"), "");
    EXPECT_EQ(uploadTarget("GET ", "h"), "");
}

TEST(UploadUrl, ARefusalIsOfOneStationsKeyAndDestination)
{
    const ServiceConfig one = configured("station = A\nkey = k1\n", WU);
    EXPECT_EQ(uploadFingerprint(WU, one), uploadFingerprint(WU, configured("station = A\nkey = k1\n", WU)));
    EXPECT_NE(uploadFingerprint(WU, one), uploadFingerprint(WU, configured("station = A\nkey = k2\n", WU)));
    EXPECT_NE(uploadFingerprint(WU, one), uploadFingerprint(WU, configured("station = B\nkey = k1\n", WU)));
    EXPECT_NE(uploadFingerprint(WU, one),
              uploadFingerprint(WU, configured("station = A\nkey = k1\nhost = relay.lan\n", WU)));
    EXPECT_EQ(uploadFingerprint(WU, one).find("k1"), std::string::npos);
}

} // namespace

// The dashboard's side of uploading: credentials from the page or the
// registry, the re-encoding with the system's ANSI code page, and the whole
// road from a console text to the request a loopback server receives.
#include "upload/upload_requests_win.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "settings/settings_store_win.h"
#include "tests/upload/loopback_server.h"
#include "tests/upload/page_double_win.h"
#include "upload/upload_hosts.h"
#include "upload/upload_state.h"
#include "upload/upload_worker_win.h"

namespace {

using loopback::Act;
using loopback::Server;

const Act WU_ACCEPTS{"HTTP/1.0 200 OK\r\n\r\nsuccess\n"};
const Act WC_ACCEPTS{"HTTP/1.1 200 OK\r\n\r\n200"};

class UploadRequestsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The stored credentials live below a private key for the test.
        std::swprintf(privateKey, 80, L"Software\\AerovaneTests\\upload-%lu",
                      static_cast<unsigned long>(GetCurrentProcessId()));
        RegDeleteTreeW(HKEY_CURRENT_USER, privateKey);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, privateKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &redirect,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, redirect), ERROR_SUCCESS);
        loopback::pointHostsAtNothing();
        ASSERT_EQ(startUploadWorker(), 1);
        ASSERT_TRUE(page.create());
        uploadStates[0] = uploadStates[1] = UploadState{};
        selectedService = SERVICE_WEATHER_UNDERGROUND;
    }

    void TearDown() override
    {
        page.destroy();
        uploadStates[0] = uploadStates[1] = UploadState{};
        selectedService = 0;
        loopback::pointHostsAtNothing();
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (redirect)
            RegCloseKey(redirect);
        RegDeleteTreeW(HKEY_CURRENT_USER, privateKey);
    }

    void type(const wchar_t* id, const wchar_t* key)
    {
        SetDlgItemTextW(page.page, IDC_STATION_ID, id);
        SetDlgItemTextW(page.page, IDC_STATION_KEY, key);
    }

    static void pointAt(const Server& server)
    {
        for (UploadHost& host : uploadHosts) {
            std::strcpy(host.name, "127.0.0.1");
            host.port = server.port();
        }
    }

    // The console's 1024-byte assembly buffer holding `text`.
    static const std::uint8_t* consoleBuffer(const char* text)
    {
        static std::uint8_t buffer[REQUEST_BUFFER_SIZE];
        std::memset(buffer, 0, sizeof buffer);
        std::memcpy(buffer, text, std::strlen(text));
        return buffer;
    }

    page_double::Page page;
    wchar_t privateKey[80] = L"";
    HKEY redirect = nullptr;
};

// --- Where the credentials come from ---------------------------------------------

TEST_F(UploadRequestsTest, OtherServiceTakesItsStoredValues)
{
    type(L"typed-id", L"typed-key");
    storeTextSetting(SETTING_ID1, L"cloud-id");
    storeTextSetting(SETTING_KEY1, L"cloud-key");
    wchar_t id[CREDENTIAL_CHARS];
    wchar_t key[CREDENTIAL_CHARS];
    ASSERT_EQ(readUploadCredentials(SERVICE_WEATHERCLOUD, page.page, 0, id, key), 1);
    EXPECT_STREQ(id, L"cloud-id");
    EXPECT_STREQ(key, L"cloud-key");
    // Weather Underground has nothing stored.
    EXPECT_EQ(readUploadCredentials(SERVICE_WEATHER_UNDERGROUND, page.page, 1, id, key), 0);
}

TEST_F(UploadRequestsTest, EmptyIdOrKeyGivesNoCredentials)
{
    wchar_t id[CREDENTIAL_CHARS];
    wchar_t key[CREDENTIAL_CHARS];
    type(L"id", L"");
    EXPECT_EQ(readUploadCredentials(SERVICE_WEATHER_UNDERGROUND, page.page, 0, id, key), 0);
    type(L"", L"key");
    EXPECT_EQ(readUploadCredentials(SERVICE_WEATHER_UNDERGROUND, page.page, 0, id, key), 0);
    EXPECT_EQ(readUploadCredentials(SERVICE_WEATHER_UNDERGROUND, nullptr, 0, id, key), 0);
}

// The edit takes 64 characters; 63 of them are used.
TEST_F(UploadRequestsTest, SixtyFourTypedCharactersAreUsedAsSixtyThree)
{
    const std::wstring typed(64, L'x');
    type(typed.c_str(), L"k");
    wchar_t id[CREDENTIAL_CHARS];
    wchar_t key[CREDENTIAL_CHARS];
    ASSERT_EQ(readUploadCredentials(SERVICE_WEATHER_UNDERGROUND, page.page, 0, id, key), 1);
    EXPECT_EQ(std::wstring(id), std::wstring(63, L'x'));
}

TEST(CredentialEncoding, Utf8ThatDoesNotFitIsDropped)
{
    char out[CREDENTIAL_UTF8_SIZE];
    EXPECT_EQ(credentialToUtf8((std::wstring(31, L'\u00e9') + L"a").c_str(), out), 1); // 63 bytes
    EXPECT_EQ(std::strlen(out), 63u);
    EXPECT_EQ(credentialToUtf8(std::wstring(32, L'\u00e9').c_str(), out), 0); // 64 bytes
    EXPECT_STREQ(out, "");
    EXPECT_EQ(credentialToUtf8(L"Z\u00fcrich", out), 1);
    EXPECT_STREQ(out, "Z\xC3\xBCrich");
}

// --- The re-encoding ---------------------------------------------------------------------

// The portable stand-in must be what Windows does with code page 1252.
TEST(AnsiReencoding, MatchesTheStandInOnWindows1252)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "system ANSI code page is " << GetACP();
    for (int byte = 1; byte < 256; ++byte) {
        const char text[] = {'a', static_cast<char>(byte), 'z', '\0'};
        char system[16];
        char standIn[16];
        const std::size_t n = reencodeAnsiAsUtf8(text, system, sizeof system);
        ASSERT_GT(n, 0u);
        ASSERT_EQ(reencodeWindows1252AsUtf8(text, standIn, sizeof standIn), n) << byte;
        EXPECT_EQ(std::string(system, n), std::string(standIn, n)) << byte;
    }
}

TEST(AnsiReencoding, AsciiStaysAndOverlongIsDropped)
{
    char out[REQUEST_BUFFER_SIZE];
    const char ascii[] = "GET /v01/set/wid/w/key/k HTTP/1.0\r\nHost:  h\r\n\r\n";
    EXPECT_EQ(reencodeAnsiAsUtf8(ascii, out, sizeof out), sizeof ascii - 1);
    EXPECT_STREQ(out, ascii);
    EXPECT_EQ(reencodeAnsiAsUtf8(ascii, out, sizeof ascii - 1), 0u);
    EXPECT_STREQ(out, "");
}

// --- From console text to server ------------------------------------------------------------

TEST_F(UploadRequestsTest, NonAsciiIdIsSentReencoded)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "expected bytes are those of code page 1252";
    Server server({WC_ACCEPTS});
    ASSERT_TRUE(server.listening());
    pointAt(server);
    uploadStates[SERVICE_WEATHERCLOUD].enabled = 1;
    selectedService = SERVICE_WEATHERCLOUD;
    type(L"Z\u00fcrich", L"k");
    ASSERT_EQ(buildWeathercloudRequest(consoleBuffer("/t/1")), 1);
    ASSERT_TRUE(page.waitForResults(1));
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /v01/set/wid/Z\xC3\x83\xC2\xBCrich/key/k/t/1 HTTP/1.0\r\n"
                                                          "Host:  127.0.0.1\r\n\r\n"});
}

// Nothing is posted for a service that is switched off, without
// credentials, or whose request would not fit.
TEST_F(UploadRequestsTest, DroppedTextsPostNothing)
{
    Server server({WU_ACCEPTS});
    ASSERT_TRUE(server.listening());
    pointAt(server);
    type(L"id", L"key");
    EXPECT_EQ(buildWeatherUndergroundRequest(consoleBuffer("t=1")), 0); // switched off
    uploadStates[SERVICE_WEATHER_UNDERGROUND].enabled = 1;
    EXPECT_EQ(buildWeathercloudRequest(consoleBuffer("t=1")), 0);        // the other one is off
    const std::string full(1023, 'c');
    EXPECT_EQ(buildWeatherUndergroundRequest(consoleBuffer(full.c_str())), 0);
    type(L"id", L"");
    EXPECT_EQ(buildWeatherUndergroundRequest(consoleBuffer("t=1")), 0);
    EXPECT_EQ(buildWeatherUndergroundRequest(nullptr), 0);
    // The worker is idle: a request posted now is the first the server sees.
    type(L"id", L"key");
    ASSERT_EQ(buildWeatherUndergroundRequest(consoleBuffer("t=2")), 1);
    ASSERT_TRUE(page.waitForResults(1));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].find("&t=2&"), std::string::npos);
}

} // namespace

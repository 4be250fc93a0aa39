// The upload worker thread: requests posted to it reach a loopback server
// byte for byte, one after another in posting order, and each success comes
// back to the page as the message of the service that was asked.
#include "upload/upload_worker_win.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/upload/loopback_server.h"
#include "tests/upload/page_double_win.h"
#include "upload/upload_hosts.h"
#include "upload/upload_requests_win.h"

namespace {

using loopback::Act;
using loopback::Server;

const char WU_REQUEST[] = "GET /weatherstation/updateweatherstation.php?ID=K1&PASSWORD=p&tempf=50"
                          "&softwaretype=vws%20versionxx&action=updateraw&realtime=1&rtfreq2.5 HTTP/1.0\r\n"
                          "Host:  127.0.0.1\r\n\r\n";
const char WC_REQUEST[] = "GET /v01/set/wid/w/key/k/temp/104 HTTP/1.0\r\nHost:  127.0.0.1\r\n\r\n";
const Act WU_ACCEPTS{"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nsuccess\n"};
const Act WC_ACCEPTS{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n200"};

class UploadWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loopback::pointHostsAtNothing();
        ASSERT_EQ(startUploadWorker(), 1);
        ASSERT_NE(uploadWorkerThreadId, 0u);
        ASSERT_TRUE(page.create());
    }

    void TearDown() override
    {
        page.destroy();
        loopback::pointHostsAtNothing();
    }

    static void pointAt(const Server& server)
    {
        for (UploadHost& host : uploadHosts) {
            std::strcpy(host.name, "127.0.0.1");
            host.port = server.port();
        }
    }

    page_double::Page page;
};

TEST_F(UploadWorkerTest, StartsOnceWithItsQueueReady)
{
    const DWORD first = uploadWorkerThreadId;
    EXPECT_EQ(startUploadWorker(), 1);
    EXPECT_EQ(uploadWorkerThreadId, first);
    // The queue exists: posting succeeds at once.
    EXPECT_TRUE(PostThreadMessageW(uploadWorkerThreadId, WM_USER + 7, 0, 0));
}

TEST_F(UploadWorkerTest, WeatherUndergroundRequestArrivesExactlyAndReportsSuccess)
{
    Server server({WU_ACCEPTS});
    ASSERT_TRUE(server.listening());
    pointAt(server);
    ASSERT_EQ(postUploadRequest(SERVICE_WEATHER_UNDERGROUND, WU_REQUEST), 1);
    ASSERT_TRUE(page.waitForResults(1));
    EXPECT_EQ(page.results, std::vector<UINT>{WM_UPLOAD_SUCCESS});
    EXPECT_EQ(server.requests(), std::vector<std::string>{WU_REQUEST});
}

// Posted back to back, the two are delivered one after the other in that
// order, and each reply counts for its own service.
TEST_F(UploadWorkerTest, BothServicesInPostingOrder)
{
    Server server({WU_ACCEPTS, WC_ACCEPTS, WU_ACCEPTS, WC_ACCEPTS});
    ASSERT_TRUE(server.listening());
    pointAt(server);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(postUploadRequest(SERVICE_WEATHER_UNDERGROUND, WU_REQUEST), 1);
        ASSERT_EQ(postUploadRequest(SERVICE_WEATHERCLOUD, WC_REQUEST), 1);
    }
    ASSERT_TRUE(page.waitForResults(4));
    EXPECT_EQ(page.results, (std::vector<UINT>{WM_UPLOAD_SUCCESS, WM_UPLOAD_OK, WM_UPLOAD_SUCCESS, WM_UPLOAD_OK}));
    EXPECT_EQ(server.requests(), (std::vector<std::string>{WU_REQUEST, WC_REQUEST, WU_REQUEST, WC_REQUEST}));
}

// The worker has no stop request: WM_QUIT and strangers change nothing.
TEST_F(UploadWorkerTest, QuitAndOtherMessagesAreIgnored)
{
    Server server({WU_ACCEPTS});
    ASSERT_TRUE(server.listening());
    pointAt(server);
    ASSERT_TRUE(PostThreadMessageW(uploadWorkerThreadId, WM_QUIT, 0, 0));
    ASSERT_TRUE(PostThreadMessageW(uploadWorkerThreadId, WM_UPLOAD_SUCCESS, 0, 0));
    ASSERT_TRUE(PostThreadMessageW(uploadWorkerThreadId, WM_UPLOAD_WU, 0, 0)); // no request
    ASSERT_EQ(postUploadRequest(SERVICE_WEATHER_UNDERGROUND, WU_REQUEST), 1);
    ASSERT_TRUE(page.waitForResults(1));
    EXPECT_EQ(page.results, std::vector<UINT>{WM_UPLOAD_SUCCESS});
    EXPECT_EQ(server.requests(), std::vector<std::string>{WU_REQUEST});
}

// A request too long for the worker's 1024-byte buffer is dropped whole,
// not sent cut; the next one goes as usual.
TEST_F(UploadWorkerTest, RequestTooLongForTheBufferIsDropped)
{
    Server server({WU_ACCEPTS});
    ASSERT_TRUE(server.listening());
    pointAt(server);
    const std::string tooLong = "GET /" + std::string(1019, 'a'); // 1024 bytes
    ASSERT_EQ(postUploadRequest(SERVICE_WEATHER_UNDERGROUND, tooLong.c_str()), 1);
    ASSERT_EQ(postUploadRequest(SERVICE_WEATHER_UNDERGROUND, WU_REQUEST), 1);
    ASSERT_TRUE(page.waitForResults(1));
    EXPECT_EQ(server.requests(), std::vector<std::string>{WU_REQUEST});
}

// A host name too long for the worker's 128-byte buffer is not cut either.
TEST_F(UploadWorkerTest, HostTooLongForTheBufferIsNotUsed)
{
    Server server({WU_ACCEPTS});
    ASSERT_TRUE(server.listening());
    pointAt(server);
    std::memset(uploadHosts[SERVICE_WEATHERCLOUD].name, 'h', UPLOAD_HOST_SIZE); // no zero at all
    ASSERT_EQ(postUploadRequest(SERVICE_WEATHERCLOUD, WC_REQUEST), 1);
    ASSERT_EQ(postUploadRequest(SERVICE_WEATHER_UNDERGROUND, WU_REQUEST), 1);
    ASSERT_TRUE(page.waitForResults(1));
    EXPECT_EQ(page.results, std::vector<UINT>{WM_UPLOAD_SUCCESS});
    EXPECT_EQ(server.requests(), std::vector<std::string>{WU_REQUEST});
}

TEST(UploadHostCommandLine, OptionsSetTheHostsAndMalformedOnesAreIgnored)
{
    EXPECT_EQ(parseUploadHostOptions(L"aerovane.exe --console=\\\\.\\pipe\\p --wu-host=127.0.0.1:8081 "
                                     L"\"--wc-host=localhost:8082\" --wu-host=bad:0"),
              2);
    EXPECT_STREQ(uploadHosts[SERVICE_WEATHER_UNDERGROUND].name, "127.0.0.1");
    EXPECT_EQ(uploadHosts[SERVICE_WEATHER_UNDERGROUND].port, 8081);
    EXPECT_STREQ(uploadHosts[SERVICE_WEATHERCLOUD].name, "localhost");
    EXPECT_EQ(uploadHosts[SERVICE_WEATHERCLOUD].port, 8082);
    EXPECT_EQ(parseUploadHostOptions(L"aerovane.exe"), 0);
    loopback::pointHostsAtNothing();
}

} // namespace

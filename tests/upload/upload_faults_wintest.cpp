// The upload worker against loopback servers that misbehave: one that never
// answers, one that answers a byte at a time (in time, and for ever), one
// that resets, one that sends 10 MB, one that fails and one that refuses.
// Each is given up in the end at no lasting memory, and the request after
// it still goes out.
#include "upload/upload_worker_win.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process_counts_win.h"
#include "tests/support/test_window_win.h"
#include "tests/upload/loopback_server.h"
#include "tests/upload/page_double_win.h"
#include "upload/http_transport.h"
#include "upload/upload_hosts.h"
#include "upload/upload_requests_win.h"

namespace {

using loopback::Act;
using loopback::Server;

const char WU_REQUEST[] = "GET /weatherstation/updateweatherstation.php?ID=K1&PASSWORD=p&tempf=50"
                          "&action=updateraw HTTP/1.0\r\nHost:  127.0.0.1\r\n\r\n";
const char WC_REQUEST[] = "GET /v01/set/wid/w/key/k/temp/104 HTTP/1.0\r\nHost:  127.0.0.1\r\n\r\n";
const Act WC_ACCEPTS{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n200"};
const char WU_SUCCESS[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nsuccess\n";

// Every attempt may take a receive time-out, and the whole reply as long;
// past that, a loaded machine gets a generous margin.
constexpr DWORD DEADLINE_MS = UPLOAD_ATTEMPTS * 2 * UPLOAD_TIMEOUT_MS + GENEROUS_WAIT_MS;
// The worker keeps nothing of a reply once it is classified.
constexpr unsigned long long MEMORY_SLACK = 2ull * 1024 * 1024;

class UploadFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        loopback::pointHostsAtNothing();
        ASSERT_EQ(startUploadWorker(), 1);
        ASSERT_TRUE(page.create());
        // The first exchange of the process loads Winsock and grows the
        // heap once; memory is compared only after that.
        static bool warmedUp = false;
        if (!warmedUp) {
            Server good({WC_ACCEPTS});
            point(SERVICE_WEATHERCLOUD, good);
            ASSERT_EQ(postUploadRequest(SERVICE_WEATHERCLOUD, WC_REQUEST), 1);
            ASSERT_TRUE(page.waitForResults(1, GENEROUS_WAIT_MS));
            page.results.clear();
            warmedUp = true;
        }
    }

    void TearDown() override
    {
        page.destroy();
        loopback::pointHostsAtNothing();
    }

    static void point(UploadService service, const Server& server)
    {
        std::strcpy(uploadHosts[service].name, "127.0.0.1");
        uploadHosts[service].port = server.port();
    }

    // Weather Underground goes to the faulty server, then Weathercloud to a
    // good one: the second result shows when the worker is free again, so
    // the faulty server has had every request it will get; `requests` is
    // how many that should be.
    void faultThenGood(Server& faulty, const char* name, int requests)
    {
        Server good({WC_ACCEPTS});
        EXPECT_TRUE(faulty.listening());
        EXPECT_TRUE(good.listening());
        point(SERVICE_WEATHER_UNDERGROUND, faulty);
        point(SERVICE_WEATHERCLOUD, good);
        const unsigned long long before = processPrivateBytes();
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(postUploadRequest(SERVICE_WEATHER_UNDERGROUND, WU_REQUEST), 1);
        EXPECT_EQ(postUploadRequest(SERVICE_WEATHERCLOUD, WC_REQUEST), 1);
        const bool free = pumpUntil([&] { return !page.results.empty() && page.results.back() == WM_UPLOAD_OK; },
                                    DEADLINE_MS);
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_TRUE(free) << name << ": the next request did not go out";
        // Until the faulty server's last connection has ended, its reply may
        // still be in the worker's hands.
        EXPECT_TRUE(faulty.waitForServed(requests, GENEROUS_WAIT_MS)) << name;
        EXPECT_EQ(static_cast<std::size_t>(requests), faulty.requests().size()) << name;
        const unsigned long long after = processPrivateBytes();
        std::printf("%s: worker free after %llu ms, %d connection(s), private bytes %llu -> %llu KiB\n", name,
                    took, faulty.connections(), before / 1024, after / 1024);
        EXPECT_LT(after, before + MEMORY_SLACK) << name;
        EXPECT_EQ(good.requests(), std::vector<std::string>{WC_REQUEST});
    }

    page_double::Page page;
};

// How long each of these costs the worker is printed, not checked: the
// transport's own tests count the time-outs that make it up.
TEST_F(UploadFaults, ServerThatNeverAnswersIsTriedThreeTimes)
{
    Server silent({Act{"", Act::SILENT}});
    faultThenGood(silent, "never answers", UPLOAD_ATTEMPTS);
    EXPECT_EQ(std::vector<UINT>{WM_UPLOAD_OK}, page.results);
}

TEST_F(UploadFaults, ReplyDribbledForEverIsCutOffAtTheTimeOut)
{
    // 100 KB at one byte per 50 ms would take well over an hour.
    Server dribbling({Act{std::string(WU_SUCCESS) + std::string(100 * 1024, 'x'), Act::CLOSE, 50}});
    faultThenGood(dribbling, "dribbles for ever", UPLOAD_ATTEMPTS);
    EXPECT_EQ(std::vector<UINT>{WM_UPLOAD_OK}, page.results);
}

TEST_F(UploadFaults, SlowReplyThatEndsInTimeCounts)
{
    Server slow({Act{WU_SUCCESS, Act::CLOSE, 10}});
    faultThenGood(slow, "slow, byte by byte", 1);
    EXPECT_EQ((std::vector<UINT>{WM_UPLOAD_SUCCESS, WM_UPLOAD_OK}), page.results);
}

TEST_F(UploadFaults, ResetWithoutReplyIsTriedThreeTimes)
{
    Server resetting({Act{"", Act::RESET}});
    faultThenGood(resetting, "resets", UPLOAD_ATTEMPTS);
    EXPECT_EQ(std::vector<UINT>{WM_UPLOAD_OK}, page.results);
}

TEST_F(UploadFaults, TenMegabyteReplyIsReadOnlyUpToTheCap)
{
    Server huge({Act{std::string(WU_SUCCESS) + std::string(10 * 1024 * 1024, 'x')}});
    faultThenGood(huge, "sends 10 MB", 1);
    // "success" lies within the first 64 KiB.
    EXPECT_EQ((std::vector<UINT>{WM_UPLOAD_SUCCESS, WM_UPLOAD_OK}), page.results);
}

TEST_F(UploadFaults, ServerErrorIsTriedThreeTimes)
{
    Server failing({Act{"HTTP/1.0 500 Internal Server Error\r\n\r\n"}});
    faultThenGood(failing, "fails with 500", UPLOAD_ATTEMPTS);
    EXPECT_EQ(std::vector<UINT>{WM_UPLOAD_OK}, page.results);
}

// Wrong credentials get the same answer however often they are sent.
TEST_F(UploadFaults, RefusalIsSentOnce)
{
    Server refusing({Act{"HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect\n"}});
    faultThenGood(refusing, "refuses", 1);
    EXPECT_EQ(std::vector<UINT>{WM_UPLOAD_OK}, page.results);
}

} // namespace

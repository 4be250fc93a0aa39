// The upload transport against scripted servers on the loopback address:
// what counts as a success, how often it tries, what it writes, and that it
// neither waits nor collects without bound.
#include "upload/http_transport.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/upload/loopback_server.h"

namespace {

using loopback::Act;
using loopback::Server;

// Servers that answer get all the time a loaded machine may need; a test
// about silence shortens the time-out, which then surely passes.
constexpr int GENEROUS_TIMEOUT_MS = 30000;
constexpr int SHORT_TIMEOUT_MS = 300;
constexpr int SERVED_WAIT_MS = 60000;

const char REQUEST[] = "GET /weatherstation/updateweatherstation.php?ID=K1&PASSWORD=p&tempf=50 HTTP/1.0\r\n"
                       "Host:  127.0.0.1\r\n\r\n";
const char OK_HEADERS[] = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// What the transport did, seen through its hooks.
struct Observed {
    std::vector<UploadService> reports;
    std::vector<std::string> diagnostics;
    std::vector<int> pauses;
    int lookUps = 0;
    int lookUpFailuresLeft = 0; // look-ups to fail before the real one is asked
};

Observed* observed = nullptr;

void recordPause(int milliseconds)
{
    observed->pauses.push_back(milliseconds);
}

void recordDiagnostic(const char* text)
{
    observed->diagnostics.push_back(text);
}

// Counts look-ups and fails the first few; the rest go to the real one,
// asked only for the loopback address.
int countingLookUp(const char* host, std::uint8_t address[4])
{
    ++observed->lookUps;
    if (observed->lookUpFailuresLeft > 0) {
        --observed->lookUpFailuresLeft;
        return 0;
    }
    return lookUpHostV4(host, address);
}

void recordReport(void* context, UploadService service)
{
    static_cast<Observed*>(context)->reports.push_back(service);
}

// Runs `work` on a thread of its own and waits for its end up to
// `deadlineMs`. When that passes first, `unblock` ends the wait the work
// is stuck in, and the answer is false.
bool endsWithin(int deadlineMs, const std::function<void()>& work, const std::function<void()>& unblock)
{
    std::future<void> running = std::async(std::launch::async, work);
    if (running.wait_for(std::chrono::milliseconds(deadlineMs)) == std::future_status::ready)
        return true;
    unblock();
    running.wait();
    return false;
}

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        observed = &seen;
        // The Linux service's bounds, so its path is the one tested here;
        // the Windows program's is tested through its worker.
        hooks = TransportHooks{GENEROUS_TIMEOUT_MS, LOOK_UP_PAUSE_MS, recordPause, recordDiagnostic, countingLookUp,
                               recordReport, &seen, nullptr, GENEROUS_TIMEOUT_MS, GENEROUS_TIMEOUT_MS};
    }

    void TearDown() override
    {
        // Every start of the socket library was matched by a stop.
        EXPECT_EQ(socketStartsOutstanding(), 0);
        observed = nullptr;
    }

    void upload(const Server& server, UploadService service, const char* request = REQUEST)
    {
        ASSERT_TRUE(server.listening());
        EXPECT_EQ(uploadRequest(request, "127.0.0.1", server.port(), service, hooks), 0);
    }

    // Connections served to their end, once `expected` are (the server may
    // still be closing the last one when the upload returns).
    static int servedCount(const Server& server, int expected)
    {
        server.waitForServed(expected, SERVED_WAIT_MS);
        return server.connections();
    }

    int count(const char* diagnostic) const
    {
        int n = 0;
        for (const std::string& text : seen.diagnostics)
            n += text == diagnostic;
        return n;
    }

    Observed seen;
    TransportHooks hooks{};
};

// --- Replies that count, and for whom --------------------------------------

TEST_F(TransportTest, SuccessReplyCountsForWeatherUndergroundAfterOneExchange)
{
    Server server({Act{std::string(OK_HEADERS) + "success\n"}});
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_EQ(seen.reports, std::vector<UploadService>{SERVICE_WEATHER_UNDERGROUND});
    // The request arrives exactly as given, without its zero.
    EXPECT_EQ(server.requests(), std::vector<std::string>{REQUEST});
    EXPECT_EQ(servedCount(server, 1), 1);
    EXPECT_EQ(seen.lookUps, 1);
    EXPECT_TRUE(seen.diagnostics.empty());
}

TEST_F(TransportTest, TwoHundredReplyCountsForWeathercloud)
{
    Server server({Act{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n200"}});
    upload(server, SERVICE_WEATHERCLOUD);
    EXPECT_EQ(seen.reports, std::vector<UploadService>{SERVICE_WEATHERCLOUD});
    EXPECT_EQ(servedCount(server, 1), 1);
}

TEST_F(TransportTest, ReplyWithNeitherIsTriedThreeTimesAndNotReported)
{
    Server server({Act{"HTTP/1.0 404 Not Found\r\n\r\nno such page"}});
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_TRUE(seen.reports.empty());
    EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
    EXPECT_EQ(server.requests(), std::vector<std::string>(3, REQUEST));
    EXPECT_TRUE(seen.pauses.empty());
}

// A status 200 without "success" is not Weather Underground taking the
// upload, and must not count for the other service either.
TEST_F(TransportTest, ReplyCountsOnlyForTheServiceThatWasAsked)
{
    {
        Server server({Act{std::string(OK_HEADERS) + "<html>station page</html>\n"}});
        upload(server, SERVICE_WEATHER_UNDERGROUND);
        EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
    }
    {
        Server server({Act{"HTTP/1.0 302 Found\r\n\r\nsuccess"}});
        upload(server, SERVICE_WEATHERCLOUD);
        EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
    }
    EXPECT_TRUE(seen.reports.empty());
}

// --- Refusals ---------------------------------------------------------------
// A service that answers and says no gets the request once: the same
// request would get the same answer, and a rate limit a worse one.

TEST_F(TransportTest, RefusalIsSentOnceAndNotCounted)
{
    const struct {
        UploadService service;
        const char* reply;
    } refusals[] = {
        {SERVICE_WEATHER_UNDERGROUND, "HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect\n"},
        {SERVICE_WEATHER_UNDERGROUND, "HTTP/1.0 401 Unauthorized\r\n\r\nunauthorized\n"},
        {SERVICE_WEATHERCLOUD, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n400"},
        {SERVICE_WEATHERCLOUD, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n401"},
        {SERVICE_WEATHERCLOUD, "HTTP/1.1 429 Too Many Requests\r\n\r\n429\r\n"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.reply);
        seen = Observed{};
        Server server({Act{refusal.reply}});
        upload(server, refusal.service);
        // Every attempt's request is in before its reply goes out, so the
        // count is complete once the upload has returned.
        EXPECT_EQ(server.requests(), std::vector<std::string>{REQUEST});
        EXPECT_EQ(servedCount(server, 1), 1);
        EXPECT_EQ(seen.lookUps, 1);
        EXPECT_TRUE(seen.reports.empty());
        EXPECT_TRUE(seen.diagnostics.empty());
    }
}

// Weathercloud's 500 is the service failing, not refusing: it is tried
// again, though a 200 in the status line stands beside it.
TEST_F(TransportTest, WeathercloudServerErrorIsTriedThreeTimesAndNotCounted)
{
    for (const char* reply : {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n500",
                              "HTTP/1.1 500 Internal Server Error\r\n\r\n500"}) {
        SCOPED_TRACE(reply);
        Server server({Act{reply}});
        upload(server, SERVICE_WEATHERCLOUD);
        EXPECT_EQ(server.requests(), std::vector<std::string>(UPLOAD_ATTEMPTS, REQUEST));
        EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
    }
    EXPECT_TRUE(seen.reports.empty());
}

// A refusal ends the request, not the ones after it.
TEST_F(TransportTest, RequestAfterARefusalIsSentAsUsual)
{
    Server server({Act{"HTTP/1.1 200 OK\r\n\r\n429"}, Act{"HTTP/1.1 200 OK\r\n\r\n200"}});
    upload(server, SERVICE_WEATHERCLOUD);
    upload(server, SERVICE_WEATHERCLOUD);
    EXPECT_EQ(seen.reports, std::vector<UploadService>{SERVICE_WEATHERCLOUD});
    EXPECT_EQ(server.requests(), std::vector<std::string>(2, REQUEST));
}

// --- Silence and broken connections ----------------------------------------

TEST_F(TransportTest, SilentServerTimesOutOnEachOfThreeAttempts)
{
    hooks.timeoutMs = SHORT_TIMEOUT_MS;
    Server server({Act{"", Act::SILENT}});
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_TRUE(seen.reports.empty());
    EXPECT_EQ(count(RECEIVE_TIMEOUT), UPLOAD_ATTEMPTS);
    EXPECT_EQ(seen.diagnostics.size(), 3u);
    EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
}

// Part of a reply, then silence: what came is not trusted, even with
// "success" in it.
TEST_F(TransportTest, PartialReplyFollowedByTimeOutDoesNotCount)
{
    hooks.timeoutMs = SHORT_TIMEOUT_MS;
    Server server({Act{"HTTP/1.0 200 OK\r\nContent-Length: 400\r\n\r\nsuccess", Act::SILENT}});
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_TRUE(seen.reports.empty());
    EXPECT_EQ(count(RECEIVE_TIMEOUT), UPLOAD_ATTEMPTS);
}

// A reset is an error, not a time-out: nothing waits for the time-out,
// the attempt fails at once, and a reply that arrived before it stands.
TEST_F(TransportTest, ResetWithoutReplyIsTriedThreeTimesWithoutATimeOut)
{
    Server server({Act{"", Act::RESET}});
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_TRUE(seen.reports.empty());
    EXPECT_EQ(count(RECEIVE_TIMEOUT), 0);
    EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
}

TEST_F(TransportTest, ReplyCutByResetAfterSuccessStillCounts)
{
    Server server({Act{std::string(OK_HEADERS) + "success", Act::RESET}});
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_EQ(seen.reports, std::vector<UploadService>{SERVICE_WEATHER_UNDERGROUND});
    EXPECT_EQ(count(RECEIVE_TIMEOUT), 0);
    EXPECT_EQ(servedCount(server, 1), 1);
}

// A reply trickling in a byte at a time passes every receive's time-out;
// the whole reply's time bounds it, and a trickle that ends in time counts.
TEST_F(TransportTest, ReplyTricklingPastTheTimeOutIsCutOffAndOneInTimeCounts)
{
    {
        // At least 2 s of trickle against a 300 ms time-out: without the
        // bound on the whole reply, the "success" in it would count.
        hooks.timeoutMs = SHORT_TIMEOUT_MS;
        Server slow({Act{std::string(OK_HEADERS) + "success\n" + std::string(400, 'x'), Act::CLOSE, 5}});
        upload(slow, SERVICE_WEATHER_UNDERGROUND);
        EXPECT_TRUE(seen.reports.empty());
        EXPECT_EQ(count(RECEIVE_TIMEOUT), UPLOAD_ATTEMPTS);
    }
    seen = Observed{};
    hooks.timeoutMs = GENEROUS_TIMEOUT_MS;
    Server quick({Act{"HTTP/1.0 200 OK\r\n\r\nsuccess\n", Act::CLOSE, 5}});
    upload(quick, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_EQ(seen.reports, std::vector<UploadService>{SERVICE_WEATHER_UNDERGROUND});
}

TEST_F(TransportTest, RefusedConnectionIsTriedThreeTimesWithoutPauses)
{
    const int port = loopback::refusingPort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(uploadRequest(REQUEST, "127.0.0.1", port, SERVICE_WEATHER_UNDERGROUND, hooks), 0);
    EXPECT_TRUE(seen.reports.empty());
    EXPECT_EQ(seen.lookUps, UPLOAD_ATTEMPTS);
    EXPECT_TRUE(seen.pauses.empty());
    EXPECT_TRUE(seen.diagnostics.empty());
}

// A host whose packets go nowhere: each attempt's connect is given up after
// the time-out, not after the system's SYN retries (two minutes a try on
// Linux, the deadline here a quarter of one).
TEST_F(TransportTest, ConnectNeverAnsweredIsGivenUpAfterTheTimeOutOnEachAttempt)
{
    loopback::UnansweredListener host;
    ASSERT_TRUE(host.full()) << "a full backlog answers connects on this system";
    hooks.connectTimeoutMs = SHORT_TIMEOUT_MS;
    EXPECT_TRUE(endsWithin(
        GENEROUS_TIMEOUT_MS,
        [&] { uploadRequest(REQUEST, "127.0.0.1", host.port(), SERVICE_WEATHER_UNDERGROUND, hooks); },
        [&] { host.stopListening(); }));
    EXPECT_EQ(seen.lookUps, UPLOAD_ATTEMPTS);
    EXPECT_TRUE(seen.reports.empty());
    EXPECT_TRUE(seen.pauses.empty());
    EXPECT_TRUE(seen.diagnostics.empty());
}

// --- Look-ups ----------------------------------------------------------------

TEST_F(TransportTest, HostThatDoesNotResolveIsLookedUpFiveTimesWithFourPauses)
{
    seen.lookUpFailuresLeft = 1000;
    EXPECT_EQ(uploadRequest(REQUEST, "station.invalid", 80, SERVICE_WEATHER_UNDERGROUND, hooks), 0);
    EXPECT_EQ(seen.lookUps, LOOK_UP_TRIES);
    EXPECT_EQ(seen.pauses, std::vector<int>(4, 1000));
    EXPECT_TRUE(seen.reports.empty());
}

TEST_F(TransportTest, FifthLookUpStillDelivers)
{
    Server server({Act{std::string(OK_HEADERS) + "success"}});
    seen.lookUpFailuresLeft = 4;
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_EQ(seen.lookUps, 5);
    EXPECT_EQ(seen.pauses.size(), 4u);
    EXPECT_EQ(seen.reports.size(), 1u);
}

// Each attempt gets its own five look-ups: a success resets the count.
TEST_F(TransportTest, LookUpFailuresAreCountedPerAttempt)
{
    Server server({Act{"HTTP/1.0 500 Oops\r\n\r\n"}});
    seen.lookUpFailuresLeft = 4;
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    // Four failures and a success, then two attempts that look up at once.
    EXPECT_EQ(seen.lookUps, 5 + 2);
    EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
}

// --- Bounded resources ---------------------------------------------------------

TEST_F(TransportTest, HugeReplyIsCollectedUpToTheCapOnly)
{
    std::string huge = std::string(OK_HEADERS) + "success\n" + std::string(10 * 1024 * 1024, 'x');
    Server server({Act{huge}});
    ASSERT_TRUE(server.listening());
    HttpConnection connection = emptyConnection();
    ASSERT_EQ(openConnection(connection, "127.0.0.1", server.port(), hooks), 0);
    ASSERT_EQ(connectOnce(connection, hooks.connectTimeoutMs), 0);
    EXPECT_EQ(connectOnce(connection, hooks.connectTimeoutMs), 1);
    ASSERT_EQ(sendAll(connection, REQUEST, sizeof REQUEST - 1, hooks), static_cast<long>(sizeof REQUEST - 1));
    char* reply = nullptr;
    const long received = receiveAll(connection, hooks, &reply);
    EXPECT_EQ(received, static_cast<long>(REPLY_CAP));
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(std::string(reply, 64), huge.substr(0, 64));
    std::free(reply);
    closeConnection(connection);
    EXPECT_EQ(connection.connected, 0);
}

// "success" beyond the cap is never seen.
TEST_F(TransportTest, HugeReplyIsClassifiedByWhatFitsTheCap)
{
    Server server({Act{std::string(OK_HEADERS) + std::string(10 * 1024 * 1024, 'x') + "success\n"}});
    upload(server, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_EQ(servedCount(server, UPLOAD_ATTEMPTS), UPLOAD_ATTEMPTS);
    EXPECT_TRUE(seen.reports.empty());
}

// A time-out that cannot be set is complained about a bounded number of
// times, and nothing is sent or received without it.
TEST_F(TransportTest, FailingTimeOutSettingGivesUpAfterBoundedTries)
{
    HttpConnection connection = emptyConnection(); // no socket: setsockopt fails
    EXPECT_EQ(sendAll(connection, REQUEST, sizeof REQUEST - 1, hooks), -1);
    EXPECT_EQ(count(SET_SEND_TIMEOUT_ERROR), TIMEOUT_SETTING_TRIES);
    char* reply = nullptr;
    EXPECT_EQ(receiveAll(connection, hooks, &reply), -3);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(count(SET_RECEIVE_TIMEOUT_ERROR), TIMEOUT_SETTING_TRIES);
    EXPECT_EQ(seen.diagnostics.size(), 2u * TIMEOUT_SETTING_TRIES);
}

} // namespace

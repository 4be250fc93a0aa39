// The service's HTTP(S) transport against a real loopback server with a
// private authority made for the test: what reaches the server, what comes
// back, the certificate checks, Retry-After, and that every wait ends.
#include "upload/curl_transport_linux.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/support/test_servers_linux.h"

namespace {

using e2e::HttpTestServer;
using e2e::TempDir;
using e2e::TestAuthority;

const char ROUTES[] = R"({
  "/ok": {"status": 200, "body": "success\n"},
  "/created": {"status": 201, "body": "stored"},
  "/busy": {"status": 503, "body": "busy", "headers": {"Retry-After": "120"}},
  "/no-retry": {"status": 503, "body": "busy"},
  "/unreadable-retry": {"status": 503, "headers": {"Retry-After": "soon"}},
  "/zero-retry": {"status": 429, "headers": {"Retry-After": "0"}},
  "/silent": {"neverAnswer": true},
  "/long": {"status": 200, "body": "0123456789", "bodyBytes": 10485760},
  "/reset": {"reset": true}
})";

HttpRequest get(const std::string& url)
{
    return HttpRequest{"GET", url, {}, ""};
}

// An HTTP-date `offset` seconds from now.
std::string httpDate(long offset)
{
    const std::time_t when = std::time(nullptr) + offset;
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

// sendHttp on a thread of its own, waited for with a generous deadline; a
// request still running then is stopped, so a hang fails the test instead
// of holding it.
struct BoundedSend {
    HttpReply reply;
    bool ended = false;
    std::chrono::steady_clock::duration took{};
};

BoundedSend sendWithin(const HttpRequest& request, TransportSettings settings, std::atomic<bool>& stop,
                       const std::function<void()>& whileRunning = {})
{
    BoundedSend result;
    std::atomic<bool> done{false};
    settings.stop = &stop;
    const auto start = std::chrono::steady_clock::now();
    std::thread sender([&] {
        result.reply = sendHttp(request, settings);
        result.took = std::chrono::steady_clock::now() - start;
        done = true;
    });
    if (whileRunning)
        whileRunning();
    result.ended = e2e::waitUntil([&] { return done.load(); }, 60000);
    stop = true;
    sender.join();
    return result;
}

class CurlTransport : public ::testing::Test {
protected:
    void SetUp() override { startHttpTransport(); }

    TempDir dir;
    TestAuthority authority{dir};
    e2e::ServerCertificate certificate = authority.issue("localhost", "DNS:localhost,IP:127.0.0.1");
    HttpTestServer server{dir, &certificate, ROUTES};
    TransportSettings trusting{authority.file(), 6000, 30000, "", nullptr};
};

TEST_F(CurlTransport, RequestsReachTheServerAsTheyWereMade)
{
    const HttpReply got = sendHttp(get(server.url("/ok?ID=KXX1&tempf=41.2&dateutc=2026-03-01+12%3A00%3A00")), trusting);
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body, "success\n");
    EXPECT_EQ(got.failure, "");
    EXPECT_EQ(got.retryAfterSeconds, -1);

    const std::string body = std::string("{\"temp\":\"21.5\xC2\xB0\",\r\n\"raw\":\"") + '\0' + "\x01\xFF\"}";
    const HttpRequest post{"POST", server.url("/created?key=a%2Fb"), {"Content-Type: application/json"}, body};
    const HttpReply stored = sendHttp(post, trusting);
    EXPECT_EQ(stored.status, 201);
    EXPECT_EQ(stored.body, "stored");

    // A path the server does not know: its status and body, not a failure.
    const HttpReply unknown = sendHttp(get(server.url("/nowhere")), trusting);
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(unknown.body, "no route\n");
    EXPECT_EQ(unknown.failure, "");

    ASSERT_TRUE(server.waitForRequests(3));
    const std::vector<e2e::LoggedRequest> logged = server.requests();
    EXPECT_EQ(logged[0].line, "GET /ok?ID=KXX1&tempf=41.2&dateutc=2026-03-01+12%3A00%3A00 HTTP/1.1");
    EXPECT_EQ(logged[0].body, "");
    EXPECT_EQ(logged[0].header("User-Agent"), std::string("aerovane/") + AEROVANE_VERSION_TEXT);
    EXPECT_EQ(logged[1].line, "POST /created?key=a%2Fb HTTP/1.1");
    EXPECT_EQ(logged[1].header("Content-Type"), "application/json");
    EXPECT_EQ(logged[1].body, body);
    // One thread's requests share its connection (and its TLS session).
    EXPECT_EQ(logged[1].from, logged[0].from);
    EXPECT_EQ(logged[2].from, logged[0].from);
}

TEST_F(CurlTransport, AReleasedHandleIsMadeAgainAndStillChecksTheCertificate)
{
    ASSERT_EQ(sendHttp(get(server.url("/ok")), trusting).status, 200);
    ASSERT_TRUE(server.waitForRequests(1));
    const std::string first = server.requests()[0].from;

    // Let go: the connection ends without another request.
    releaseHttpHandle();
    EXPECT_TRUE(e2e::waitUntil([&] { return server.endedConnections() == std::vector<std::string>{first}; }))
        << server.endedConnections().size();
    releaseHttpHandle(); // nothing to let go: harmless

    // The next request makes a new handle and connection, with every check.
    EXPECT_EQ(sendHttp(get(server.url("/ok")), TransportSettings{}).status, 0);
    releaseHttpHandle();
    const e2e::ServerCertificate elsewhere = authority.issue("elsewhere", "DNS:elsewhere.test");
    HttpTestServer misnamed(dir, &elsewhere, ROUTES, "misnamed");
    EXPECT_EQ(sendHttp(get(misnamed.url("/ok")), trusting).status, 0);
    releaseHttpHandle();
    EXPECT_EQ(sendHttp(get(server.url("/ok")), trusting).status, 200);
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_NE(server.requests()[1].from, first);
    EXPECT_EQ(misnamed.requests().size(), 0u);
}

TEST_F(CurlTransport, PlainHttpWorksToo)
{
    HttpTestServer plain(dir, nullptr, ROUTES, "plain");
    const HttpReply got = sendHttp(HttpRequest{"POST", plain.url("/created"), {"Content-Type: text/plain"}, "a=1"},
                                   TransportSettings{});
    EXPECT_EQ(got.status, 201);
    EXPECT_EQ(got.body, "stored");
    ASSERT_TRUE(plain.waitForRequests(1));
    EXPECT_EQ(plain.requests()[0].body, "a=1");
}

TEST_F(CurlTransport, ServerMustHaveATrustedCertificateForItsName)
{
    // The private authority is no system's: refused without the ca-file.
    const HttpReply untrusted = sendHttp(get(server.url("/ok")), TransportSettings{});
    EXPECT_EQ(untrusted.status, 0);
    EXPECT_NE(untrusted.failure, "");
    EXPECT_EQ(untrusted.failure.find('\n'), std::string::npos);
    EXPECT_EQ(untrusted.body, "");

    // With it, by name and by address (both in the certificate).
    EXPECT_EQ(sendHttp(get(server.url("/ok")), trusting).status, 200);
    EXPECT_EQ(sendHttp(get(server.url("/ok", "127.0.0.1")), trusting).status, 200);

    // A certificate of the same authority for another name is refused.
    const e2e::ServerCertificate elsewhere = authority.issue("elsewhere", "DNS:elsewhere.test");
    HttpTestServer misnamed(dir, &elsewhere, ROUTES, "misnamed");
    const HttpReply wrongName = sendHttp(get(misnamed.url("/ok")), trusting);
    EXPECT_EQ(wrongName.status, 0);
    EXPECT_NE(wrongName.failure.find("name"), std::string::npos) << wrongName.failure;

    // Neither refused server saw a request.
    EXPECT_EQ(misnamed.requests().size(), 0u);
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(CurlTransport, OnlyHttpAndHttpsGetAndPost)
{
    e2e::writeFile(dir.path("local.txt"), "local");
    const HttpReply file = sendHttp(get("file://" + dir.path("local.txt")), trusting);
    EXPECT_EQ(file.status, 0);
    EXPECT_EQ(file.body, "");
    EXPECT_NE(file.failure, "");
    const HttpReply put = sendHttp(HttpRequest{"PUT", server.url("/ok"), {}, "x"}, trusting);
    EXPECT_EQ(put.status, 0);
    EXPECT_NE(put.failure, "");
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(CurlTransport, RetryAfterInSecondsOrAsADate)
{
    const HttpReply busy = sendHttp(get(server.url("/busy")), trusting);
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.body, "busy");
    EXPECT_EQ(busy.retryAfterSeconds, 120);

    server.setRoutes(std::string(R"({"/dated": {"status": 429, "headers": {"Retry-After": ")") + httpDate(3600) +
                     R"("}}, "/past": {"status": 429, "headers": {"Retry-After": ")" + httpDate(-3600) + R"("}}})");
    const HttpReply dated = sendHttp(get(server.url("/dated")), trusting);
    EXPECT_EQ(dated.status, 429);
    EXPECT_GE(dated.retryAfterSeconds, 3500);
    EXPECT_LE(dated.retryAfterSeconds, 3600);
    EXPECT_EQ(sendHttp(get(server.url("/past")), trusting).retryAfterSeconds, 0);

    server.setRoutes(ROUTES);
    EXPECT_EQ(sendHttp(get(server.url("/zero-retry")), trusting).retryAfterSeconds, 0);
    EXPECT_EQ(sendHttp(get(server.url("/unreadable-retry")), trusting).retryAfterSeconds, -1);
    // The same thread's handle after a reply with the header: none now.
    EXPECT_EQ(sendHttp(get(server.url("/no-retry")), trusting).retryAfterSeconds, -1);
}

TEST_F(CurlTransport, LongReplyIsCutAtTheLimit)
{
    const HttpReply got = sendHttp(get(server.url("/long")), trusting);
    EXPECT_EQ(got.status, 200);
    ASSERT_EQ(got.body.size(), HTTP_REPLY_BODY_LIMIT);
    for (std::size_t i = 0; i < got.body.size(); ++i)
        ASSERT_EQ(got.body[i], static_cast<char>('0' + i % 10)) << "at " << i;
    // The rest was read to its end: the connection serves the next request.
    EXPECT_EQ(sendHttp(get(server.url("/ok")), trusting).status, 200);
}

TEST_F(CurlTransport, SilentServerIsGivenUpAfterTheTimeOut)
{
    TransportSettings settings = trusting;
    settings.totalTimeoutMs = 1500;
    std::atomic<bool> stop{false};
    const BoundedSend sent = sendWithin(get(server.url("/silent")), settings, stop);
    ASSERT_TRUE(sent.ended);
    EXPECT_EQ(sent.reply.status, 0);
    EXPECT_NE(sent.reply.failure, "");
    EXPECT_NE(sent.reply.failure, TRANSPORT_STOPPED);
    EXPECT_GE(sent.took, std::chrono::milliseconds(1400));
    EXPECT_TRUE(server.waitForRequests(1));
}

TEST_F(CurlTransport, StopCutsASilentRequestShort)
{
    TransportSettings settings = trusting;
    settings.totalTimeoutMs = 300000;
    std::atomic<bool> stop{false};
    const BoundedSend sent = sendWithin(get(server.url("/silent")), settings, stop, [&] {
        // Stopped once the server holds the request, well inside the time-out.
        EXPECT_TRUE(server.waitForRequests(1));
        stop = true;
    });
    ASSERT_TRUE(sent.ended);
    EXPECT_EQ(sent.reply.status, 0);
    EXPECT_EQ(sent.reply.failure, TRANSPORT_STOPPED);
}

TEST_F(CurlTransport, PeerResetInTheMiddleOfABodyIsAFailureNotASignal)
{
    // Bigger than any socket buffer: the reset comes while the body is sent.
    const HttpRequest post{"POST", server.url("/reset"), {"Content-Type: application/octet-stream"},
                           std::string(32 << 20, 'b')};
    const HttpReply got = sendHttp(post, trusting);
    EXPECT_EQ(got.status, 0);
    EXPECT_NE(got.failure, "");
    EXPECT_EQ(sendHttp(get(server.url("/ok")), trusting).status, 200);
}

TEST_F(CurlTransport, SeveralThreadsSendAtOnce)
{
    constexpr int THREADS = 4;
    constexpr int EACH = 5;
    std::atomic<int> accepted{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < THREADS; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < EACH; ++i) {
                const HttpRequest post{"POST", server.url("/created?sender=" + std::to_string(t)),
                                       {"Content-Type: text/plain"}, std::to_string(t) + "/" + std::to_string(i)};
                const HttpReply got = sendHttp(post, trusting);
                if (got.status == 201 && got.body == "stored")
                    ++accepted;
            }
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    EXPECT_EQ(accepted.load(), THREADS * EACH);
    ASSERT_TRUE(server.waitForRequests(THREADS * EACH));
    // Each thread's bodies came in its own order.
    std::vector<int> next(THREADS, 0);
    for (const e2e::LoggedRequest& request : server.requests()) {
        const int t = request.body[0] - '0';
        ASSERT_GE(t, 0);
        ASSERT_LT(t, THREADS);
        EXPECT_EQ(request.line, "POST /created?sender=" + std::to_string(t) + " HTTP/1.1");
        EXPECT_EQ(request.body, std::to_string(t) + "/" + std::to_string(next[t]++));
    }
}

} // namespace

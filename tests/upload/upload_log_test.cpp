// The Linux service's log line per upload, and the reason it gives for a
// refusal: taken from the reply, bounded, and never able to break the line.
#include "upload/upload_log.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/upload/loopback_server.h"
#include "upload/http_transport.h"

namespace {

std::string reason(const std::string& reply)
{
    return replyReason(reply.data(), reply.size());
}

TEST(UploadLog, ReasonIsTheBodysFirstLineElseTheStatus)
{
    EXPECT_EQ(reason("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n401"), "401");
    EXPECT_EQ(reason("HTTP/1.0 200 OK\r\n\r\n\r\n  INVALIDPASSWORDID|Password or key and/or id are incorrect\n"),
              "INVALIDPASSWORDID|Password or key and/or id are incorrect");
    EXPECT_EQ(reason("HTTP/1.0 500 Internal Server Error\r\n\r\n"), "500 Internal Server Error");
    EXPECT_EQ(reason("HTTP/1.0 404 Not Found\n\nno such page\n"), "no such page");
    EXPECT_EQ(reason("garbage"), "garbage");
    EXPECT_EQ(reason(""), "");
    EXPECT_EQ(replyReason(nullptr, 10), "");
}

TEST(UploadLog, AServersWordsCannotBreakTheLine)
{
    EXPECT_EQ(reason("HTTP/1.0 400 Bad\r\n\r\nbad\x1b[2Jword\xff\tend"), "bad?[2Jword??end");
    EXPECT_EQ(reason("HTTP/1.0 400 Bad\r\n\r\n" + std::string(500, 'x')).size(), 80u);
    EXPECT_EQ(reason(std::string("HTTP/1.0 400 Bad\r\n\r\nbefore\0after", 30)), "before");
}

TEST(UploadLog, OneLinePerResult)
{
    EXPECT_EQ(uploadResultText(SERVICE_WEATHERCLOUD, UploadOutcome::accepted, ""), "Weathercloud accepted");
    EXPECT_EQ(uploadResultText(SERVICE_WEATHER_UNDERGROUND, UploadOutcome::refused, "unauthorized"),
              "Weather Underground refused: unauthorized");
    EXPECT_EQ(uploadResultText(SERVICE_WEATHERCLOUD, UploadOutcome::noAnswer, ""), "Weathercloud no answer");
    EXPECT_EQ(uploadResultText(SERVICE_WEATHER_UNDERGROUND, UploadOutcome::notSent, "no station id or key"),
              "Weather Underground not sent: no station id or key");
}

// The transport hands every reply it collected to reportReply, so the log
// can give the reason of the last one.
struct Seen {
    int replies = 0;
    std::string last;
    int successes = 0;
};

TEST(UploadLog, TransportReportsEachReplyBeforeClassifyingIt)
{
    loopback::Server server({loopback::Act{"HTTP/1.1 200 OK\r\n\r\n401"}});
    Seen seen;
    TransportHooks hooks = defaultTransportHooks();
    hooks.timeoutMs = 5000;
    hooks.diagnostic = nullptr;
    hooks.context = &seen;
    hooks.reportSuccess = [](void* context, UploadService) { ++static_cast<Seen*>(context)->successes; };
    hooks.reportReply = [](void* context, UploadService, const char* reply, std::size_t length) {
        auto& s = *static_cast<Seen*>(context);
        ++s.replies;
        s.last = replyReason(reply, length);
    };
    uploadRequest("GET / HTTP/1.0\r\n\r\n", "127.0.0.1", server.port(), SERVICE_WEATHERCLOUD, hooks);
    EXPECT_GE(seen.replies, 1);
    EXPECT_EQ(seen.last, "401");
    EXPECT_EQ(seen.successes, 0);
}

} // namespace

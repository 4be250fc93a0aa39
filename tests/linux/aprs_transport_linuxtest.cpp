// The service's APRS-IS sender against a real loopback server: the login,
// the server's logresp, one packet, each line ended by CR LF; and that a
// server that never answers, or answers with no end of line, never holds it.
#include "upload/aprs_transport_linux.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/test_servers_linux.h"

namespace {

using e2e::AprsTestServer;
using e2e::TempDir;

const char LOGIN[] = "user N0CALL pass -1 vers aerovane 1.01";
const char PACKET[] = "N0CALL>APRS,TCPIP*:@011200z5230.00N/01322.00E_180/005g010t041r000p000P000h80b10132";

TransportSettings quick()
{
    TransportSettings settings;
    settings.connectTimeoutMs = 5000;
    settings.totalTimeoutMs = 1500;
    return settings;
}

TEST(AprsTransport, LogsInThenSendsOnePacketLine)
{
    TempDir dir;
    AprsTestServer server(dir);
    const AprsReply reply = sendAprs("127.0.0.1", server.port(), LOGIN, PACKET, TransportSettings{});
    EXPECT_EQ(reply.failure, "");
    EXPECT_EQ(reply.logresp, "# logresp N0CALL verified, server TEST");
    ASSERT_TRUE(e2e::waitUntil([&] { return server.connections().size() == 1; }));
    EXPECT_EQ(server.connections()[0], std::string(LOGIN) + "\r\n" + PACKET + "\r\n");
}

TEST(AprsTransport, LinesThatWouldSplitOrOverflowAreNotSent)
{
    TempDir dir;
    AprsTestServer server(dir);
    const std::string packet = PACKET;
    for (const std::string& bad : {packet + "\r\nuser N0CALL pass 12345", packet + "\n", std::string(600, 'x')}) {
        const AprsReply reply = sendAprs("127.0.0.1", server.port(), LOGIN, bad, TransportSettings{});
        EXPECT_NE(reply.failure, "");
        EXPECT_EQ(reply.logresp, "");
    }
    EXPECT_NE(sendAprs("127.0.0.1", server.port(), std::string(LOGIN) + "\n", PACKET, TransportSettings{}).failure, "");
    // Not even a connection was made.
    EXPECT_EQ(server.loginsRead(), 0);
}

TEST(AprsTransport, ServerThatNeverAnswersTheLoginIsLeftAfterTheTimeOut)
{
    TempDir dir;
    AprsTestServer server(dir, AprsTestServer::Login::silent);
    const AprsReply reply = sendAprs("127.0.0.1", server.port(), LOGIN, PACKET, quick());
    EXPECT_EQ(reply.logresp, "");
    EXPECT_NE(reply.failure, "");
    // The packet stayed unsent.
    ASSERT_TRUE(e2e::waitUntil([&] { return server.connections().size() == 1; }));
    EXPECT_EQ(server.connections()[0], std::string(LOGIN) + "\r\n");
}

TEST(AprsTransport, EndlessLineFromTheServerIsRefused)
{
    TempDir dir;
    AprsTestServer server(dir, AprsTestServer::Login::endlessLine);
    TransportSettings settings = quick();
    settings.totalTimeoutMs = 60000; // the limit on the line ends it, not the time-out
    const AprsReply reply = sendAprs("127.0.0.1", server.port(), LOGIN, PACKET, settings);
    EXPECT_EQ(reply.logresp, "");
    EXPECT_NE(reply.failure.find("longer than 512 bytes"), std::string::npos) << reply.failure;
    ASSERT_TRUE(e2e::waitUntil([&] { return server.connections().size() == 1; }));
    EXPECT_EQ(server.connections()[0], std::string(LOGIN) + "\r\n");
}

TEST(AprsTransport, NoServerIsAFailure)
{
    TempDir dir;
    int port = 0;
    {
        AprsTestServer gone(dir);
        port = gone.port();
    }
    const AprsReply reply = sendAprs("127.0.0.1", port, LOGIN, PACKET, quick());
    EXPECT_EQ(reply.logresp, "");
    EXPECT_NE(reply.failure, "");
}

TEST(AprsTransport, StopCutsTheWaitForTheLoginReplyShort)
{
    TempDir dir;
    AprsTestServer server(dir, AprsTestServer::Login::silent);
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    TransportSettings settings = quick();
    settings.totalTimeoutMs = 300000;
    settings.stop = &stop;
    AprsReply reply;
    std::thread sender([&] {
        reply = sendAprs("127.0.0.1", server.port(), LOGIN, PACKET, settings);
        done = true;
    });
    EXPECT_TRUE(e2e::waitUntil([&] { return server.loginsRead() == 1; }));
    stop = true;
    // Far inside the time-out.
    EXPECT_TRUE(e2e::waitUntil([&] { return done.load(); }, 60000));
    sender.join();
    EXPECT_EQ(reply.failure, TRANSPORT_STOPPED);
}

} // namespace

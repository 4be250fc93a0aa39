// Requests a second through the service's HTTPS transport to the loopback
// test server (a Python server, which sets much of the pace), one to
// several threads at once. Each thread keeps its handle, so its connection
// and TLS session are made once and reused.
#include <memory>

#include <benchmark/benchmark.h>

#include "tests/support/test_servers_linux.h"
#include "upload/curl_transport_linux.h"

namespace {

struct LoopbackServer {
    e2e::TempDir dir;
    e2e::TestAuthority authority{dir};
    e2e::ServerCertificate certificate = authority.issue("localhost", "DNS:localhost,IP:127.0.0.1");
    e2e::HttpTestServer server{dir, &certificate, R"({"/ok": {"status": 200, "body": "success\n"}})"};
};

LoopbackServer& loopbackServer()
{
    static LoopbackServer running;
    return running;
}

void BM_HttpsGetOnAKeptConnection(benchmark::State& state)
{
    startHttpTransport();
    LoopbackServer& loopback = loopbackServer();
    const TransportSettings settings{loopback.authority.file(), 6000, 30000, "", nullptr};
    const HttpRequest request{"GET", loopback.server.url("/ok?ID=BENCH&tempf=41.2"), {}, ""};
    std::int64_t failed = 0;
    for (auto _ : state) {
        const HttpReply reply = sendHttp(request, settings);
        failed += reply.status == 200 ? 0 : 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["failed"] = static_cast<double>(failed);
}
BENCHMARK(BM_HttpsGetOnAKeptConnection)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

} // namespace

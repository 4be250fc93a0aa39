// `aerovane run` end to end: the real service against the native simulator
// and loopback HTTP(S) servers standing in for the weather services. Each
// request carries, byte for byte, the path and query the Windows program
// builds from the console text the simulator sent, over HTTPS with the
// certificate checked; every result gives one log line and is kept for
// `aerovane status`; a refused key stops that service until the
// configuration changes, across restarts; a host that never answers is
// given up in time and delays no other; after an outage the newest text is
// sent, not the ones it replaced; the service outlives the console going
// away and coming back, and ends cleanly on SIGTERM.
#include <csignal>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process_linux.h"
#include "tests/support/test_servers_linux.h"
#include "tests/upload/loopback_server.h"
#include "upload/upload_requests.h"
#include "upload/upload_url.h"

namespace {

using e2e::HttpTestServer;
using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

const char WU_PATH[] = "/weatherstation/updateweatherstation.php";
const std::string WU_ACCEPTS = R"({"/weatherstation/updateweatherstation.php": {"status": 200, "body": "success\n"}})";
const std::string WC_ACCEPTS = R"({"/v01/set/*": {"status": 200, "body": "200"}})";

struct Credentials {
    const char* id;
    const char* key;
};
// Characters the services' requests carry unescaped, a blank a URL cannot
// hold, and one beyond ASCII, which the Windows program re-encodes as if it
// were Windows-1252.
const Credentials WU = {"KSTATION1", "pa&ss/w?rd"};
const Credentials WC = {"0123abcd", "k\xC3\xA9y #1"};

// A section sending to `server`: `host =` for plain HTTP as on Windows,
// `url =` for HTTPS.
std::string serviceSection(const char* name, const Credentials& credentials, const HttpTestServer* server,
                           bool https = false)
{
    std::string text = std::string("[") + name + "]\nstation = " + credentials.id + "\nkey = " + credentials.key
                     + "\nupload = on\n";
    if (server && https)
        text += "url = " + server->url("") + "\n";
    else if (server)
        text += "host = 127.0.0.1:" + std::to_string(server->port()) + "\n";
    return text;
}

// The path and query the Windows program sends for a console text, as a URL
// carries them.
std::string windowsTarget(UploadService service, const Credentials& credentials, const std::string& consoleText)
{
    char request[REQUEST_BUFFER_SIZE];
    char encoded[REQUEST_BUFFER_SIZE];
    EXPECT_NE(composeUploadRequest(service, credentials.id, credentials.key, consoleText.c_str(),
                                   consoleText.size() + 1, "127.0.0.1", request),
              0u);
    EXPECT_NE(reencodeWindows1252AsUtf8(request, encoded, sizeof encoded), 0u);
    return uploadUrl("", uploadTarget(encoded, "127.0.0.1"));
}

// The targets of the requests a server had, in order.
std::vector<std::string> targets(const HttpTestServer& server)
{
    std::vector<std::string> list;
    for (const e2e::LoggedRequest& request : server.requests()) {
        const std::size_t from = request.line.find(' ') + 1;
        list.push_back(request.line.substr(from, request.line.rfind(' ') - from));
    }
    return list;
}

// Each request is the Windows program's for one of the texts, in the order
// the console sent them; a text a newer one replaced while it waited was
// not sent.
void expectRequestsOfTexts(const std::vector<std::string>& requests, UploadService service,
                           const Credentials& credentials, const std::vector<std::string>& texts)
{
    std::size_t next = 0;
    for (const std::string& request : requests) {
        while (next < texts.size() && windowsTarget(service, credentials, texts[next]) != request)
            ++next;
        EXPECT_LT(next, texts.size()) << request;
        ++next;
    }
}

// The texts the simulator sent for a service ("wu ok TEXT" / "wc ok TEXT").
std::vector<std::string> sentTexts(const Simulator& simulator, const char* kind)
{
    std::vector<std::string> texts;
    const std::string prefix = std::string(kind) + " ok ";
    for (const std::string& line : e2e::linesStartingWith(simulator.log(), prefix))
        texts.push_back(line.substr(prefix.size()));
    return texts;
}

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::size_t count(const std::vector<std::string>& list, const std::string& item)
{
    std::size_t n = 0;
    for (const std::string& entry : list)
        n += entry == item;
    return n;
}

class RunCommand : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string out = dir.path("out");
    std::string err = dir.path("err");

    Process* start(const Simulator& simulator)
    {
        return new Process({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                            "--archive=" + dir.path("archive.sqlite"), "run"},
                           out, err);
    }

    void stop(Process* service)
    {
        service->signal(SIGTERM);
        int code = -1;
        EXPECT_TRUE(service->waitExit(&code));
        EXPECT_EQ(code, 0);
        EXPECT_NE(e2e::readFile(err).find("aerovane: service stopped\n"), std::string::npos) << e2e::readFile(err);
        delete service;
    }

    // What `aerovane status` prints.
    std::string status()
    {
        Process command({e2e::aerovaneBinary(), "--config=" + config, "--archive=" + dir.path("archive.sqlite"),
                         "status"},
                        dir.path("status.out"), dir.path("status.err"));
        int code = -1;
        EXPECT_TRUE(command.waitExit(&code));
        EXPECT_EQ(code, 0) << e2e::readFile(dir.path("status.err"));
        return e2e::readFile(dir.path("status.out"));
    }
};

TEST_F(RunCommand, UploadsCarryTheWindowsProgramsPathAndQueryOverHttps)
{
    e2e::TestAuthority authority(dir);
    const e2e::ServerCertificate certificate = authority.issue("server", "DNS:localhost,IP:127.0.0.1");
    HttpTestServer wu(dir, &certificate, WU_ACCEPTS, "wu");
    HttpTestServer wc(dir, nullptr, WC_ACCEPTS, "wc");
    e2e::writeFile(config, "[tls]\nca-file = " + authority.file() + "\n" + serviceSection("wunderground", WU, &wu, true)
                               + serviceSection("weathercloud", WC, &wc));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=300", "--seed=31"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), " accepted\n") >= 6; })) << e2e::readFile(err);
    stop(service);

    const std::vector<std::string> wuTexts = sentTexts(simulator, "wu");
    const std::vector<std::string> wcTexts = sentTexts(simulator, "wc");
    const std::vector<std::string> wuRequests = targets(wu);
    const std::vector<std::string> wcRequests = targets(wc);
    ASSERT_GE(wuRequests.size(), 2u);
    ASSERT_GE(wcRequests.size(), 2u);
    expectRequestsOfTexts(wuRequests, SERVICE_WEATHER_UNDERGROUND, WU, wuTexts);
    expectRequestsOfTexts(wcRequests, SERVICE_WEATHERCLOUD, WC, wcTexts);
    EXPECT_EQ(wuRequests[0].rfind(std::string(WU_PATH) + "?ID=KSTATION1&PASSWORD=pa&ss/w?rd&", 0), 0u);
    // é read as Windows-1252, and the blank and '#' escaped, not cut.
    EXPECT_EQ(wcRequests[0].rfind("/v01/set/wid/0123abcd/key/k%C3%83%C2%A9y%20%231/", 0), 0u) << wcRequests[0];

    // One line per result, with the time it came.
    for (const std::string& logged : e2e::linesStartingWith(out, "")) {
        ASSERT_GT(logged.size(), 20u) << logged;
        const std::string stamp = logged.substr(0, 20);
        const std::string shape = "dddd-dd-dd dd:dd:dd ";
        for (std::size_t i = 0; i < shape.size(); ++i)
            EXPECT_TRUE(shape[i] == 'd' ? stamp[i] >= '0' && stamp[i] <= '9' : stamp[i] == shape[i]) << logged;
        const std::string result = logged.substr(20);
        if (result.rfind("archive: ", 0) == 0)
            continue;
        EXPECT_TRUE(result == "Weather Underground accepted" || result == "Weathercloud accepted") << logged;
    }
    // And `status` tells what each took last.
    const std::string shown = status();
    EXPECT_NE(shown.find("wunderground: on; last accepted the observation of "), std::string::npos) << shown;
    EXPECT_NE(shown.find("weathercloud: on; last accepted the observation of "), std::string::npos) << shown;
}

// A server whose certificate no trusted authority signed gets no request:
// the station's key goes nowhere it should not.
TEST_F(RunCommand, AServerWithAnUntrustedCertificateGetsNothing)
{
    e2e::TestAuthority trusted(dir);
    TempDir otherDir;
    e2e::TestAuthority stranger(otherDir);
    const e2e::ServerCertificate certificate = stranger.issue("server", "DNS:localhost,IP:127.0.0.1");
    HttpTestServer wu(dir, &certificate, WU_ACCEPTS, "wu");
    e2e::writeFile(config, "[tls]\nca-file = " + trusted.file() + "\n" + serviceSection("wunderground", WU, &wu, true));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=300", "--seed=37"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), "Weather Underground no answer\n") >= 1; },
                               60000))
        << e2e::readFile(out) << e2e::readFile(err);
    stop(service);
    EXPECT_TRUE(wu.requests().empty());
    EXPECT_NE(e2e::readFile(err).find("aerovane: Weather Underground: "), std::string::npos) << e2e::readFile(err);
}

// Weather Underground refuses the key: the reason is logged, nothing more
// goes there, also after a restart, until the key changes; Weathercloud,
// which never answers, is tried three times a text, each given up in time,
// and its silence delays the other service nowhere.
TEST_F(RunCommand, ARefusedKeyStopsItsServiceUntilTheConfigurationChanges)
{
    HttpTestServer wu(dir, nullptr,
                      R"({"/weatherstation/updateweatherstation.php": {"status": 200,)"
                      R"( "body": "INVALIDPASSWORDID|Password or key and/or id are incorrect\n"}})",
                      "wu");
    HttpTestServer wc(dir, nullptr, R"({"/v01/set/*": {"neverAnswer": true}})", "wc");
    const std::string both = serviceSection("wunderground", WU, &wu) + serviceSection("weathercloud", WC, &wc);
    e2e::writeFile(config, both);
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=1000", "--seed=32"});
    Process* service = start(simulator);
    const std::string refused = "Weather Underground refused: INVALIDPASSWORDID|Password or key and/or id are incorrect\n";
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), refused) >= 1; })) << e2e::readFile(out);
    EXPECT_NE(e2e::readFile(out).find("Weather Underground: nothing more is uploaded until [wunderground] in the "
                                      "configuration changes"),
              std::string::npos);
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), "Weathercloud no answer\n") >= 1; }, 60000))
        << e2e::readFile(out) << e2e::readFile(err);
    // Three attempts of the same request, as on Windows.
    const std::vector<std::string> attempts = targets(wc);
    ASSERT_GE(attempts.size(), 3u);
    EXPECT_EQ(attempts[1], attempts[0]);
    EXPECT_EQ(attempts[2], attempts[0]);
    EXPECT_EQ(count(e2e::readFile(out), "accepted"), 0u);
    EXPECT_EQ(wu.requests().size(), 1u) << "texts kept coming while Weathercloud waited";
    stop(service);
    const std::string shown = status();
    EXPECT_NE(shown.find("wunderground: on; nothing accepted yet; refused at "), std::string::npos) << shown;
    EXPECT_NE(shown.find("INVALIDPASSWORDID|Password or key and/or id are incorrect (stopped until the "
                         "configuration changes)"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("weathercloud: on; nothing accepted yet; the last 1 failed ("), std::string::npos) << shown;

    // A restart with the same key sends nothing there and says why.
    e2e::writeFile(config, serviceSection("wunderground", WU, &wu));
    service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] {
        return e2e::readFile(out).find("Weather Underground: not uploading: it refused this station") != std::string::npos;
    })) << e2e::readFile(out);
    const std::size_t texts = sentTexts(simulator, "wu").size();
    ASSERT_TRUE(e2e::waitUntil([&] { return sentTexts(simulator, "wu").size() >= texts + 2; }));
    stop(service);
    EXPECT_EQ(wu.requests().size(), 1u);

    // Another key is tried again.
    wu.setRoutes(WU_ACCEPTS);
    e2e::writeFile(config, serviceSection("wunderground", Credentials{WU.id, "new-key"}, &wu));
    service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), "Weather Underground accepted\n") >= 1; }))
        << e2e::readFile(out);
    stop(service);
    EXPECT_EQ(status().find("stopped until"), std::string::npos);
}

// A host whose packets go nowhere costs an upload its three connect
// time-outs, not the system's two minutes a try, and the other service's
// uploads go on meanwhile.
TEST_F(RunCommand, HostThatNeverAnswersTheConnectIsGivenUpInTime)
{
    loopback::UnansweredListener wuHost;
    ASSERT_TRUE(wuHost.full()) << "a full backlog answers connects on this system";
    HttpTestServer wc(dir, nullptr, WC_ACCEPTS, "wc");
    e2e::writeFile(config, std::string("[wunderground]\nstation = S\nkey = K\nupload = on\nhost = 127.0.0.1:")
                               + std::to_string(wuHost.port()) + "\n" + serviceSection("weathercloud", WC, &wc));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=2000", "--seed=34"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
            const std::string log = e2e::readFile(out);
            return count(log, "Weather Underground no answer\n") >= 1 && count(log, "Weathercloud accepted\n") >= 2;
        },
        60000))
        << e2e::readFile(out) << e2e::readFile(err);
    // Weathercloud's texts were not held behind Weather Underground's wait.
    const std::string log = e2e::readFile(out);
    EXPECT_LT(log.find("Weathercloud accepted\n"), log.find("Weather Underground no answer\n")) << log;
    stop(service);
}

// The console's texts say "dateutc=now". While one waits for a service that
// does not answer, the texts after it replace each other: when the service
// answers again, the newest goes out, and none of those it replaced.
TEST_F(RunCommand, AfterAnOutageTheNewestTextIsSentNotTheOnesItReplaced)
{
    const std::string hold = dir.path("hold");
    e2e::writeFile(hold, "");
    HttpTestServer wc(dir, nullptr, R"({"/v01/set/*": {"status": 200, "body": "200", "holdWhile": ")" + hold + "\"}}",
                      "wc");
    e2e::writeFile(config, serviceSection("weathercloud", WC, &wc));
    Simulator before(dir, {"--live-interval=0", "--upload-interval=300", "--seed=35"});
    Process* service = start(before);
    ASSERT_TRUE(e2e::waitUntil([&] { return !wc.requests().empty(); })) << e2e::readFile(err);
    // Texts the service takes while the first waits for its answer.
    const std::size_t sentFirst = sentTexts(before, "wc").size();
    ASSERT_TRUE(e2e::waitUntil([&] { return sentTexts(before, "wc").size() >= sentFirst + 2; }));
    before.stop();
    const std::vector<std::string> older = sentTexts(before, "wc");

    // Then a console with other weather, on the same socket.
    Simulator after(dir, {"--live-interval=0", "--upload-interval=300", "--seed=36"});
    ASSERT_TRUE(e2e::waitUntil([&] { return sentTexts(after, "wc").size() > older.size(); })) << e2e::readFile(err);
    after.stop();
    const std::vector<std::string> all = sentTexts(after, "wc");
    const std::vector<std::string> newer(all.begin() + static_cast<std::ptrdiff_t>(older.size()), all.end());
    for (const std::string& text : newer)
        ASSERT_EQ(count(older, text), 0u) << "the two consoles' weather should differ";
    const std::string newest = windowsTarget(SERVICE_WEATHERCLOUD, WC, all.back());
    std::set<std::string> newerSent;
    for (const std::string& text : newer)
        newerSent.insert(windowsTarget(SERVICE_WEATHERCLOUD, WC, text));

    ASSERT_EQ(std::remove(hold.c_str()), 0);
    const auto newerRequests = [&] {
        std::size_t n = 0;
        for (const std::string& request : targets(wc))
            n += newerSent.count(request);
        return n;
    };
    const auto results = [&] {
        const std::string log = e2e::readFile(out);
        return count(log, "Weathercloud accepted\n") + count(log, "Weathercloud no answer\n");
    };
    ASSERT_TRUE(e2e::waitUntil([&] { return targets(wc).back() == newest && results() >= 1 + newerRequests(); }))
        << e2e::readFile(out);
    stop(service);
    // One result for the older texts: the one under way when they came.
    EXPECT_EQ(results() - newerRequests(), 1u) << e2e::readFile(out);
}

// Texts in quick succession share one connection; once they stop coming
// the service lets go of it (and of its TLS context) by itself.
TEST_F(RunCommand, TextsShareAConnectionWhichIsLetGoOnceTheyStop)
{
    HttpTestServer wc(dir, nullptr, WC_ACCEPTS, "wc");
    e2e::writeFile(config, serviceSection("weathercloud", WC, &wc));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=300", "--seed=38"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), "Weathercloud accepted\n") >= 3; }))
        << e2e::readFile(out) << e2e::readFile(err);
    simulator.stop();
    const std::vector<e2e::LoggedRequest> requests = wc.requests();
    for (const e2e::LoggedRequest& request : requests)
        EXPECT_EQ(request.from, requests[0].from) << "a text on a connection of its own";
    EXPECT_TRUE(e2e::waitUntil([&] { return !wc.endedConnections().empty(); }, 60000));
    EXPECT_EQ(wc.endedConnections(), std::vector<std::string>{requests[0].from});
    EXPECT_TRUE(service->running());
    stop(service);
}

TEST_F(RunCommand, MissingCredentialsAreLoggedAndNothingIsSent)
{
    HttpTestServer wu(dir, nullptr, WU_ACCEPTS, "wu");
    e2e::writeFile(config, serviceSection("wunderground", Credentials{"", ""}, &wu));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=300"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil(
        [&] { return count(e2e::readFile(out), "Weather Underground not sent: no station id or key configured\n") >= 2; }))
        << e2e::readFile(err);
    EXPECT_NE(e2e::readFile(err).find("upload on, but no station id or key"), std::string::npos);
    EXPECT_TRUE(wu.requests().empty());
    stop(service);
}

TEST_F(RunCommand, TheShippedConfigurationArchivesAndSaysWhatToEdit)
{
    // The Debian package installs the example as /etc/aerovane.conf.
    e2e::writeFile(config, e2e::readFile(std::string(AEROVANE_SOURCE_DIR) + "/packaging/linux/aerovane.conf.example"));
    Simulator simulator(dir, {"--history=10"});
    Process* service = start(simulator);
    const std::string edit = "aerovane: no upload is on: set a service's station, key and upload = on in " + config;
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("archive: merged 10 records") != std::string::npos; }))
        << e2e::readFile(out) << e2e::readFile(err);
    EXPECT_EQ(count(e2e::readFile(err), edit), 1u) << e2e::readFile(err);
    stop(service);
}

TEST_F(RunCommand, KeepsGoingWhileTheConsoleVanishesAndReturns)
{
    HttpTestServer wc(dir, nullptr, WC_ACCEPTS, "wc");
    e2e::writeFile(config, serviceSection("weathercloud", WC, &wc));
    // A text a second: the worker, answered at once, is idle when the next
    // comes, so none replaces another.
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=1000", "--seed=33"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return wc.requests().size() >= 1; })) << e2e::readFile(err);

    simulator.stop();
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(err), "aerovane: No connection") >= 1; }))
        << e2e::readFile(err);
    EXPECT_TRUE(service->running());

    const std::size_t before = wc.requests().size();
    simulator.restart();
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(err), "aerovane: console connected\n") >= 2; }))
        << e2e::readFile(err);
    ASSERT_TRUE(e2e::waitUntil([&] { return wc.requests().size() >= before + 2; }));
    // Every text the console finished sending, before the gap and after
    // it, was uploaded once and in order: nothing lost, nothing doubled.
    simulator.stop();
    const std::vector<std::string> texts = sentTexts(simulator, "wc");
    EXPECT_TRUE(e2e::waitUntil([&] { return wc.requests().size() >= texts.size(); }));
    stop(service);
    const std::vector<std::string> requests = targets(wc);
    ASSERT_EQ(requests.size(), texts.size());
    for (std::size_t i = 0; i < requests.size(); ++i)
        EXPECT_EQ(requests[i], windowsTarget(SERVICE_WEATHERCLOUD, WC, texts[i])) << i;
}

} // namespace

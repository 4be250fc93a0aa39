// `aerovane run` end to end: the real service against the native simulator
// and two scripted HTTP servers on the loopback address standing in for the
// weather services. Each request must be, byte for byte, the one the
// Windows program builds from the console text the simulator sent; every
// result gives one log line; a host that never answers is given up in time;
// after an outage the newest text is sent, not the ones it replaced; the
// service outlives the console going away and coming back, and ends
// cleanly on SIGTERM.
#include <csignal>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process_linux.h"
#include "tests/upload/loopback_server.h"
#include "upload/upload_requests.h"

namespace {

using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;
using loopback::Act;
using loopback::Server;

const char* const WU_ACCEPTS = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nsuccess\n";
const char* const WC_ACCEPTS = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n200";

struct Credentials {
    const char* id;
    const char* key;
};
// Characters the services' requests carry unescaped, and one beyond ASCII,
// which the Windows program re-encodes as if it were Windows-1252.
const Credentials WU = {"KSTATION1", "pa&ss/w?rd"};
const Credentials WC = {"0123abcd", "k\xC3\xA9y"};

std::string serviceSection(const char* name, const Credentials& credentials, int port, bool upload = true)
{
    return std::string("[") + name + "]\nstation = " + credentials.id + "\nkey = " + credentials.key
           + "\nupload = " + (upload ? "on" : "off") + "\nhost = 127.0.0.1:" + std::to_string(port) + "\n";
}

// What the Windows program sends for a console text.
std::string windowsRequest(UploadService service, const Credentials& credentials, const std::string& consoleText)
{
    char request[REQUEST_BUFFER_SIZE];
    char encoded[REQUEST_BUFFER_SIZE];
    EXPECT_NE(composeUploadRequest(service, credentials.id, credentials.key, consoleText.c_str(),
                                   consoleText.size() + 1, "127.0.0.1", request),
              0u);
    EXPECT_NE(reencodeWindows1252AsUtf8(request, encoded, sizeof encoded), 0u);
    return encoded;
}

// Each request is the Windows program's for one of the texts, in the order
// the console sent them; a text a newer one replaced while it waited was
// not sent.
void expectRequestsOfTexts(const std::vector<std::string>& requests, UploadService service,
                           const Credentials& credentials, const std::vector<std::string>& texts)
{
    std::size_t next = 0;
    for (const std::string& request : requests) {
        while (next < texts.size() && windowsRequest(service, credentials, texts[next]) != request)
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
};

TEST_F(RunCommand, UploadsAreTheWindowsProgramsRequestsByteForByte)
{
    Server wu({Act{WU_ACCEPTS}});
    Server wc({Act{WC_ACCEPTS}});
    e2e::writeFile(config, serviceSection("wunderground", WU, wu.port()) + serviceSection("weathercloud", WC, wc.port()));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=300", "--seed=31"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), " accepted\n") >= 6; })) << e2e::readFile(err);
    stop(service);

    const std::vector<std::string> wuTexts = sentTexts(simulator, "wu");
    const std::vector<std::string> wcTexts = sentTexts(simulator, "wc");
    const std::vector<std::string> wuRequests = wu.requests();
    const std::vector<std::string> wcRequests = wc.requests();
    ASSERT_GE(wuRequests.size(), 2u);
    ASSERT_GE(wcRequests.size(), 2u);
    expectRequestsOfTexts(wuRequests, SERVICE_WEATHER_UNDERGROUND, WU, wuTexts);
    expectRequestsOfTexts(wcRequests, SERVICE_WEATHERCLOUD, WC, wcTexts);
    EXPECT_NE(wcRequests[0].find("/key/k\xC3\x83\xC2\xA9y"), std::string::npos); // é read as Windows-1252

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
}

TEST_F(RunCommand, RefusalsGiveTheirReasonAndSilenceIsNoAnswer)
{
    Server wu({Act{"HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect\n"}});
    // Accepts the connection and never answers: each attempt waits out the
    // six-second time-out.
    Server wc({Act{"", Act::SILENT}});
    e2e::writeFile(config, serviceSection("wunderground", WU, wu.port()) + serviceSection("weathercloud", WC, wc.port()));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=2000", "--seed=32"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
            const std::string log = e2e::readFile(out);
            return count(log, "Weathercloud no answer\n") >= 1
                   && count(log, "Weather Underground refused: INVALIDPASSWORDID|Password or key and/or id are "
                                 "incorrect\n")
                          >= 1;
        },
        60000))
        << e2e::readFile(out) << e2e::readFile(err);
    // Three attempts of the same request, as on Windows.
    const std::vector<std::string> attempts = wc.requests();
    ASSERT_GE(attempts.size(), 3u);
    EXPECT_EQ(attempts[1], attempts[0]);
    EXPECT_EQ(attempts[2], attempts[0]);
    EXPECT_NE(e2e::readFile(err).find("recv timeout!"), std::string::npos);
    EXPECT_EQ(count(e2e::readFile(out), "accepted"), 0u);
    stop(service);
}

// A host whose packets go nowhere costs an upload its three connect
// time-outs, not the system's two minutes a try, and the other service's
// uploads go on after it.
TEST_F(RunCommand, HostThatNeverAnswersTheConnectIsGivenUpInTime)
{
    loopback::UnansweredListener wuHost;
    ASSERT_TRUE(wuHost.full()) << "a full backlog answers connects on this system";
    Server wc({Act{WC_ACCEPTS}});
    e2e::writeFile(config,
                   serviceSection("wunderground", WU, wuHost.port()) + serviceSection("weathercloud", WC, wc.port()));
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=2000", "--seed=34"});
    Process* service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
            const std::string log = e2e::readFile(out);
            return count(log, "Weather Underground no answer\n") >= 1 && count(log, "Weathercloud accepted\n") >= 1;
        },
        60000))
        << e2e::readFile(out) << e2e::readFile(err);
    stop(service);
}

// The console's texts say "dateutc=now". While one waits for a service that
// does not answer, the texts after it replace each other: when the service
// answers again, the newest goes out, and none of those it replaced.
TEST_F(RunCommand, AfterAnOutageTheNewestTextIsSentNotTheOnesItReplaced)
{
    Server wc({Act{WC_ACCEPTS}});
    wc.hold();
    e2e::writeFile(config, serviceSection("weathercloud", WC, wc.port()));
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
    const std::string newest = windowsRequest(SERVICE_WEATHERCLOUD, WC, all.back());
    std::set<std::string> newerSent;
    for (const std::string& text : newer)
        newerSent.insert(windowsRequest(SERVICE_WEATHERCLOUD, WC, text));

    wc.release();
    const auto newerRequests = [&] {
        std::size_t n = 0;
        for (const std::string& request : wc.requests())
            n += newerSent.count(request);
        return n;
    };
    const auto results = [&] {
        const std::string log = e2e::readFile(out);
        return count(log, "Weathercloud accepted\n") + count(log, "Weathercloud no answer\n");
    };
    ASSERT_TRUE(e2e::waitUntil([&] { return wc.requests().back() == newest && results() >= 1 + newerRequests(); }))
        << e2e::readFile(out);
    stop(service);
    // One result for the older texts: the one under way when they came.
    EXPECT_EQ(results() - newerRequests(), 1u) << e2e::readFile(out);
}

TEST_F(RunCommand, MissingCredentialsAreLoggedAndNothingIsSent)
{
    Server wu({Act{WU_ACCEPTS}});
    e2e::writeFile(config, serviceSection("wunderground", Credentials{"", ""}, wu.port()));
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
    Server wc({Act{WC_ACCEPTS}});
    e2e::writeFile(config, serviceSection("weathercloud", WC, wc.port()));
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
    const std::vector<std::string> requests = wc.requests();
    ASSERT_EQ(requests.size(), texts.size());
    for (std::size_t i = 0; i < requests.size(); ++i)
        EXPECT_EQ(requests[i], windowsRequest(SERVICE_WEATHERCLOUD, WC, texts[i])) << i;
}

} // namespace

// `aerovane run` tells systemd how it is, heard on a datagram socket of the
// test's own given as NOTIFY_SOCKET, with WATCHDOG_USEC and WATCHDOG_PID
// set as systemd sets them: READY=1 only once the archive is open, a
// STATUS= line with the console, the last upload result and the archive's
// rows, WATCHDOG=1 well within the interval (also while a stalled download
// holds the main loop), and STOPPING=1 on SIGTERM.
#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/process_linux.h"
#include "tests/support/test_servers_linux.h"
#include "tests/upload/loopback_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

// Short, so the test sees several pets; the service pets at half of it.
constexpr auto WATCHDOG = std::chrono::seconds(4);
constexpr int PETS_TO_SEE = 4;

// One line of a message, when it came, and whether the archive existed then.
struct Heard {
    std::string line;
    Clock::time_point at;
    bool archiveExisted;
};

// systemd's end of NOTIFY_SOCKET: a thread reads each datagram as it comes.
class NotifySocket {
public:
    NotifySocket(const std::string& socketPath, const std::string& archivePath)
        : path(socketPath), archive(archivePath)
    {
        fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        EXPECT_LT(path.size(), sizeof address.sun_path);
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
        reader = std::thread([this] {
            while (!stopping) {
                pollfd readable{fd, POLLIN, 0};
                if (poll(&readable, 1, 100) > 0)
                    take();
            }
        });
    }

    ~NotifySocket()
    {
        stopping = true;
        reader.join();
        close(fd);
        unlink(path.c_str());
    }

    // Reads what is waiting, without waiting.
    void take()
    {
        char message[4096];
        for (;;) {
            const ssize_t got = recv(fd, message, sizeof message, MSG_DONTWAIT);
            if (got <= 0)
                return;
            const Clock::time_point now = Clock::now();
            const bool existed = e2e::fileExists(archive);
            std::lock_guard<std::mutex> guard(lock);
            std::string text(message, static_cast<std::size_t>(got));
            for (std::size_t start = 0; start < text.size();) {
                std::size_t end = text.find('\n', start);
                if (end == std::string::npos)
                    end = text.size();
                messages.push_back({text.substr(start, end - start), now, existed});
                start = end + 1;
            }
        }
    }

    std::vector<Heard> heard() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return messages;
    }

    // The lines that start with `prefix`.
    std::vector<Heard> lines(const std::string& prefix) const
    {
        std::vector<Heard> found;
        for (const Heard& each : heard())
            if (each.line.rfind(prefix, 0) == 0)
                found.push_back(each);
        return found;
    }

    // A STATUS= line holding every one of `parts`.
    bool statusSays(const std::vector<std::string>& parts) const
    {
        for (const Heard& each : lines("STATUS=")) {
            bool all = true;
            for (const std::string& part : parts)
                all = all && each.line.find(part) != std::string::npos;
            if (all)
                return true;
        }
        return false;
    }

    const std::string& socketPath() const { return path; }

private:
    std::string path;
    std::string archive;
    int fd = -1;
    mutable std::mutex lock;
    std::vector<Heard> messages;
    std::atomic<bool> stopping{false};
    std::thread reader;
};

// Every gap between WATCHDOG=1 pets from `since` on, the first counted from
// `since`, stays under the interval; true once `count` came.
::testing::AssertionResult petsKeptComing(const NotifySocket& notify, Clock::time_point since, int count)
{
    Clock::time_point last = since;
    int seen = 0;
    for (const Heard& pet : notify.lines("WATCHDOG=1")) {
        if (pet.at < since)
            continue;
        if (pet.at - last >= WATCHDOG)
            return ::testing::AssertionFailure()
                   << "no pet for " << std::chrono::duration_cast<std::chrono::milliseconds>(pet.at - last).count()
                   << " ms";
        last = pet.at;
        ++seen;
    }
    if (seen < count)
        return ::testing::AssertionFailure() << seen << " pets";
    return ::testing::AssertionSuccess();
}

class Notify : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string archive = dir.path("data/archive.sqlite");
    std::string out = dir.path("out");
    std::string err = dir.path("err");
    NotifySocket notify{dir.path("notify"), archive};

    void SetUp() override { e2e::writeFile(config, ""); }

    Process* startService(const Simulator& simulator)
    {
        return new Process({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                            "--archive=" + archive, "run"},
                           out, err, false, 0,
                           {"NOTIFY_SOCKET=" + notify.socketPath(),
                            "WATCHDOG_USEC="
                                + std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(WATCHDOG).count()),
                            "WATCHDOG_PID=$PID"});
    }

    // SIGTERM; STOPPING=1 comes before the end.
    void stopService(Process* service)
    {
        service->signal(SIGTERM);
        int code = -1;
        EXPECT_TRUE(service->waitExit(&code));
        EXPECT_EQ(code, 0) << e2e::readFile(err);
        delete service;
        notify.take();
        EXPECT_EQ(notify.lines("STOPPING=1").size(), 1u);
    }

    bool logged(const std::string& text) { return e2e::readFile(out).find(text) != std::string::npos; }
};

TEST_F(Notify, ReadyOnceTheArchiveIsOpenThenStatusAndWatchdogUntilTheStop)
{
    loopback::Server weathercloud({loopback::Act{"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n200"}});
    // A network caught up slowly enough to be seen catching up.
    e2e::HttpTestServer pwsweather(dir, nullptr,
                                   R"({"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success", "delayMs": 100}})");
    e2e::writeFile(config, "[clock]\nsync = never\n[weathercloud]\nstation = 0123abcd\nkey = key\nupload = on\nhost = 127.0.0.1:"
                               + std::to_string(weathercloud.port()) + "\n[pwsweather]\nstation = KX1\nkey = k\nupload = on\nurl = "
                               + pwsweather.url("/pwsupdate/pwsupdate.php", "127.0.0.1") + "\n");
    Simulator simulator(dir, {"--history=50", "--history-interval=5", "--upload-interval=1000", "--seed=51"});
    Process* service = startService(simulator);

    ASSERT_TRUE(e2e::waitUntil([&] { return !notify.lines("READY=1").empty(); })) << e2e::readFile(err);
    const Heard ready = notify.lines("READY=1").front();
    EXPECT_TRUE(ready.archiveExisted);
    EXPECT_EQ(notify.lines("READY=1").size(), 1u);

    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 50 records: 50 new"); })) << e2e::readFile(out);
    EXPECT_TRUE(e2e::waitUntil(
        [&] { return notify.statusSays({"console connected", "archive: 50 console records"}); }));
    EXPECT_TRUE(e2e::waitUntil([&] { return notify.statusSays({"; Weathercloud accepted at "}); }))
        << e2e::readFile(out);
    EXPECT_TRUE(e2e::waitUntil([&] { return notify.statusSays({"; PWSweather accepted ", ", catching up: "}); }))
        << e2e::readFile(out);
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("PWSweather: caught up") != std::string::npos; }))
        << e2e::readFile(out);
    EXPECT_TRUE(e2e::waitUntil([&] {
        const std::vector<Heard> statuses = notify.lines("STATUS=");
        return !statuses.empty() && statuses.back().line.find("; PWSweather accepted at ") != std::string::npos
            && statuses.back().line.find("catching up") == std::string::npos;
    })) << e2e::readFile(out);
    EXPECT_TRUE(e2e::waitUntil([&] { return petsKeptComing(notify, ready.at, PETS_TO_SEE); }, 60000))
        << petsKeptComing(notify, ready.at, PETS_TO_SEE).message();
    // Only what changed is sent, at most once a second.
    const std::vector<Heard> statuses = notify.lines("STATUS=");
    for (std::size_t i = 1; i < statuses.size(); ++i) {
        EXPECT_NE(statuses[i].line, statuses[i - 1].line);
        EXPECT_GE(statuses[i].at - statuses[i - 1].at, std::chrono::milliseconds(900));
    }
    stopService(service);

    // Started again on that archive, it is ready with its rows already
    // counted: the archive was open before it said so.
    service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return notify.lines("READY=1").size() == 2; })) << e2e::readFile(err);
    const std::vector<Heard> heard = notify.heard();
    std::size_t at = 0;
    while (at < heard.size() && !(heard[at].line == "READY=1" && heard[at].at > ready.at))
        ++at;
    ASSERT_LT(at + 1, heard.size());
    EXPECT_NE(heard[at + 1].line.find("archive: 50 console records"), std::string::npos) << heard[at + 1].line;
    service->signal(SIGTERM);
    int code = -1;
    EXPECT_TRUE(service->waitExit(&code));
    delete service;
}

// A console that falls silent in its history holds the main loop for a
// minute: the watchdog is petted all the same, and the status says so.
TEST_F(Notify, TheWatchdogIsPettedWhileADownloadHoldsTheMainLoop)
{
    Simulator simulator(dir, {"--history=120", "--history-interval=5", "--upload-interval=0", "--seed=52",
                              "--fault-record=41", "--stall"});
    Process* service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: downloading"); })) << e2e::readFile(err);
    ASSERT_TRUE(e2e::waitUntil([&] { return notify.statusSays({"downloading its history"}); }));
    const Clock::time_point stalled = Clock::now();
    EXPECT_TRUE(e2e::waitUntil([&] { return petsKeptComing(notify, stalled, PETS_TO_SEE); }, 40000))
        << petsKeptComing(notify, stalled, PETS_TO_SEE).message();
    // Still in the download: the console has not been given up yet.
    EXPECT_FALSE(logged("download stopped")) << e2e::readFile(out);
    stopService(service);
}

// An archive the service cannot open: no word of readiness, just the end.
TEST_F(Notify, NoReadinessWhenTheArchiveCannotBeOpened)
{
    e2e::writeFile(dir.path("data"), "a file where the archive's folder should be");
    Simulator simulator(dir, {"--upload-interval=0"});
    Process* service = startService(simulator);
    int code = 0;
    EXPECT_TRUE(service->waitExit(&code));
    EXPECT_NE(code, 0);
    delete service;
    notify.take();
    EXPECT_TRUE(notify.lines("READY=1").empty());
}

} // namespace

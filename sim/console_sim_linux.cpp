// aerovane-sim on Linux: serves a Unix SOCK_SEQPACKET socket the way the
// weather console serves its hidraw node: one 64-byte input report (no
// report-ID byte) or one 9-byte command (report ID 0 first) per message. All
// protocol decisions are in console_session, shared with the Windows build;
// this file only moves bytes and keeps time.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "sim/console_session.h"
#include "sim/event_output.h"
#include "sim/sim_options.h"

namespace {

constexpr int WRITE_LIMIT_MS = 5000;        // a program that stops reading is gone
constexpr std::size_t COMMAND_BUFFER = 64;  // commands are 9 bytes; more is odd input
constexpr int STOP_CHECK_MS = 200;          // how soon a signal ends an idle wait
constexpr const char WINDOWS_PIPE_PREFIX[] = "\\\\.\\pipe\\";

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int)
{
    stopRequested = 1;
}

struct Shell {
    int connection;
    FILE* log;
    bool verbose;
};

std::uint64_t nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000u + static_cast<std::uint64_t>(t.tv_nsec) / 1000000u;
}

// hidraw carries input reports without the report-ID byte the Windows
// pipe keeps in front.
int writeReport(void* context, const EncodedReport& report)
{
    Shell& shell = *static_cast<Shell*>(context);
    pollfd ready{shell.connection, POLLOUT, 0};
    if (poll(&ready, 1, WRITE_LIMIT_MS) <= 0 || (ready.revents & POLLOUT) == 0)
        return 0;
    const ssize_t sent = send(shell.connection, report.data() + 1, report.size() - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    return sent == static_cast<ssize_t>(report.size() - 1) ? 1 : 0;
}

void onEvent(void* context, bool detail, const char* line)
{
    const Shell& shell = *static_cast<const Shell*>(context);
    writeEventLine(shell.log, shell.verbose, detail, line);
}

ClockTime hostClock(void*)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ClockTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
}

// One connection, until the program goes away, the session asks to close
// or a signal stops the simulator. The console keeps its clock as the
// program left it.
void serve(Shell& shell, const SimOptions& options, SimClock& clock)
{
    ConsoleSession session;
    startSession(session, options, clock, SessionIo{&writeReport, &onEvent, &hostClock, &shell}, nowMs());
    while (!session.closeRequested && stopRequested == 0) {
        const std::uint64_t now = nowMs();
        const std::uint64_t due = sessionNextDeadline(session, now);
        std::uint64_t wait = due > now ? due - now : 0;
        if (wait > STOP_CHECK_MS)
            wait = STOP_CHECK_MS;
        pollfd readable{shell.connection, POLLIN, 0};
        const int woken = poll(&readable, 1, static_cast<int>(wait));
        if (woken < 0 && errno != EINTR)
            break;
        if (woken > 0) {
            std::uint8_t buffer[COMMAND_BUFFER];
            // MSG_TRUNC: the message's whole length even when it is longer
            // than the buffer, so an oversized one is reported as such.
            const ssize_t got = recv(shell.connection, buffer, sizeof buffer, MSG_TRUNC | MSG_DONTWAIT);
            if (got == 0)
                break;
            if (got < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                break;
            }
            sessionCommand(session, buffer, static_cast<std::size_t>(got), nowMs());
        }
        sessionTick(session, nowMs());
    }
    clock = session.clock;
}

// A socket file left by a simulator that died is taken over; one that
// still answers belongs to a running simulator, which keeps it.
bool listenOn(int server, const sockaddr_un& address)
{
    if (bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return listen(server, 1) == 0;
    if (errno != EADDRINUSE)
        return false;
    const int probe = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    if (probe < 0)
        return false;
    const bool alive = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    if (alive) {
        errno = EADDRINUSE;
        return false;
    }
    unlink(address.sun_path);
    return bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && listen(server, 1) == 0;
}

// The Windows default names a pipe; here the console is a socket file.
std::string socketPath(const SimOptions& options)
{
    if (std::strncmp(options.pipeName, WINDOWS_PIPE_PREFIX, sizeof WINDOWS_PIPE_PREFIX - 1) != 0)
        return options.pipeName;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime && *runtime ? runtime : "/tmp") + "/aerovane-console";
}

// Waits for the program; -1 when a signal came first or accept failed.
int waitForProgram(int server)
{
    while (stopRequested == 0) {
        pollfd readable{server, POLLIN, 0};
        const int woken = poll(&readable, 1, STOP_CHECK_MS);
        if (woken < 0 && errno != EINTR)
            return -1;
        if (woken > 0)
            return accept(server, nullptr, nullptr);
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    // "--socket=PATH" reads better here than the Windows "--pipe=NAME",
    // which is accepted too.
    std::vector<std::string> args(argv, argv + argc);
    for (std::string& a : args)
        if (a.rfind("--socket=", 0) == 0)
            a = "--pipe=" + a.substr(9);
    std::vector<const char*> pointers;
    for (const std::string& a : args)
        pointers.push_back(a.c_str());

    static SimOptions options;
    const int ended = takeSimCommandLine(argc, pointers.data(), options, SIM_SOCKET_HELP);
    if (ended >= 0)
        return ended;

    const std::string path = socketPath(options);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "aerovane-sim: the socket path must hold 1 to %zu bytes: %s\n",
                     sizeof address.sun_path - 1, path.c_str());
        return 2;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    Shell shell{-1, nullptr, options.verbose};
    if (options.logPath[0]) {
        shell.log = std::fopen(options.logPath, "ab");
        if (!shell.log) {
            std::fprintf(stderr, "aerovane-sim: cannot open the log file %s\n", options.logPath);
            return 1;
        }
    }

    struct sigaction stop{};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    SimClock clock{};
    clock.baseMs = nowMs();
    if (options.fixedStart) {
        clock.baseMinute = minutesFromCivil(options.start);
    } else {
        const ClockTime t = hostClock(nullptr);
        clock.baseMinute = minutesFromCivil(SimDateTime{t.year, t.month, t.day, t.hour, t.minute});
        clock.baseSecond = t.second;
    }

    const int server = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (server < 0 || !listenOn(server, address)) {
        std::fprintf(stderr, "aerovane-sim: cannot listen on %s: %s\n", path.c_str(), std::strerror(errno));
        if (server >= 0)
            close(server);
        if (shell.log)
            std::fclose(shell.log);
        return 1;
    }
    onEvent(&shell, false, ("listening " + path).c_str());

    while (stopRequested == 0) {
        shell.connection = waitForProgram(server);
        if (shell.connection < 0) {
            if (stopRequested == 0)
                usleep(100 * 1000); // accept failing (out of descriptors): no busy loop
            continue;
        }
        onEvent(&shell, false, "connected");
        serve(shell, options, clock);
        close(shell.connection);
        shell.connection = -1;
        onEvent(&shell, false, "disconnected");
        if (options.once)
            break;
    }
    close(server);
    unlink(path.c_str());
    if (shell.log)
        std::fclose(shell.log);
    return 0;
}

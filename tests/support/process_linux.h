// Running the real programs from the Linux end-to-end tests: the aerovane
// binary and the native console simulator, each in a process of its own
// with its output in files, ended by a signal like a user or systemd ends
// them. Every wait has a generous deadline and polls a condition; no test
// sleeps for a fixed time.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

#include "readings/station_record.h"

namespace e2e {

constexpr int DEADLINE_MS = 30000;

// A fresh directory under the test temporary directory, removed with its
// files when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return dir + "/" + name; }

private:
    std::string dir;
};

class Process {
public:
    // Starts args[0] with the rest as its arguments; stdout and stderr go
    // to the two files. `terminal`: stdout and stderr are a pseudo-terminal
    // instead, whose output is collected into stdoutPath. `pendingSignal`:
    // the program starts with that signal blocked and already pending, as
    // if a user pressed Ctrl-C at its first instruction (no race with its
    // start-up). `environment`: "NAME=VALUE" added to the program's
    // environment; a VALUE of "$PID" becomes the program's own process id
    // (as systemd gives WATCHDOG_PID).
    Process(const std::vector<std::string>& args, const std::string& stdoutPath, const std::string& stderrPath,
            bool terminal = false, int pendingSignal = 0, const std::vector<std::string>& environment = {});
    ~Process(); // kills a process still running
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void signal(int number);
    // Waits for the end; true with the exit code (128 + signal number for
    // a signal) when it came before the deadline.
    bool waitExit(int* exitCode, int timeoutMs = DEADLINE_MS);
    bool running();
    pid_t id() const { return pid; }

private:
    void pumpTerminal();
    pid_t pid = -1;
    int terminalFd = -1;
    std::string terminalOut;
    bool exited = false;
    int code = -1;
};

// Ends a helper process of a test (a server, a broker) with SIGTERM and
// waits for it; nothing when there is none.
void endProcess(std::unique_ptr<Process>& process);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text, unsigned mode = 0600);
bool fileExists(const std::string& path);

// Polls `condition` every 20 ms until it holds or the deadline passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = DEADLINE_MS);

// The lines of a file that start with `prefix`.
std::vector<std::string> linesStartingWith(const std::string& path, const std::string& prefix);

// The native console simulator on a socket of its own, with its event log.
class Simulator {
public:
    Simulator(const TempDir& dir, const std::vector<std::string>& options, const std::string& name = "console");
    ~Simulator();
    const std::string& socket() const { return socketPath; }
    const std::string& log() const { return logPath; }
    // Ends it with SIGTERM and waits; the socket file goes with it.
    void stop();
    // Starts it again on the same socket with the same options.
    void restart();

private:
    void start();
    std::vector<std::string> args;
    std::string socketPath;
    std::string logPath;
    std::string outPath;
    Process* process = nullptr;
};

// The history records the simulator finished sending ("history N COUNT ok
// LINE" in its log), in the order it sent them.
std::vector<StationRecord> sentHistory(const Simulator& simulator);

// The programs under test (paths from the build).
std::string aerovaneBinary();
std::string simulatorBinary();

} // namespace e2e

#include "tests/support/process_linux.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace e2e {

namespace {

std::vector<char*> argv(const std::vector<std::string>& args)
{
    std::vector<char*> out;
    for (const std::string& a : args)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

// A tree cross-built for another architecture runs its own programs under
// the emulator it was configured with (words separated by spaces).
std::vector<std::string> emulated(const std::vector<std::string>& args)
{
#ifdef TEST_PROGRAM_EMULATOR
    std::vector<std::string> out;
    std::istringstream words(TEST_PROGRAM_EMULATOR);
    for (std::string word; words >> word;)
        out.push_back(word);
    out.insert(out.end(), args.begin(), args.end());
    return out;
#else
    return args;
#endif
}

// The program's environment: this one's with `environment` over it. A
// "$PID" value is left as room for the digits, which the child writes in
// (after a fork only async-signal-safe work: no allocation).
class Environment {
public:
    explicit Environment(const std::vector<std::string>& environment)
    {
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            bool replaced = false;
            for (const std::string& own : environment) {
                const std::size_t name = own.find('=');
                replaced = replaced || (name != std::string::npos && text.compare(0, name + 1, own, 0, name + 1) == 0);
            }
            if (!replaced)
                entries.push_back(text);
        }
        for (const std::string& own : environment) {
            const std::size_t equals = own.find('=');
            if (equals == std::string::npos)
                continue;
            if (own.compare(equals + 1, std::string::npos, "$PID") == 0) {
                pidEntry = entries.size();
                pidAt = equals + 1;
                entries.push_back(own.substr(0, equals + 1) + std::string(20, '\0'));
            } else {
                entries.push_back(own);
            }
        }
        for (std::string& entry : entries)
            pointers.push_back(entry.data());
        pointers.push_back(nullptr);
    }

    // In the child.
    char** forChild()
    {
        if (pidEntry != std::string::npos) {
            char digits[20];
            int count = 0;
            for (long pid = getpid(); pid > 0 && count < 20; pid /= 10)
                digits[count++] = static_cast<char>('0' + pid % 10);
            char* value = pointers[pidEntry] + pidAt;
            for (int i = 0; i < count; ++i)
                value[i] = digits[count - 1 - i];
        }
        return pointers.data();
    }

private:
    std::vector<std::string> entries;
    std::vector<char*> pointers;
    std::size_t pidEntry = std::string::npos;
    std::size_t pidAt = 0;
};

int decode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

TempDir::TempDir()
{
    std::string base = ::testing::TempDir();
    if (base.empty() || base.back() != '/')
        base += '/';
    std::string pattern = base + "aerovane-e2e-XXXXXX";
    if (mkdtemp(pattern.data()))
        dir = pattern;
}

TempDir::~TempDir()
{
    if (!dir.empty())
        std::system(("rm -rf '" + dir + "'").c_str());
}

Process::Process(const std::vector<std::string>& args, const std::string& stdoutPath, const std::string& stderrPath,
                 bool terminal, int pendingSignal, const std::vector<std::string>& environment)
{
    const std::vector<std::string> command = emulated(args);
    std::vector<char*> arguments = argv(command);
    Environment programEnvironment(environment);
    if (terminal) {
        terminalOut = stdoutPath;
        pid = forkpty(&terminalFd, nullptr, nullptr, nullptr);
        if (pid == 0) {
            execve(arguments[0], arguments.data(), programEnvironment.forChild());
            _exit(127);
        }
        return;
    }
    pid = fork();
    if (pid == 0) {
        const int out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (pendingSignal != 0) {
            // A blocked signal stays pending through execv.
            sigset_t only;
            sigemptyset(&only);
            sigaddset(&only, pendingSignal);
            sigprocmask(SIG_BLOCK, &only, nullptr);
            raise(pendingSignal);
        }
        execve(arguments[0], arguments.data(), programEnvironment.forChild());
        _exit(127);
    }
}

Process::~Process()
{
    if (running()) {
        kill(pid, SIGKILL);
        int unused = 0;
        waitExit(&unused, 5000);
    }
    if (terminalFd >= 0)
        close(terminalFd);
}

void Process::pumpTerminal()
{
    if (terminalFd < 0)
        return;
    char chunk[4096];
    for (;;) {
        pollfd readable{terminalFd, POLLIN, 0};
        if (poll(&readable, 1, 0) <= 0)
            return;
        const ssize_t got = read(terminalFd, chunk, sizeof chunk);
        if (got <= 0)
            return;
        std::ofstream(terminalOut, std::ios::app | std::ios::binary).write(chunk, got);
    }
}

void Process::signal(int number)
{
    if (running())
        kill(pid, number);
}

bool Process::running()
{
    if (exited || pid <= 0)
        return false;
    pumpTerminal();
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        code = decode(status);
        pumpTerminal();
        return false;
    }
    return true;
}

bool Process::waitExit(int* exitCode, int timeoutMs)
{
    const bool ended = waitUntil([this] { return !running(); }, timeoutMs);
    *exitCode = code;
    return ended;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text, unsigned mode)
{
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), mode);
}

bool fileExists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::string> linesStartingWith(const std::string& path, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
    return lines;
}

Simulator::Simulator(const TempDir& dir, const std::vector<std::string>& options, const std::string& name)
    : socketPath(dir.path(name + ".sock")), logPath(dir.path(name + ".log")), outPath(dir.path(name + ".out"))
{
    args = {simulatorBinary(), "--socket=" + socketPath, "--log=" + logPath};
    args.insert(args.end(), options.begin(), options.end());
    start();
}

Simulator::~Simulator()
{
    stop();
}

void Simulator::start()
{
    const std::size_t listening = linesStartingWith(logPath, "listening").size();
    process = new Process(args, outPath, outPath + ".err");
    EXPECT_TRUE(waitUntil([&] { return linesStartingWith(logPath, "listening").size() > listening; }))
        << readFile(outPath + ".err");
}

void Simulator::stop()
{
    if (!process)
        return;
    process->signal(SIGTERM);
    int code = 0;
    EXPECT_TRUE(process->waitExit(&code));
    delete process;
    process = nullptr;
}

void Simulator::restart()
{
    stop();
    start();
}

std::string aerovaneBinary()
{
    return AEROVANE_BINARY;
}

std::string simulatorBinary()
{
    return AEROVANE_SIM_BINARY;
}

std::vector<StationRecord> sentHistory(const Simulator& simulator)
{
    std::vector<StationRecord> slots;
    for (const std::string& line : linesStartingWith(simulator.log(), "history ")) {
        // "history N COUNT STATUS LINE"
        std::size_t at = 0;
        for (int word = 0; word < 4 && at != std::string::npos; ++word)
            at = line.find(' ', at + 1);
        if (at == std::string::npos || line.compare(line.rfind(' ', at - 1) + 1, 3, "ok ") != 0)
            continue;
        StationRecord slot{};
        const std::string text = line.substr(at + 1);
        std::memcpy(slot.text, text.data(), std::min(text.size(), STATION_RECORD_SIZE - 1));
        slots.push_back(slot);
    }
    return slots;
}

void endProcess(std::unique_ptr<Process>& process)
{
    if (!process)
        return;
    process->signal(SIGTERM);
    int code = 0;
    process->waitExit(&code);
    process.reset();
}

} // namespace e2e

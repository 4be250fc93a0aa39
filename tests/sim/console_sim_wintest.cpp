// aerovane-sim.exe as the program meets it: started as its own process, then
// talked to over its named pipe with the program's CreateFileW flags, 65-byte
// reports read and 9-byte commands written. Every wait has a limit.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/crc16.h"
#include "readings/station_fields.h"
#include "sim/report_encoder.h"

namespace {

constexpr DWORD LIMIT_MS = 60000; // never waited out when the simulator is right
constexpr DWORD QUIET_MS = 1500; // longer than the simulator's time-out below

std::wstring besideThisExe(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + name;
}

std::wstring tempFile()
{
    wchar_t dir[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"sim", 0, file);
    return file;
}

std::string readFile(const std::wstring& path)
{
    std::string text;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

struct SimProcess {
    PROCESS_INFORMATION info{};

    bool start(const std::wstring& args, HANDLE output = nullptr)
    {
        std::wstring command = L"\"" + besideThisExe(L"aerovane-sim.exe") + L"\" " + args;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (output) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = output;
            startup.hStdError = output;
        }
        return CreateProcessW(nullptr, command.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                              nullptr, &startup, &info) != FALSE;
    }
    DWORD waitExit(DWORD limit)
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(info.hProcess, limit) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    ~SimProcess()
    {
        if (!info.hProcess)
            return;
        TerminateProcess(info.hProcess, 9);
        WaitForSingleObject(info.hProcess, LIMIT_MS);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

enum ReadResult { READ_OK, READ_TIMEOUT, READ_BROKEN };

// The program's end of the pipe. A read that times out stays pending, so a
// later read picks up the report it was waiting for.
struct Client {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    bool pending = false;
    EncodedReport buffer{};

    bool open(const std::wstring& name)
    {
        const ULONGLONG end = GetTickCount64() + LIMIT_MS;
        while (GetTickCount64() < end) {
            pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
            if (pipe != INVALID_HANDLE_VALUE)
                return true;
            Sleep(50);
        }
        return false;
    }
    ReadResult read(EncodedReport& out, DWORD limit = LIMIT_MS)
    {
        if (!pending) {
            overlapped = OVERLAPPED{};
            overlapped.hEvent = readEvent;
            ResetEvent(readEvent);
            if (!ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING)
                return READ_BROKEN;
            pending = true;
        }
        if (WaitForSingleObject(readEvent, limit) != WAIT_OBJECT_0)
            return READ_TIMEOUT;
        pending = false;
        DWORD got = 0;
        if (!GetOverlappedResult(pipe, &overlapped, &got, FALSE) || got != buffer.size())
            return READ_BROKEN;
        out = buffer;
        return READ_OK;
    }
    bool write(const CommandReport& command)
    {
        OVERLAPPED o{};
        o.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD written = 0;
        bool ok = WriteFile(pipe, command.data(), static_cast<DWORD>(command.size()), nullptr, &o) ||
                  GetLastError() == ERROR_IO_PENDING;
        ok = ok && WaitForSingleObject(o.hEvent, LIMIT_MS) == WAIT_OBJECT_0 &&
             GetOverlappedResult(pipe, &o, &written, FALSE) && written == command.size();
        CloseHandle(o.hEvent);
        return ok;
    }
    ~Client()
    {
        if (pipe != INVALID_HANDLE_VALUE) {
            if (pending) {
                DWORD got = 0;
                CancelIoEx(pipe, &overlapped);
                GetOverlappedResult(pipe, &overlapped, &got, TRUE);
            }
            CloseHandle(pipe);
        }
        CloseHandle(readEvent);
    }
};

bool intact(const EncodedReport& r)
{
    const std::uint16_t crc = crc16(r.data(), 1, 62);
    return r[62] == (crc >> 8) && r[63] == (crc & 0xFF);
}

class ConsoleSimTest : public ::testing::Test {
protected:
    // Starts the simulator on a pipe of its own, quiet unless a test asks
    // for a schedule, and connects to it.
    void serve(const std::wstring& extra)
    {
        static int serial = 0;
        pipeName = L"\\\\.\\pipe\\aerovane-simtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(++serial);
        logPath = tempFile();
        const std::wstring args = L"--pipe=" + pipeName + L" --log=\"" + logPath +
                                  L"\" --live-interval=0 --upload-interval=0 --clock-interval=0 "
                                  L"--ack-timeout=300 --seed=3 " + extra;
        ASSERT_TRUE(sim.start(args));
        ASSERT_TRUE(client.open(pipeName));
    }

    // Acknowledges every packet of one message and returns its text; the
    // first report goes to `first` when asked.
    std::string receive(std::uint8_t kind, EncodedReport* first = nullptr)
    {
        std::string text;
        for (int packet = 1; packet <= 15; ++packet) {
            EncodedReport r;
            EXPECT_EQ(READ_OK, client.read(r));
            if (::testing::Test::HasFailure())
                return text;
            EXPECT_EQ(kind, r[1]);
            EXPECT_TRUE(intact(r));
            EXPECT_EQ(packet, r[6] & 15);
            if (first && packet == 1)
                *first = r;
            text.append(reinterpret_cast<const char*>(&r[8]), r[7]);
            client.write(kind == 0xFE ? CMD_RECORD_ACK : CMD_ACK);
            if ((r[6] >> 4) == (r[6] & 15))
                break;
        }
        return text;
    }

    std::vector<std::string> logLines(const std::string& prefix)
    {
        std::vector<std::string> out;
        const std::string text = readFile(logPath);
        for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(at, end - at);
            if (line.compare(0, prefix.size(), prefix) == 0)
                out.push_back(line);
        }
        return out;
    }

    // The simulator logs a message once the program's last answer reached
    // it, which may be a moment after our write returned.
    std::vector<std::string> logLinesOnceWritten(const std::string& prefix, std::size_t count)
    {
        std::vector<std::string> out = logLines(prefix);
        for (DWORD start = GetTickCount(); out.size() < count && GetTickCount() - start < LIMIT_MS;) {
            Sleep(20);
            out = logLines(prefix);
        }
        return out;
    }

    void TearDown() override
    {
        if (!logPath.empty())
            DeleteFileW(logPath.c_str());
    }

    SimProcess sim;
    Client client;
    std::wstring pipeName;
    std::wstring logPath;
};

std::size_t filledFields(const std::string& line)
{
    StationFields fields;
    parseStationRecord(line.c_str(), line.size() + 1, fields);
    std::size_t n = 0;
    for (std::size_t i = 0; i < STATION_FIELD_COUNT; ++i)
        n += fields.text[i][0] != L'\0';
    return line.find("  ") == std::string::npos && std::count(line.begin(), line.end(), ' ') == 35 ? n : 0;
}

} // namespace

TEST(ConsoleSimCommandLine, HelpExitsZeroAndAnUnknownOptionExitsTwo)
{
    const std::wstring out = tempFile();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    {
        SimProcess help;
        ASSERT_TRUE(help.start(L"--help", file));
        EXPECT_EQ(0u, help.waitExit(LIMIT_MS));
        SimProcess bad;
        ASSERT_TRUE(bad.start(L"--history=70000", file));
        EXPECT_EQ(2u, bad.waitExit(LIMIT_MS));
    }
    CloseHandle(file);
    const std::string text = readFile(out);
    DeleteFileW(out.c_str());
    for (const char* option : {"--pipe=NAME", "--history=N", "--bad-crc-every=K", "--vanish-after=M", "--log=FILE"})
        EXPECT_NE(std::string::npos, text.find(option)) << option;
    EXPECT_NE(std::string::npos, text.find("--history=70000"));
}

TEST_F(ConsoleSimTest, ReadCurrentGetsALiveLineAndANakOrSilenceGetsThePacketAgain)
{
    serve(L"--once");
    ASSERT_TRUE(client.write(CMD_READ_CURRENT));
    EncodedReport first, again, repeat;
    ASSERT_EQ(READ_OK, client.read(first));
    EXPECT_EQ(0xFE, first[1]);
    EXPECT_EQ(0, first[2] | first[3]); // live
    EXPECT_EQ(1, first[6] & 15);
    ASSERT_TRUE(client.write(CMD_RECORD_NAK));
    ASSERT_EQ(READ_OK, client.read(again));
    EXPECT_EQ(first, again);
    ASSERT_EQ(READ_OK, client.read(repeat)); // no answer: repeated after 300 ms
    EXPECT_EQ(first, repeat);
    ASSERT_TRUE(client.write(CMD_RECORD_ACK));

    std::string line(reinterpret_cast<const char*>(&first[8]), first[7]);
    for (int packet = 2; packet <= 15; ++packet) {
        EncodedReport r;
        ASSERT_EQ(READ_OK, client.read(r));
        ASSERT_EQ(packet, r[6] & 15);
        line.append(reinterpret_cast<const char*>(&r[8]), r[7]);
        ASSERT_TRUE(client.write(CMD_RECORD_ACK));
        if ((r[6] >> 4) == packet)
            break;
    }
    EXPECT_EQ(36u, filledFields(line)) << line;
    EXPECT_EQ(std::vector<std::string>{"live ok " + line}, logLinesOnceWritten("live ", 1));
}

TEST_F(ConsoleSimTest, HistoryOfFiveRecordsCarriesCountFiveAndIsLoggedAsSent)
{
    serve(L"--history=5 --once");
    ASSERT_TRUE(client.write(CMD_READ_HISTORY));
    std::vector<std::string> lines;
    for (int n = 1; n <= 5; ++n) {
        EncodedReport first{};
        lines.push_back(receive(0xFE, &first));
        ASSERT_FALSE(HasFailure());
        EXPECT_EQ(5, first[2] * 256 + first[3]);
        EXPECT_EQ(n, first[4] * 256 + first[5]);
        EXPECT_EQ(36u, filledFields(lines.back())) << lines.back();
    }
    EncodedReport extra;
    EXPECT_EQ(READ_TIMEOUT, client.read(extra, QUIET_MS));
    const std::vector<std::string> logged = logLinesOnceWritten("history ", 5);
    ASSERT_EQ(5u, logged.size());
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ("history " + std::to_string(n + 1) + " 5 ok " + lines[n], logged[n]);
}

TEST_F(ConsoleSimTest, StopEndsATransferAndLiveRequestsAreStillServed)
{
    serve(L"--history=50");
    ASSERT_TRUE(client.write(CMD_READ_HISTORY));
    receive(0xFE);
    receive(0xFE);
    EncodedReport r;
    ASSERT_EQ(READ_OK, client.read(r)); // record 3 in flight, left unanswered
    ASSERT_TRUE(client.write(CMD_STOP));
    ASSERT_TRUE(client.write(CMD_READ_CURRENT));
    // Record 3 may come again before the live answer: its time-out can run
    // out before the simulator reads the stop. Nothing else may.
    EncodedReport packet{};
    do {
        ASSERT_EQ(READ_OK, client.read(packet));
    } while (packet == r);
    EXPECT_EQ(0xFE, packet[1]);
    EXPECT_EQ(0, packet[2] | packet[3]) << "history after the stop";
    ASSERT_EQ(1, packet[6] & 15);
    for (;;) {
        ASSERT_TRUE(client.write(CMD_RECORD_ACK));
        if ((packet[6] >> 4) == (packet[6] & 15))
            break;
        ASSERT_EQ(READ_OK, client.read(packet));
    }
    EXPECT_EQ(READ_TIMEOUT, client.read(r, QUIET_MS)) << "the transfer went on after the stop";
}

TEST_F(ConsoleSimTest, NoHistoryIsAnsweredWithFourFfBytes)
{
    serve(L"--no-history --once");
    ASSERT_TRUE(client.write(CMD_READ_HISTORY));
    EncodedReport r;
    ASSERT_EQ(READ_OK, client.read(r));
    EXPECT_EQ(0xFE, r[1]);
    EXPECT_EQ(0xFFFFFFFFu, static_cast<unsigned>(r[2] << 24 | r[3] << 16 | r[4] << 8 | r[5]));
}

TEST_F(ConsoleSimTest, ClockRequestIsFollowedByACheckOfTheClockSent)
{
    serve(L"--clock-interval=300 --once");
    EncodedReport first{};
    receive(0xFA, &first);
    EXPECT_EQ(3, first[2]);
    SYSTEMTIME t;
    GetLocalTime(&t);
    const ClockTime now{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    ASSERT_TRUE(client.write(makeSetDateCommand(now)));
    Sleep(100);
    ASSERT_TRUE(client.write(makeSetTimeCommand(now)));
    const std::vector<std::string> checks = logLinesOnceWritten("clock ", 1);
    ASSERT_EQ(1u, checks.size());
    EXPECT_EQ(0u, checks[0].find("clock ok ")) << checks[0];
}

TEST_F(ConsoleSimTest, UploadTextsArriveAsTheirOwnKinds)
{
    serve(L"--upload-interval=300 --once");
    const std::string wu = receive(0xFB);
    const std::string wc = receive(0xF1);
    EXPECT_EQ(0u, wu.find("dateutc=now&")) << wu;
    EXPECT_NE(std::string::npos, wu.find("&humidity=")) << wu;
    EXPECT_EQ(0u, wc.find('/')) << wc;
}

TEST_F(ConsoleSimTest, DamagedRunThenVanishingMidTransferEndsTheProcess)
{
    serve(L"--history=10 --vanish-after=3 --bad-crc-run=2 --fault-record=2 --once");
    ASSERT_TRUE(client.write(CMD_READ_HISTORY));
    receive(0xFE);
    EncodedReport r;
    for (int bad = 0; bad < 2; ++bad) {
        ASSERT_EQ(READ_OK, client.read(r));
        EXPECT_FALSE(intact(r));
        EXPECT_EQ(2, r[5]);
        ASSERT_TRUE(client.write(CMD_RECORD_NAK));
    }
    receive(0xFE);
    receive(0xFE);
    EXPECT_EQ(READ_BROKEN, client.read(r));
    EXPECT_EQ(0u, sim.waitExit(LIMIT_MS));
}

TEST_F(ConsoleSimTest, ServesTheNextConnectionAfterADisconnect)
{
    serve(L"--verbose");
    ASSERT_TRUE(client.write(CMD_READ_CURRENT));
    receive(0xFE);
    {
        Client gone;
        std::swap(gone.pipe, client.pipe);
    }
    Client second;
    ASSERT_TRUE(second.open(pipeName));
    ASSERT_TRUE(second.write(CMD_READ_CURRENT));
    EncodedReport r;
    ASSERT_EQ(READ_OK, second.read(r));
    EXPECT_EQ(0xFE, r[1]);
    EXPECT_EQ(STILL_ACTIVE, sim.waitExit(0));
}

#include "tests/support/simulator_process_win.h"

#include <cstdio>

namespace {

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

} // namespace

std::wstring besideThisExe(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

bool startSimulator(SimulatorProcess& simulator, const std::wstring& pipe, const std::wstring& options,
                    DWORD timeoutMs)
{
    std::wstring command = L"\"" + besideThisExe(L"aerovane-sim.exe") + L"\" --pipe=" + pipe + L" " + options;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                       OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    simulator.info = PROCESS_INFORMATION{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &simulator.info);
    CloseHandle(nowhere);
    if (!started)
        return false;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!WaitNamedPipeW(pipe.c_str(), 100)) {
        if (GetTickCount64() > deadline || WaitForSingleObject(simulator.info.hProcess, 0) == WAIT_OBJECT_0)
            return false;
        Sleep(50);
    }
    return true;
}

bool endSimulator(SimulatorProcess& simulator, DWORD timeoutMs)
{
    if (!simulator.info.hProcess)
        return true;
    bool ended = WaitForSingleObject(simulator.info.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(simulator.info.hProcess, 9);
        WaitForSingleObject(simulator.info.hProcess, timeoutMs);
    }
    CloseHandle(simulator.info.hProcess);
    CloseHandle(simulator.info.hThread);
    simulator.info = PROCESS_INFORMATION{};
    return ended;
}

void killSimulator(SimulatorProcess& simulator)
{
    if (simulator.info.hProcess)
        TerminateProcess(simulator.info.hProcess, 9);
    endSimulator(simulator, 5000);
}

std::vector<std::string> linesOf(const std::wstring& path)
{
    std::vector<std::string> lines;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return lines;
    std::string line;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c == '\n') {
            while (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    std::fclose(file);
    return lines;
}

std::vector<LoggedRecord> loggedHistory(const std::wstring& logPath, int count)
{
    std::vector<LoggedRecord> records;
    const std::string total = " " + std::to_string(count) + " ";
    for (const std::string& line : linesOf(logPath)) {
        if (line.compare(0, 8, "history ") != 0)
            continue;
        // history <n> <count> <status> <record>
        const std::size_t numberEnd = line.find(' ', 8);
        if (numberEnd == std::string::npos || line.compare(numberEnd, total.size(), total) != 0)
            continue;
        const std::size_t statusStart = numberEnd + total.size();
        const std::size_t statusEnd = line.find(' ', statusStart);
        if (statusEnd == std::string::npos)
            continue;
        LoggedRecord record;
        record.number = static_cast<unsigned>(std::stoul(line.substr(8, numberEnd - 8)));
        record.status = line.substr(statusStart, statusEnd - statusStart);
        record.text = line.substr(statusEnd + 1);
        records.push_back(record);
    }
    return records;
}

std::vector<std::string> exportedRows(const std::wstring& path, std::string& problem)
{
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) {
        problem = "no file";
        return {};
    }
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    std::fclose(file);
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE' || bytes.size() % 2 != 0) {
        problem = "not UTF-16LE with a mark";
        return {};
    }
    std::string text;
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
        if (bytes[i + 1] != 0 && !(bytes[i] == '\xB0' && bytes[i + 1] == 0)) {
            problem = "a character beyond 8 bits";
            return {};
        }
        text += bytes[i];
    }
    // The header's two-line titles hold CR LF; rows end in a bare LF.
    const std::size_t unitRow = text.find("\n yy-mm-dd ");
    if (unitRow == std::string::npos) {
        problem = "no unit row";
        return {};
    }
    std::vector<std::string> rows = split(text.substr(text.find('\n', unitRow + 1) + 1), '\n');
    if (rows.empty() || !rows.back().empty())
        problem = "the last row has no LF";
    rows.pop_back();
    return rows;
}

std::string expectedRow(const std::string& record)
{
    static const int COLUMN_FIELDS[33] = {1,  2,  13, 3,  4,  5,  6,  16, 17, 9,  10, 32, 12, 8,  33, 7,  34,
                                          35, 15, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
    const std::vector<std::string> fields = split(record, ' ');
    std::string row;
    for (int i = 0; i < 33; ++i) {
        const std::size_t field = static_cast<std::size_t>(COLUMN_FIELDS[i]);
        row += (i ? "\t " : " ") + (field < fields.size() ? fields[field] : "") + " ";
    }
    return row;
}

bool fileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string fileBytes(const std::wstring& path)
{
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return bytes;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

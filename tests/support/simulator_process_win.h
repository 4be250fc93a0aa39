// The console simulator (aerovane-sim.exe, built beside the tests) as a
// child process of a test, and the export file and simulator log read back
// for comparison. Every wait is bounded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SimulatorProcess {
    PROCESS_INFORMATION info{};
};

// A file beside the running test exe.
std::wstring besideThisExe(const wchar_t* name);

// Starts the simulator serving `pipe` with `options` (its output goes
// nowhere) and waits up to timeoutMs for the pipe to exist. False when it
// could not be started or never listened.
bool startSimulator(SimulatorProcess& simulator, const std::wstring& pipe, const std::wstring& options,
                    DWORD timeoutMs);
// Waits up to timeoutMs for the simulator to end; when it does not, it is
// terminated and false returned. Harmless when none was started.
bool endSimulator(SimulatorProcess& simulator, DWORD timeoutMs);
// Ends it at once: the console vanishes as if unplugged.
void killSimulator(SimulatorProcess& simulator);

// The lines of a text file, CR LF or LF; empty when it cannot be read.
std::vector<std::string> linesOf(const std::wstring& path);

// The simulator's log lines "history <n> <count> <status> <record>" of
// transfers announcing `count` records, in order.
struct LoggedRecord {
    unsigned number;
    std::string status; // ok, given-up, faulted, abandoned
    std::string text;   // the observation line
};
std::vector<LoggedRecord> loggedHistory(const std::wstring& logPath, int count);

// The data rows of a UTF-16LE export file as 8-bit text, after the mark,
// the header and the unit row; `problem` says what was wrong, if anything.
std::vector<std::string> exportedRows(const std::wstring& path, std::string& problem);

// The row the export writes for an observation line with the default
// units and every data set chosen: each value as the console sent it.
std::string expectedRow(const std::string& record);

// Whether a file exists at path.
bool fileExists(const std::wstring& path);
// The whole file; empty when it cannot be read.
std::string fileBytes(const std::wstring& path);

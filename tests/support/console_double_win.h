// A console played by the test itself: the server end of a message-mode
// named pipe, one 65-byte report per message to the program and one 9-byte
// command per message back. Every wait keeps dispatching the test thread's
// messages (the reader blocks in SendMessageW until they are) and has a
// time limit, so a broken program fails a test instead of hanging it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "link/commands.h"
#include "sim/report_encoder.h"

struct ConsoleDouble {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED connect{};
    OVERLAPPED read{};
    OVERLAPPED write{};
    bool connected = false;
};

// A pipe name no other test process uses.
std::wstring uniquePipeName(const wchar_t* tag);

// Creates the pipe and starts listening for the program. inBufferSize is
// the room for commands the double has not read yet.
bool openConsoleDouble(ConsoleDouble& console, const std::wstring& name, DWORD inBufferSize = 4096);
// Waits until the program has opened the pipe.
bool awaitProgram(ConsoleDouble& console, DWORD timeoutMs);
// The console vanishes: the program's pending read fails.
void closeConsoleDouble(ConsoleDouble& console);

// Writes one report as one message. With pump false the test thread's
// messages are not dispatched meanwhile.
bool sendReport(ConsoleDouble& console, const EncodedReport& report, DWORD timeoutMs,
                bool pump = true);
// The next command from the program; false when none came in time or it
// was not exactly 9 bytes (the size is given in `size` when asked).
bool receiveCommand(ConsoleDouble& console, CommandReport& command, DWORD timeoutMs,
                    DWORD* size = nullptr);
// Sends each report and collects the program's answer to it, as a console
// that waits for the answer before the next packet. False as soon as one
// answer fails to come.
bool sendAnswered(ConsoleDouble& console, const EncodedMessage& message,
                  std::vector<CommandReport>& answers, DWORD timeoutMs);

EncodedMessage encodeText(std::uint8_t kind, ReportHeader header, const std::string& text);

// An observation line as the console writes it: 36 space-separated values;
// `serial` goes into the minutes and the outdoor temperature so that lines
// differ.
std::string observationText(int serial);

// The service's log on stdout: one line per result, flushed at once for
// journald or a pipe. When stdout is the journal's stream (JOURNAL_STREAM
// names it, as systemd sets it) a line starts with its priority and has no
// time stamp, the journal keeping both; elsewhere it is stamped with this
// machine's local time. The program's notes on stderr ("aerovane: ...")
// take the priority the same way when stderr is the journal's stream.
#pragma once

#include <string>

#include "app/log_line.h"

// A result worth knowing, nothing wrong: info.
void printServiceLog(const std::string& text);
void printServiceLog(LogLevel level, const std::string& text);

// "aerovane: text" on stderr.
void printProgramNote(LogLevel level, const std::string& text);

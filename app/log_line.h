// Lines of the Linux program's log. Under systemd, stdout and stderr are a
// stream to the journal, which stamps each line itself and reads a leading
// "<N>" as the line's priority (the sd-daemon(3) convention): there a line
// starts with its priority and carries no time of its own, so
// `journalctl -p warning` shows exactly the problems. Elsewhere (a
// terminal, a file, a pipe) a line of the service's log starts with this
// machine's local time.
#pragma once

#include <string>

#include "link/commands.h"

enum class LogLevel { error, warning, info };

// "<3>", "<4>", "<6>": syslog's err, warning and info.
const char* journalPriority(LogLevel level);

// True when JOURNAL_STREAM's value ("DEVICE:INODE", both decimal, as
// systemd sets it) names the stream with this device and inode: that
// stream goes to the journal. False for a null, malformed or other value.
bool journalStreamIs(const char* value, unsigned long long device, unsigned long long inode);

// A line of the service's log, without its newline: "<4>text" for the
// journal, else "2026-03-07 09:05:30 text".
std::string serviceLogText(LogLevel level, bool toJournal, const ClockTime& at, const std::string& text);

// A note of the program (on stderr): "<6>aerovane: text" for the journal,
// else "aerovane: text".
std::string programNoteText(LogLevel level, bool toJournal, const std::string& text);

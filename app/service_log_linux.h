// The service's log on stdout: one line per result, stamped with this
// machine's local time, flushed at once for journald or a pipe.
#pragma once

#include <string>

void printServiceLog(const std::string& text);

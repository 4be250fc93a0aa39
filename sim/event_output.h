// Where the simulator's event lines go, the same in both builds: every line
// that is not a detail to stdout and to the --log file; details (each
// report and command) to stdout only with --verbose.
#pragma once

#include <cstdio>

void writeEventLine(std::FILE* log, bool verbose, bool detail, const char* line);

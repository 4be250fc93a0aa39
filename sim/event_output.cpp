#include "sim/event_output.h"

void writeEventLine(std::FILE* log, bool verbose, bool detail, const char* line)
{
    if (!detail || verbose) {
        std::printf("%s\n", line);
        std::fflush(stdout);
    }
    if (!detail && log) {
        std::fprintf(log, "%s\n", line);
        std::fflush(log);
    }
}

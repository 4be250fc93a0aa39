#include "app/service_log_linux.h"

#include <cstdio>

#include "link/station_link_linux.h"
#include "upload/upload_log.h"

void printServiceLog(const std::string& text)
{
    const std::string line = serviceLogLine(localClockTime(), text);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

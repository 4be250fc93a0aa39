#include "app/service_log_linux.h"

#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "link/station_link_linux.h"

namespace {

// systemd names the stream it connects; a descriptor redirected elsewhere
// by the user (aerovane run > file) keeps the stamps even in a service.
bool goesToJournal(int fd)
{
    struct stat info{};
    return fstat(fd, &info) == 0
        && journalStreamIs(std::getenv("JOURNAL_STREAM"), static_cast<unsigned long long>(info.st_dev),
                           static_cast<unsigned long long>(info.st_ino));
}

bool stdoutIsJournal()
{
    static const bool journal = goesToJournal(STDOUT_FILENO);
    return journal;
}

bool stderrIsJournal()
{
    static const bool journal = goesToJournal(STDERR_FILENO);
    return journal;
}

} // namespace

void printServiceLog(const std::string& text)
{
    printServiceLog(LogLevel::info, text);
}

void printServiceLog(LogLevel level, const std::string& text)
{
    const std::string line = serviceLogText(level, stdoutIsJournal(), localClockTime(), text);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void printProgramNote(LogLevel level, const std::string& text)
{
    const std::string line = programNoteText(level, stderrIsJournal(), text);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

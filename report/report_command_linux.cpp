#include "report/report_command_linux.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive.h"
#include "report/report_page.h"
#include "settings/data_paths_linux.h"

namespace {

constexpr std::int64_t YEAR_MINUTES = 365 * MINUTES_PER_DAY;

std::string failure(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// Writes all of `text` to a new file beside `target`, flushes it to the
// disk and renames it over `target`. The temporary file is removed on any
// failure.
int replaceFile(const std::string& target, const std::string& text, std::string& error)
{
    std::string temporary = folderOf(target) + "/.index.html.XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = failure("cannot write in", folderOf(target));
        return 0;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    // A web server runs as another user: the page is for everyone to read.
    const bool ok = written == text.size() && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    const int savedErrno = errno;
    if (close(fd) != 0 || !ok) {
        errno = ok ? errno : savedErrno;
        error = failure("cannot write", temporary);
        unlink(temporary.c_str());
        return 0;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        error = failure("cannot replace", target);
        unlink(temporary.c_str());
        return 0;
    }
    return 1;
}

} // namespace

int writeReportPage(Archive& archive, const std::string& folder, const UnitSettings& units, std::string& error)
{
    if (!makeFolders(folder)) {
        error = failure("cannot make the folder", folder);
        return 0;
    }
    StationRecord latestRecord;
    std::int64_t endMinute = 0;
    const bool any = archive.latestObservation(latestRecord, endMinute) == 1;
    ReportBuilder builder(endMinute);
    static StationFields latest;
    if (any) {
        parseStationRecord(&latestRecord, latest);
        if (!archive.forEachObservation(endMinute - YEAR_MINUTES, REPORT_SAMPLE_FIELDS, REPORT_SAMPLE_FIELD_COUNT,
                                        [&](std::int64_t minute, const double* values) {
                ReportSample sample;
                sample.minute = minute;
                std::memcpy(sample.value, values, sizeof sample.value);
                builder.add(sample);
            })) {
            error = "cannot read the archive: " + archive.lastError();
            return 0;
        }
    }
    const std::string page = builder.page(any ? &latest : nullptr, units);
    return replaceFile(folder + "/" + REPORT_PAGE_NAME, page, error);
}

int runReport(const CliOptions& options, const AppConfig& config)
{
    std::string error;
    auto archive = Archive::open(archivePathFor(options, config), ArchiveAccess::read, error);
    if (!archive || !writeReportPage(*archive, options.output, config.units, error)) {
        std::fprintf(stderr, "aerovane: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

#include "report/report_command_linux.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/exit_codes.h"
#include "app/stop_signal_linux.h"
#include "archive/archive.h"
#include "export/replace_file_linux.h"
#include "readings/local_zone_linux.h"
#include "report/report_page.h"
#include "settings/data_paths_linux.h"

namespace {

constexpr std::int64_t YEAR_MINUTES = 365 * MINUTES_PER_DAY;

std::string failure(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// Puts `text` in place of `target` only once it is all on the disk, so a
// web server never serves half a page.
int replaceFile(const std::string& target, const std::string& text, StopCheck stopRequested, std::string& error)
{
    ReplacingFile replacing;
    // A web server runs as another user: the page is for everyone to read.
    std::FILE* stream = createReplacing(target, replacing, 0644);
    if (!stream) {
        error = failure("cannot write in", folderOf(target));
        return 0;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const int why = errno;
    if (std::fclose(stream) != 0 || !written) {
        if (!written)
            errno = why;
        error = failure("cannot write", target);
        abandonReplacing(replacing);
        return 0;
    }
    // Stopped at the last moment: the old page stays.
    if (stopRequested && stopRequested()) {
        error = REPORT_STOPPED;
        abandonReplacing(replacing);
        return 0;
    }
    if (!commitReplacing(replacing)) {
        error = failure("cannot replace", target);
        return 0;
    }
    return 1;
}

} // namespace

int writeReportPage(Archive& archive, const std::string& folder, const UnitSettings& units, std::string& error,
                    StopCheck stopRequested)
{
    if (!makeFolders(folder, REPORT_FOLDER_MODE)) {
        error = failure("cannot make the folder", folder);
        return 0;
    }
    StationRecord latestRecord;
    std::int64_t endMinute = 0;
    // A record from a console whose clock ran ahead stays in the archive but
    // does not become the page's present.
    const bool any =
        archive.latestObservation(latestRecord, endMinute, localNowMinutes() + FUTURE_TOLERANCE_MINUTES) == 1;
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
    if (stopRequested && stopRequested()) {
        error = REPORT_STOPPED;
        return 0;
    }
    const std::string page = builder.page(any ? &latest : nullptr, units);
    return replaceFile(folder + "/" + REPORT_PAGE_NAME, page, stopRequested, error);
}

int runReport(const CliOptions& options, const AppConfig& config)
{
    std::string error;
    const std::string path = archivePathFor(options, config);
    auto archive = Archive::open(path, ArchiveAccess::read, error);
    if (!archive) {
        std::fprintf(stderr, "aerovane: %s\n", error.c_str());
        return exitCodeFor(archiveRefusal(path, ArchiveAccess::read));
    }
    if (!writeReportPage(*archive, options.output, config.units, error, stopSignalled)) {
        std::fprintf(stderr, "aerovane: %s\n", error.c_str());
        return error == REPORT_STOPPED ? EXIT_STOPPED : EXIT_REFUSED;
    }
    return EXIT_DONE;
}

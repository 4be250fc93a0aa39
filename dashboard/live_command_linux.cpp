#include "dashboard/live_command_linux.h"

#include <cstdio>
#include <string>

#include "app/exit_codes.h"
#include "app/stop_signal_linux.h"
#include "dashboard/live_json.h"
#include "dashboard/live_line.h"
#include "dashboard/live_record.h"
#include "link/messages.h"
#include "link/station_link_linux.h"
#include "readings/local_zone_linux.h"
#include "readings/station_fields.h"
#include "readings/units.h"
#include "resources/resource_ids.h"

namespace {

constexpr int LIVE_OWNER_LOOK_MS = 200;

struct LiveContext {
    bool json;
};

void printObservation(const LiveContext& live, const std::uint8_t* record)
{
    static StationFields fields;
    parseLiveRecord(record, fields);
    const UnitSettings units = currentUnitSettings();
    const std::string line = live.json ? observationJsonLine(fields, units, localUtcOffset) : observationLine(fields, units);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    // A reader at the other end of a pipe wants each line as it comes.
    std::fflush(stdout);
}

void onMessage(void* context, unsigned message, std::intptr_t lParam)
{
    const LiveContext& live = *static_cast<const LiveContext*>(context);
    if (message == WM_LIVE_RECORD && lParam != 0)
        printObservation(live, reinterpret_cast<const std::uint8_t*>(lParam));
}

} // namespace

int runLive(const CliOptions& options)
{
    static LiveContext live;
    live.json = options.json;
    if (live.json) {
        const std::string version = versionJsonLine(AEROVANE_VERSION_TEXT);
        std::printf("%s\n", version.c_str());
        std::fflush(stdout);
    }
    // No export file: history frames, should the console send any, are
    // not taken.
    if (!startStationLink(options.consolePath.c_str(), nullptr, 0, nullptr,
                          LinkEvents{reportConnectionOnStderr, onMessage, &live})) {
        std::fprintf(stderr, "aerovane: cannot start the reader\n");
        return EXIT_REFUSED;
    }
    // A console another program owns is not shared: said once, and done.
    int code = EXIT_DONE;
    while (!sleepUnlessStopped(LIVE_OWNER_LOOK_MS)) {
        if (consoleHeldByAnother()) {
            reportConsoleInUse();
            code = EXIT_REFUSED;
            break;
        }
    }
    stopStationLink();
    return code;
}

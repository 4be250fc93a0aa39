#include "app/status_command_linux.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/exit_codes.h"
#include "archive/archive_refusal.h"
#include "archive/outbox.h"
#include "readings/json_string.h"
#include "settings/data_paths_linux.h"
#include "upload/network_traits.h"
#include "upload/upload_url.h"

namespace {

constexpr std::size_t WINDOW = 1000;

struct Row {
    std::string destination;
    bool on = false;
    OutboxEntry entry;
    bool stopped = false; // refused, and the configuration unchanged since
    long waiting = 0;
    bool fromArchive = true; // false: the console's current texts, nothing waits in the archive
};

// How many observations after the mark the network would be sent: the
// outbox's own choice, run as if every request were accepted.
long waitingFor(Outbox& outbox, const DeliveryRules& rules, const OutboxEntry& entry, std::int64_t now)
{
    std::string mark = entry.mark;
    std::int64_t lastSlot = entry.lastSlot;
    long waiting = 0;
    std::vector<OutboxObservation> rows;
    for (bool more = true; more;) {
        if (!outbox.observationsAfter(mark, WINDOW, rows, more))
            return -1;
        std::vector<std::int64_t> times;
        for (const OutboxObservation& row : rows)
            times.push_back(row.observation.utcSecond);
        std::size_t at = 0;
        while (at < times.size()) {
            const DeliveryChoice choice =
                chooseDelivery(rules, lastSlot, times.data() + at, times.size() - at, more, now);
            if (choice.sendCount == 0) {
                if (choice.passOver == 0)
                    return waiting;
                at += choice.passOver;
                continue;
            }
            waiting += static_cast<long>(choice.sendCount);
            const std::size_t last = at + choice.send[choice.sendCount - 1];
            lastSlot = deliverySlot(times[last], rules.intervalMinutes);
            at = last + 1;
        }
        if (!rows.empty())
            mark = rows.back().sortTime;
    }
    return waiting;
}

std::string utcText(std::int64_t second)
{
    if (second <= 0)
        return "";
    const std::time_t t = static_cast<std::time_t>(second);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string jsonOf(const Row& row)
{
    std::string out = "{\"destination\":";
    appendJsonString(out, row.destination);
    out += std::string(",\"upload\":") + (row.on ? "true" : "false");
    out += ",\"lastAccepted\":";
    appendJsonString(out, row.entry.lastAccepted);
    out += ",\"acceptedAt\":";
    appendJsonString(out, utcText(row.entry.acceptedAt));
    out += ",\"lastRefusal\":";
    appendJsonString(out, row.entry.lastRefusal);
    out += ",\"refusedAt\":";
    appendJsonString(out, utcText(row.entry.refusedAt));
    out += std::string(",\"stopped\":") + (row.stopped ? "true" : "false");
    out += ",\"waiting\":" + std::to_string(row.waiting);
    out += ",\"failures\":" + std::to_string(row.entry.failures);
    out += ",\"lastFailure\":";
    appendJsonString(out, row.entry.lastFailure);
    out += ",\"nextAttempt\":";
    appendJsonString(out, utcText(row.entry.nextAttempt));
    return out + "}";
}

std::string textOf(const Row& row, std::int64_t now)
{
    std::string line = row.destination + ": " + (row.on ? "on" : "off");
    line += row.entry.lastAccepted.empty()
              ? std::string("; nothing accepted yet")
              : "; last accepted the observation of " + row.entry.lastAccepted + " at " + utcText(row.entry.acceptedAt);
    if (!row.entry.lastRefusal.empty())
        line += "; refused at " + utcText(row.entry.refusedAt) + ": " + row.entry.lastRefusal
              + (row.stopped ? " (stopped until the configuration changes)" : "");
    if (row.on && !row.stopped && !row.fromArchive && row.entry.failures > 0)
        line += "; the last " + std::to_string(row.entry.failures) + " failed (" + row.entry.lastFailure + ")";
    if (row.on && !row.stopped && row.fromArchive) {
        line += "; " + std::to_string(row.waiting) + " waiting";
        if (row.entry.nextAttempt > now)
            line += "; next attempt at " + utcText(row.entry.nextAttempt) + " after "
                  + std::to_string(row.entry.failures) + " failed (" + row.entry.lastFailure + ")";
    }
    return line;
}

} // namespace

int runStatus(const CliOptions& options, const AppConfig& config)
{
    std::string error;
    const std::string path = archivePathFor(options, config);
    auto outbox = Outbox::open(path, ArchiveAccess::read, error);
    if (!outbox) {
        std::fprintf(stderr, "aerovane: %s\n", error.c_str());
        return exitCodeFor(archiveRefusal(path, ArchiveAccess::read));
    }
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    std::vector<Row> rows;
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s) {
        Row row;
        row.destination = serviceSectionName(static_cast<UploadService>(s));
        row.on = config.services[s].upload;
        row.fromArchive = false;
        if (!outbox->load(row.destination, row.entry)) {
            std::fprintf(stderr, "aerovane: %s\n", outbox->lastError().c_str());
            return EXIT_REFUSED;
        }
        // Stopped while the configuration is the one refused.
        row.stopped = !row.entry.refusedConfig.empty()
                   && row.entry.refusedConfig == uploadFingerprint(static_cast<UploadService>(s), config.services[s]);
        rows.push_back(row);
    }
    for (std::size_t n = 0; n < NETWORK_COUNT; ++n) {
        const Network network = static_cast<Network>(n);
        const NetworkConfig& settings = config.networks[n];
        Row row;
        row.destination = networkSectionName(network);
        row.on = settings.upload;
        if (!outbox->load(row.destination, row.entry)) {
            std::fprintf(stderr, "aerovane: %s\n", outbox->lastError().c_str());
            return EXIT_REFUSED;
        }
        // The service compares the refused configuration's fingerprint;
        // here a refusal newer than the last acceptance stands.
        row.stopped = !row.entry.refusedConfig.empty();
        if (row.on && !row.stopped)
            row.waiting = waitingFor(*outbox, networkDeliveryRules(network, settings), row.entry, now);
        rows.push_back(row);
    }
    std::string out;
    if (options.json) {
        out = "[";
        for (std::size_t i = 0; i < rows.size(); ++i)
            out += (i ? "," : "") + jsonOf(rows[i]);
        out += "]\n";
    } else {
        for (const Row& row : rows)
            out += textOf(row, now) + "\n";
    }
    std::fputs(out.c_str(), stdout);
    return std::fflush(stdout) == 0 ? EXIT_DONE : EXIT_REFUSED;
}

#include "app/service_status.h"

#include <cstdio>

namespace {

const char* outcomeText(UploadOutcome outcome)
{
    switch (outcome) {
    case UploadOutcome::accepted:
        return "accepted";
    case UploadOutcome::refused:
        return "refused";
    case UploadOutcome::noAnswer:
        return "no answer";
    default:
        return "not sent";
    }
}

const char* verdictText(DeliveryVerdict verdict)
{
    switch (verdict) {
    case DeliveryVerdict::accepted:
        return "accepted";
    case DeliveryVerdict::refused:
        return "refused";
    case DeliveryVerdict::rateLimited:
        return "asked to wait";
    default:
        return "failed";
    }
}

std::string whenText(const ClockTime& at, const ClockTime& today)
{
    char text[48];
    if (at.year == today.year && at.month == today.month && at.day == today.day)
        std::snprintf(text, sizeof text, "at %02d:%02d:%02d", at.hour, at.minute, at.second);
    else
        std::snprintf(text, sizeof text, "on %04d-%02d-%02d at %02d:%02d:%02d", at.year, at.month, at.day, at.hour,
                      at.minute, at.second);
    return text;
}

} // namespace

std::string serviceStatusText(const ServiceStatus& status, const ClockTime& today)
{
    std::string text = status.consoleConnected ? "console connected" : "console not connected";
    if (status.downloading) {
        text += "; downloading its history";
        if (status.downloadTotal > 0)
            text += ": " + std::to_string(status.downloadReceived) + " of " + std::to_string(status.downloadTotal)
                    + " records";
    }
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s) {
        const UploadResultSeen& result = status.uploads[s];
        if (result.seen)
            text += std::string("; ") + uploadServiceName(static_cast<UploadService>(s)) + " "
                    + outcomeText(result.outcome) + " " + whenText(result.at, today);
    }
    for (std::size_t n = 0; n < NETWORK_COUNT; ++n) {
        const NetworkResultSeen& result = status.networks[n];
        if (!result.seen)
            continue;
        text += std::string("; ") + networkShownName(static_cast<Network>(n)) + " " + verdictText(result.verdict) + " "
                + whenText(result.at, today);
        if (result.waiting > 0)
            text += ", catching up: " + std::to_string(result.waiting) + " to go";
    }
    text += "; archive: " + std::to_string(status.consoleRecords) + " console records, "
            + std::to_string(status.liveObservations) + " live observations";
    return text;
}

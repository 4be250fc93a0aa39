// The line systemctl status shows of the service: the console, a download
// under way, each service's last upload result with its time (a date only
// when it is not today's), the archive's rows.
#include "app/service_status.h"

#include <gtest/gtest.h>

namespace {

constexpr ClockTime TODAY = {2026, 3, 7, 9, 5, 30};

ServiceStatus connectedWithRows()
{
    ServiceStatus status{};
    status.consoleConnected = true;
    status.consoleRecords = 60041;
    status.liveObservations = 3;
    return status;
}

TEST(ServiceStatusLine, SaysEachServicesLastResultAndWhen)
{
    ServiceStatus status = connectedWithRows();
    EXPECT_EQ(serviceStatusText(status, TODAY), "console connected; archive: 60041 console records, 3 live observations");

    status.uploads[SERVICE_WEATHERCLOUD] = {true, UploadOutcome::accepted, {2026, 3, 7, 9, 5, 2}};
    EXPECT_EQ(serviceStatusText(status, TODAY),
              "console connected; Weathercloud accepted at 09:05:02; archive: 60041 console records, 3 live "
              "observations");

    // Stuck since yesterday: the date says so.
    status.uploads[SERVICE_WEATHER_UNDERGROUND] = {true, UploadOutcome::noAnswer, {2026, 3, 6, 23, 59, 59}};
    status.uploads[SERVICE_WEATHERCLOUD].outcome = UploadOutcome::refused;
    EXPECT_EQ(serviceStatusText(status, TODAY),
              "console connected; Weather Underground no answer on 2026-03-06 at 23:59:59; Weathercloud refused at "
              "09:05:02; archive: 60041 console records, 3 live observations");

    status.uploads[SERVICE_WEATHERCLOUD].outcome = UploadOutcome::notSent;
    EXPECT_NE(serviceStatusText(status, TODAY).find("; Weathercloud not sent at 09:05:02;"), std::string::npos);
}

TEST(ServiceStatusLine, SaysEachNetworksLastVerdictAndHowFarACatchUpHasToGo)
{
    ServiceStatus status = connectedWithRows();
    status.networks[static_cast<int>(Network::wow)] = {true, DeliveryVerdict::accepted, {2026, 3, 7, 9, 5, 3}, 210};
    status.networks[static_cast<int>(Network::cwop)] = {true, DeliveryVerdict::rateLimited, {2026, 3, 7, 9, 0, 0}, 0};
    status.networks[static_cast<int>(Network::windy)] = {true, DeliveryVerdict::refused, {2026, 3, 6, 8, 0, 0}, 0};
    EXPECT_EQ(serviceStatusText(status, TODAY),
              "console connected; WOW accepted at 09:05:03, catching up: 210 to go; Windy refused on 2026-03-06 at "
              "08:00:00; CWOP asked to wait at 09:00:00; archive: 60041 console records, 3 live observations");
}

TEST(ServiceStatusLine, SaysTheConsoleIsAwayOrHowFarItsDownloadIs)
{
    ServiceStatus status{};
    EXPECT_EQ(serviceStatusText(status, TODAY), "console not connected; archive: 0 console records, 0 live observations");

    status = connectedWithRows();
    status.downloading = true;
    EXPECT_EQ(serviceStatusText(status, TODAY),
              "console connected; downloading its history; archive: 60041 console records, 3 live observations");
    status.downloadReceived = 1200;
    status.downloadTotal = 60000;
    EXPECT_EQ(serviceStatusText(status, TODAY),
              "console connected; downloading its history: 1200 of 60000 records; archive: 60041 console records, 3 "
              "live observations");
}

} // namespace

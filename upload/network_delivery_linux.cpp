#include "upload/network_delivery_linux.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include <malloc.h>

#include "app/service_log_linux.h"
#include "app/service_notify_linux.h"
#include "resources/resource_ids.h"
#include "upload/account_fingerprint.h"
#include "upload/aprs_transport_linux.h"
#include "upload/curl_transport_linux.h"
#include "upload/cwop_packet.h"
#include "upload/delivery_worker_linux.h"
#include "upload/network_traits.h"
#include "upload/openweathermap_request.h"
#include "upload/pwsweather_request.h"
#include "upload/windy_request.h"
#include "upload/wow_request.h"

namespace {

struct Delivery {
    std::unique_ptr<Outbox> outbox;
    DeliveryBell bell;
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<DeliveryWorker>> workers;
};

// Set and cleared on the main thread; rung from the archive's.
std::atomic<Delivery*> running{nullptr};
// Whether deliveries are held, also before they start.
std::atomic<bool> holding{true};

DeliveryOutcome overHttp(const HttpRequest& request, const TransportSettings& transport,
                         DeliveryOutcome (*read)(const HttpReply&))
{
    return read(sendHttp(request, transport));
}

DeliveryOutcome overAprs(const NetworkAccount& account, const StationPosition& position,
                         const ArchivedObservation& observation, const TransportSettings& transport)
{
    const std::string login = cwopLoginLine(account);
    const std::string packet = cwopWeatherPacket(account, position, observation);
    if (login.empty() || packet.empty())
        return DeliveryOutcome{DeliveryVerdict::refused, -1, "the callsign, passcode or place cannot be sent"};
    const std::size_t colon = account.endpoint.rfind(':');
    const std::string host = account.endpoint.substr(0, colon);
    const int port = std::atoi(account.endpoint.c_str() + colon + 1);
    const AprsReply reply = sendAprs(host, port, login, packet, transport);
    if (!reply.failure.empty())
        return DeliveryOutcome{DeliveryVerdict::failed, -1, reply.failure};
    return readCwopLoginReply(reply.logresp, account);
}

// What is missing for a network that is on, or "".
std::string missingFor(Network network, const NetworkConfig& config)
{
    if (config.identity.empty())
        return networkIdentityKey(network);
    if (config.secret.empty())
        return networkSecretKey(network);
    if (network == Network::cwop && !(config.latitudeGiven && config.longitudeGiven))
        return "latitude and longitude";
    return "";
}

NetworkDestination destinationFor(Network network, const NetworkConfig& config, const TransportSettings& transport,
                                  const std::atomic<bool>& stop)
{
    const NetworkTraits& traits = networkTraits(network);
    NetworkDestination destination;
    destination.name = networkShownName(network);
    destination.onResult = [network](DeliveryVerdict verdict, long waiting) {
        noteNetworkResult(network, verdict, waiting);
    };
    // The handle's TLS context, and the free pages it leaves in malloc's
    // heap, go back to the system until the next request.
    destination.onQuiet = [] {
        releaseHttpHandle();
        malloc_trim(0);
    };
    destination.section = networkSectionName(network);
    destination.rules = networkDeliveryRules(network, config);
    NetworkAccount account{config.endpoint.empty() ? traits.defaultEndpoint : config.endpoint, config.identity,
                           config.secret, std::string("aerovane ") + AEROVANE_VERSION_TEXT};
    destination.fingerprint = accountFingerprint(account);
    TransportSettings settings = transport;
    settings.stop = &stop;
    switch (network) {
    case Network::pwsweather:
        destination.deliver = [account, settings](const ArchivedObservation* batch, std::size_t) {
            return overHttp(pwsweatherRequest(account, batch[0]), settings, readPwsweatherReply);
        };
        break;
    case Network::wow:
        destination.deliver = [account, settings](const ArchivedObservation* batch, std::size_t) {
            return overHttp(wowRequest(account, batch[0]), settings, readWowReply);
        };
        break;
    case Network::windy:
        destination.deliver = [account, settings](const ArchivedObservation* batch, std::size_t) {
            return overHttp(windyRequest(account, batch[0]), settings, readWindyReply);
        };
        break;
    case Network::openWeatherMap:
        destination.deliver = [account, settings](const ArchivedObservation* batch, std::size_t count) {
            return overHttp(openWeatherMapRequest(account, batch, count), settings, readOpenWeatherMapReply);
        };
        break;
    case Network::cwop: {
        const StationPosition position{config.latitude, config.longitude};
        destination.deliver = [account, position, settings](const ArchivedObservation* batch, std::size_t) {
            return overAprs(account, position, batch[0], settings);
        };
        break;
    }
    }
    return destination;
}

} // namespace

int startNetworkDelivery(const std::string& archivePath, const AppConfig& config, std::string& error)
{
    std::vector<Network> wanted;
    for (std::size_t n = 0; n < NETWORK_COUNT; ++n) {
        const Network network = static_cast<Network>(n);
        const NetworkConfig& one = config.networks[n];
        if (!one.upload)
            continue;
        const std::string missing = missingFor(network, one);
        if (!missing.empty()) {
            printServiceLog(LogLevel::warning, std::string(networkShownName(network)) + ": not delivering: upload is on, but "
                                                   + missing + " is missing in [" + networkSectionName(network) + "]");
            continue;
        }
        wanted.push_back(network);
    }
    if (wanted.empty())
        return 1;
    auto delivery = std::make_unique<Delivery>();
    delivery->outbox = Outbox::open(archivePath, ArchiveAccess::write, error);
    if (!delivery->outbox)
        return 0;
    delivery->bell.hold(holding);
    startHttpTransport();
    TransportSettings transport;
    transport.caFile = config.tlsCaFile;
    std::string names;
    for (Network network : wanted) {
        delivery->workers.push_back(std::make_unique<DeliveryWorker>(
            destinationFor(network, config.networks[static_cast<std::size_t>(network)], transport, delivery->stop),
            *delivery->outbox, delivery->bell, delivery->stop));
        names += (names.empty() ? "" : ", ") + std::string(networkShownName(network));
    }
    printServiceLog("delivering to " + names + " from the archive");
    running = delivery.release();
    return 1;
}

void ringNetworkDelivery()
{
    if (Delivery* delivery = running.load())
        delivery->bell.ring();
}

void holdNetworkDelivery(bool held)
{
    holding = held;
    if (Delivery* delivery = running.load())
        delivery->bell.hold(held);
}

void stopNetworkDelivery()
{
    Delivery* delivery = running.exchange(nullptr);
    if (!delivery)
        return;
    delivery->stop = true;
    delivery->bell.wakeAll();
    delivery->workers.clear();
    delete delivery;
}

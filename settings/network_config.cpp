#include "settings/network_config.h"

#include <cstdlib>

#include "settings/config_values.h"

namespace {

struct Names {
    const char* shown;
    const char* section;
    const char* identity;
    const char* secret;
};

const Names NAMES[NETWORK_COUNT] = {
    {"PWSweather", "pwsweather", "station", "key"},
    {"WOW", "wow", "site", "key"},
    {"Windy", "windy", "station", "password"},
    {"OpenWeatherMap", "openweathermap", "station", "key"},
    {"CWOP", "cwop", "callsign", "passcode"},
};

// Decimal degrees within +-limit.
bool readDegrees(std::string_view value, double limit, double& out)
{
    if (value.empty() || value.size() > 20)
        return false;
    const std::string text(value);
    for (char c : text)
        if (!(c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9')))
            return false;
    char* end = nullptr;
    const double degrees = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(degrees >= -limit && degrees <= limit))
        return false;
    out = degrees;
    return true;
}

// HOST:PORT, the port 1..65535.
bool readServer(std::string_view value, std::string& out)
{
    const std::size_t colon = value.rfind(':');
    int port = 0;
    if (colon == std::string_view::npos || colon == 0 || !readNumber(value.substr(colon + 1), 1, 65535, port))
        return false;
    for (char c : value.substr(0, colon))
        if (c == ' ' || c == '/')
            return false;
    return readText(value, out);
}

} // namespace

const char* networkSectionName(Network network)
{
    return NAMES[static_cast<std::size_t>(network)].section;
}

const char* networkIdentityKey(Network network)
{
    return NAMES[static_cast<std::size_t>(network)].identity;
}

const char* networkSecretKey(Network network)
{
    return NAMES[static_cast<std::size_t>(network)].secret;
}

const char* networkShownName(Network network)
{
    return NAMES[static_cast<std::size_t>(network)].shown;
}

int networkOfSection(std::string_view name, Network& network)
{
    for (std::size_t n = 0; n < NETWORK_COUNT; ++n)
        if (name == NAMES[n].section) {
            network = static_cast<Network>(n);
            return 1;
        }
    return 0;
}

int readNetworkLine(Network network, std::string_view key, std::string_view value, NetworkConfig& config,
                    std::string& why)
{
    const Names& names = NAMES[static_cast<std::size_t>(network)];
    const bool cwop = network == Network::cwop;
    if (key == names.identity) {
        if (readText(value, config.identity))
            return 1;
        why = std::string("a ") + names.identity + " is 1 to 256 bytes of text";
    } else if (key == names.secret) {
        if (readText(value, config.secret))
            return 1;
        why = std::string("a ") + names.secret + " is 1 to 256 bytes of text";
    } else if (key == "upload") {
        if (readSwitch(value, config.upload))
            return 1;
        why = "upload is on or off";
    } else if (key == "interval") {
        if (readNumber(value, 1, 1440, config.intervalMinutes))
            return 1;
        why = "interval is a number of minutes from 1 to 1440";
    } else if (key == "backfill-days" && !cwop) {
        if (readNumber(value, 0, BACKFILL_DAYS_LIMIT, config.backfillDays))
            return 1;
        why = "backfill-days is a number of days from 0 to 365";
    } else if (key == "url" && !cwop) {
        if (readUrl(value, config.endpoint))
            return 1;
        why = "a url starts with https:// or http:// and holds no blanks";
    } else if (key == "server" && cwop) {
        if (readServer(value, config.endpoint))
            return 1;
        why = "a server is HOST:PORT";
    } else if ((key == "latitude" || key == "longitude") && cwop) {
        const bool north = key == "latitude";
        if (readDegrees(value, north ? 90 : 180, north ? config.latitude : config.longitude)) {
            (north ? config.latitudeGiven : config.longitudeGiven) = true;
            return 1;
        }
        why = north ? "latitude is degrees from -90 to 90" : "longitude is degrees from -180 to 180";
    } else {
        why = "unknown key";
    }
    return 0;
}

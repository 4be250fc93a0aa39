// The weather networks the Linux service delivers archived observations to
// with requests of its own, each a section of the configuration:
//
//   [pwsweather]            ; station, key
//   [wow]                   ; site, key (WOW-BE too, through url)
//   [windy]                 ; station, password
//   [openweathermap]        ; station, key
//   [cwop]                  ; callsign, passcode, latitude, longitude
//   upload = off            ; on off
//   interval = MINUTES      ; one observation per interval; the network's own unless given
//   url = https://...       ; the network's own endpoint unless given (cwop: server = HOST:PORT)
//   backfill-days = 7       ; how far back a network that takes the past is caught up, 0..365
//
//   [tls]
//   ca-file = PATH          ; an authority to trust besides the system's
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class Network { pwsweather, wow, windy, openWeatherMap, cwop };
constexpr std::size_t NETWORK_COUNT = 5;

struct NetworkConfig {
    bool upload = false;
    std::string identity;     // station, site or callsign
    std::string secret;       // key, password or passcode
    int intervalMinutes = 0;  // 0: the network's own
    std::string endpoint;     // url (cwop: HOST:PORT); empty: the network's own
    int backfillDays = 7;
    double latitude = 0;      // cwop: degrees, north positive
    double longitude = 0;     // cwop: degrees, east positive
    bool latitudeGiven = false;
    bool longitudeGiven = false;
};

constexpr int BACKFILL_DAYS_LIMIT = 365;

// The section's name: "pwsweather", "wow", "windy", "openweathermap", "cwop".
const char* networkSectionName(Network network);
// The keys of the station's identity and secret in its section.
const char* networkIdentityKey(Network network);
const char* networkSecretKey(Network network);
// The network's own name, for people: "PWSweather", "WOW", "Windy",
// "OpenWeatherMap", "CWOP".
const char* networkShownName(Network network);
// 1 with the network a section names, else 0.
int networkOfSection(std::string_view name, Network& network);

// One "key = value" line of a network's section into `config`. 1 when taken;
// 0 with the reason (a sentence without the line) in `why`.
int readNetworkLine(Network network, std::string_view key, std::string_view value, NetworkConfig& config,
                    std::string& why);

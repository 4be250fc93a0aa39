// The Linux program's configuration: one INI file holding the six unit
// choices by their display names and, per service, station id, key, the
// upload switch and (for tests) the upload host. Parsed here, away from any
// file access, so every rule is tested natively.
//
//   [units]
//   temperature = °C        ; °C °F
//   rain = mm               ; mm in
//   pressure = hPa          ; hPa mmHg inHg
//   wind = km/h             ; mph m/s km/h knots
//   pressureType = Rel      ; Rel Abs
//   direction = 16          ; 16 (compass points) or 360° (degrees)
//   [wunderground]          ; and [weathercloud]
//   station = MYSTATION1
//   key = secret
//   upload = on             ; on off
//   host = HOST[:PORT]      ; the service's own upload host unless given
//   [archive]
//   path = /var/lib/aerovane/archive.sqlite
//   [report]
//   folder = /var/lib/aerovane/report   ; `run` keeps DIR/index.html fresh
//   every = 5               ; minutes between refreshes, 1..1440
//   [clock]
//   sync = auto             ; set the console's clock: auto (only while this
//                           ; machine's clock is synchronised), always, never
//   and the networks the service delivers to itself, with [tls]
//   (settings/network_config.h), and [mqtt] (settings/mqtt_config.h)
#pragma once

#include <string>

#include <cstddef>

#include "readings/units.h"
#include "settings/mqtt_config.h"
#include "settings/network_config.h"
#include "upload/upload_hosts.h"
#include "upload/upload_requests.h"
#include "upload/upload_state.h"

// Longer lines are refused, not cut.
constexpr std::size_t CONFIG_LINE_LIMIT = 1024;

struct ServiceConfig {
    char stationId[CREDENTIAL_UTF8_SIZE]; // UTF-8, at most 63 bytes
    char key[CREDENTIAL_UTF8_SIZE];
    bool upload;
    UploadHost host;
    // The Linux service's uploads go to `url` when it is given, else to a
    // `host` given as the Windows program's are (plain HTTP), else to the
    // service's own host over HTTPS (upload/upload_url.h).
    bool hostGiven;
    std::string url;
};

constexpr int REPORT_EVERY_DEFAULT_MINUTES = 5;

// When the console's clock requests are answered with this machine's time.
enum class ClockSync { whenSynchronised, always, never };

struct AppConfig {
    UnitSettings units;
    ServiceConfig services[UPLOAD_SERVICE_COUNT]; // indexed by UploadService
    std::string archivePath;  // empty: the default place
    std::string reportFolder; // empty: `run` writes no report
    int reportEveryMinutes;
    ClockSync clockSync; // default whenSynchronised
    NetworkConfig networks[NETWORK_COUNT]; // indexed by Network
    std::string tlsCaFile; // empty: the system's authorities only
    MqttConfig mqtt;
};

struct ConfigError {
    int line; // 1-based; 0 for the file as a whole
    char message[200];
};

// The built-in units, no credentials, uploads off, the services' hosts.
AppConfig defaultAppConfig();

// The section of a service: "wunderground", "weathercloud".
const char* serviceSectionName(UploadService service);

// Reads the file's bytes over `config` (start from defaultAppConfig()).
// Blank lines and lines starting with '#' or ';' are skipped; a UTF-8
// byte-order mark, CR LF line ends and blanks around keys and values are
// taken. Anything else that is not a known [section] or a known key of the
// section it stands in, with a value that key takes, is malformed: returns
// 0 with the first such line's number and what is wrong with it, and
// `config` is left as it was. Returns 1 when every line was understood.
int parseConfig(const char* text, std::size_t length, AppConfig& config, ConfigError& error);

// Whether a key of any service is set: such a file must not be readable by
// others.
bool configHoldsKey(const AppConfig& config);

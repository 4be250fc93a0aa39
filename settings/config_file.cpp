#include "settings/config_file.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "settings/config_values.h"
#include "settings/unit_names.h"

namespace {

const char* const SERVICE_SECTIONS[UPLOAD_SERVICE_COUNT] = {"wunderground", "weathercloud"};
const wchar_t* const HOST_OPTIONS[UPLOAD_SERVICE_COUNT] = {L"--wu-host=", L"--wc-host="};

enum class Section { none, units, service, archive, report, clock, network, tls, mqtt };

struct Place {
    Section section;
    UploadService service;
    Network network = Network::pwsweather;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The message is `what`, then the offending text cut to a readable
// length, then `after`.
int fail(ConfigError& error, int line, const char* what, std::string_view detail = "", const char* after = "")
{
    constexpr std::size_t SHOWN = 60;
    error.line = line;
    std::snprintf(error.message, sizeof error.message, "%s%.*s%s%s", what,
                  static_cast<int>(detail.size() < SHOWN ? detail.size() : SHOWN), detail.data(),
                  detail.size() > SHOWN ? "..." : "", after);
    return 0;
}

// A credential as it will be sent: 1..63 bytes, no control characters
// (they would end the request line early or break it).
bool readCredential(std::string_view value, char (&out)[CREDENTIAL_UTF8_SIZE])
{
    if (value.size() >= CREDENTIAL_UTF8_SIZE || holdsControlCharacter(value))
        return false;
    std::memcpy(out, value.data(), value.size());
    out[value.size()] = '\0';
    return true;
}

// The same rules as the Windows program's --wu-host= / --wc-host=.
bool readHost(UploadService service, std::string_view value, UploadHost& out)
{
    if (value.size() >= UPLOAD_HOST_SIZE + 8)
        return false;
    std::wstring argument = HOST_OPTIONS[service];
    for (char c : value)
        argument += static_cast<wchar_t>(static_cast<unsigned char>(c));
    UploadHost hosts[UPLOAD_SERVICE_COUNT] = {};
    if (applyUploadHostArgument(argument.c_str(), hosts) != 1)
        return false;
    out = hosts[service];
    return true;
}

int readUnitLine(std::string_view key, std::string_view value, AppConfig& config, int line, ConfigError& error)
{
    for (int i = 0; i < UNIT_CHOICE_COUNT; ++i) {
        const UnitChoice choice = static_cast<UnitChoice>(i);
        if (key != unitChoiceKey(choice))
            continue;
        const int code = unitChoiceCode(choice, std::string(value).c_str());
        if (code < 0)
            return fail(error, line, "unknown unit \"", value, "\"");
        setUnitChoice(config.units, choice, static_cast<std::uint8_t>(code));
        return 1;
    }
    return fail(error, line, "unknown unit choice \"", key, "\"");
}

int readServiceLine(UploadService service, std::string_view key, std::string_view value, AppConfig& config,
                    int line, ConfigError& error)
{
    ServiceConfig& target = config.services[service];
    if (key == "station") {
        if (!readCredential(value, target.stationId))
            return fail(error, line, "a station id is 1 to 63 bytes of text: \"", value, "\"");
        return 1;
    }
    if (key == "key") {
        if (!readCredential(value, target.key))
            return fail(error, line, "a station key is 1 to 63 bytes of text");
        return 1;
    }
    if (key == "upload") {
        if (!readSwitch(value, target.upload))
            return fail(error, line, "upload is on or off, not \"", value, "\"");
        return 1;
    }
    if (key == "host") {
        if (!readHost(service, value, target.host))
            return fail(error, line, "a host is HOST or HOST:PORT, not \"", value, "\"");
        target.hostGiven = true;
        return 1;
    }
    if (key == "url") {
        if (!readUrl(value, target.url))
            return fail(error, line, "a url starts with https:// or http:// and holds no blanks");
        return 1;
    }
    return fail(error, line, "unknown key \"", key, "\"");
}

// A path: not empty, no control characters.
bool readPath(std::string_view value, std::string& out)
{
    if (value.empty() || holdsControlCharacter(value))
        return false;
    out = std::string(value);
    return true;
}

int readArchiveLine(std::string_view key, std::string_view value, AppConfig& config, int line, ConfigError& error)
{
    if (key != "path")
        return fail(error, line, "unknown key \"", key, "\"");
    if (!readPath(value, config.archivePath))
        return fail(error, line, "the archive's path is missing or holds control characters");
    return 1;
}

int readReportLine(std::string_view key, std::string_view value, AppConfig& config, int line, ConfigError& error)
{
    if (key == "folder") {
        if (!readPath(value, config.reportFolder))
            return fail(error, line, "the report's folder is missing or holds control characters");
        return 1;
    }
    if (key == "every") {
        int minutes = 0;
        for (char c : value) {
            if (c < '0' || c > '9' || minutes > 1440)
                return fail(error, line, "every is a number of minutes from 1 to 1440, not \"", value, "\"");
            minutes = minutes * 10 + (c - '0');
        }
        if (minutes < 1 || minutes > 1440)
            return fail(error, line, "every is a number of minutes from 1 to 1440, not \"", value, "\"");
        config.reportEveryMinutes = minutes;
        return 1;
    }
    return fail(error, line, "unknown key \"", key, "\"");
}

int readClockLine(std::string_view key, std::string_view value, AppConfig& config, int line, ConfigError& error)
{
    if (key != "sync")
        return fail(error, line, "unknown key \"", key, "\"");
    if (value == "auto")
        config.clockSync = ClockSync::whenSynchronised;
    else if (value == "always")
        config.clockSync = ClockSync::always;
    else if (value == "never")
        config.clockSync = ClockSync::never;
    else
        return fail(error, line, "sync is auto, always or never, not \"", value, "\"");
    return 1;
}

int readSection(std::string_view text, Place& place, int line, ConfigError& error)
{
    const std::string_view name = trim(text.substr(1, text.size() - 2));
    if (name == "units") {
        place = Place{Section::units, SERVICE_WEATHER_UNDERGROUND};
        return 1;
    }
    if (name == "archive" || name == "report" || name == "clock" || name == "tls") {
        place = Place{name == "archive"  ? Section::archive
                      : name == "report" ? Section::report
                      : name == "clock"  ? Section::clock
                                         : Section::tls,
                      SERVICE_WEATHER_UNDERGROUND};
        return 1;
    }
    if (name == "mqtt") {
        place = Place{Section::mqtt, SERVICE_WEATHER_UNDERGROUND};
        return 1;
    }
    Network network = Network::pwsweather;
    if (networkOfSection(name, network)) {
        place = Place{Section::network, SERVICE_WEATHER_UNDERGROUND, network};
        return 1;
    }
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s) {
        if (name == SERVICE_SECTIONS[s]) {
            place = Place{Section::service, static_cast<UploadService>(s)};
            return 1;
        }
    }
    return fail(error, line, "unknown section [", name, "]");
}

int readLine(std::string_view raw, Place& place, AppConfig& config, int line, ConfigError& error)
{
    if (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    const std::string_view text = trim(raw);
    if (text.empty() || text.front() == '#' || text.front() == ';')
        return 1;
    if (text.front() == '[') {
        if (text.back() != ']')
            return fail(error, line, "a section name ends with ]: ", text);
        return readSection(text, place, line, error);
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return fail(error, line, "expected \"key = value\" or a [section]");
    const std::string_view key = trim(text.substr(0, equals));
    const std::string_view value = trim(text.substr(equals + 1));
    if (key.empty())
        return fail(error, line, "a key is missing before =");
    switch (place.section) {
    case Section::units:
        return readUnitLine(key, value, config, line, error);
    case Section::service:
        return readServiceLine(place.service, key, value, config, line, error);
    case Section::archive:
        return readArchiveLine(key, value, config, line, error);
    case Section::report:
        return readReportLine(key, value, config, line, error);
    case Section::clock:
        return readClockLine(key, value, config, line, error);
    case Section::network:
    case Section::mqtt: {
        std::string why;
        const int taken = place.section == Section::mqtt
                              ? readMqttLine(key, value, config.mqtt, why)
                              : readNetworkLine(place.network, key, value,
                                                config.networks[static_cast<std::size_t>(place.network)], why);
        if (taken)
            return 1;
        // The value is not shown: secrets and urls with keys in them go
        // to the journal otherwise.
        return why == "unknown key" ? fail(error, line, "unknown key \"", key, "\"") : fail(error, line, why.c_str());
    }
    case Section::tls:
        if (key != "ca-file")
            return fail(error, line, "unknown key \"", key, "\"");
        if (!readPath(value, config.tlsCaFile))
            return fail(error, line, "the authority's file is missing or holds control characters");
        return 1;
    case Section::none:
        break;
    }
    return fail(error, line, "\"", key, "\" stands before any [section]");
}

} // namespace

AppConfig defaultAppConfig()
{
    AppConfig config{};
    config.units = DEFAULT_UNIT_SETTINGS;
    config.reportEveryMinutes = REPORT_EVERY_DEFAULT_MINUTES;
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s)
        config.services[s].host = DEFAULT_UPLOAD_HOSTS[s];
    return config;
}

const char* serviceSectionName(UploadService service)
{
    return service < UPLOAD_SERVICE_COUNT ? SERVICE_SECTIONS[service] : nullptr;
}

int parseConfig(const char* text, std::size_t length, AppConfig& config, ConfigError& error)
{
    error = ConfigError{};
    std::string_view rest(text ? text : "", text ? length : 0);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    if (rest.find('\0') != std::string_view::npos)
        return fail(error, 0, "the file holds zero bytes; it is not a text file");
    AppConfig parsed = config;
    Place place{Section::none, SERVICE_WEATHER_UNDERGROUND};
    int line = 0;
    while (!rest.empty()) {
        ++line;
        const std::size_t end = rest.find('\n');
        const std::string_view raw = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (raw.size() >= CONFIG_LINE_LIMIT)
            return fail(error, line, "the line is longer than 1023 bytes");
        if (readLine(raw, place, parsed, line, error) == 0)
            return 0;
    }
    config = parsed;
    return 1;
}

bool configHoldsKey(const AppConfig& config)
{
    for (const ServiceConfig& service : config.services)
        if (service.key[0] != '\0')
            return true;
    for (const NetworkConfig& network : config.networks)
        if (!network.secret.empty())
            return true;
    return !config.mqtt.password.empty();
}

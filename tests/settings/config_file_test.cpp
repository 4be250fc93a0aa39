// The Linux program's configuration file: every choice by its display
// name, the services' credentials and switches, and malformed lines that
// must stop the program with their line number rather than be guessed at.
#include "settings/config_file.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "settings/unit_names.h"
#include "tests/support/same_config.h"

namespace {

int parse(const std::string& text, AppConfig& config, ConfigError& error)
{
    config = defaultAppConfig();
    return parseConfig(text.data(), text.size(), config, error);
}

TEST(ConfigFile, ReadsUnitsAndServices)
{
    const std::string text = "\xEF\xBB\xBF# Aerovane\r\n"
                             "[units]\r\n"
                             "temperature = \u00B0F\r\n"
                             "  rain=in  \n"
                             "pressure = mmHg\n"
                             "wind = knots\n"
                             "pressureType = Abs\n"
                             "direction = 360\u00B0\n"
                             "\n"
                             "[weathercloud]\n"
                             "; the second service\n"
                             "station = 0123abcd\n"
                             "key = k&y/with spaces\n"
                             "upload = on\n"
                             "host = 127.0.0.1:8080\n";
    AppConfig config;
    ConfigError error;
    ASSERT_EQ(parse(text, config, error), 1) << error.line << ": " << error.message;
    EXPECT_EQ(config.units.temperatureUnit, TEMPERATURE_FAHRENHEIT);
    EXPECT_EQ(config.units.rainUnit, RAIN_INCHES);
    EXPECT_EQ(config.units.pressureUnit, PRESSURE_MMHG);
    EXPECT_EQ(config.units.windUnit, WIND_KNOTS);
    EXPECT_EQ(config.units.pressureType, PRESSURE_ABSOLUTE);
    EXPECT_EQ(config.units.directionUnit, DIRECTION_DEGREES);
    const ServiceConfig& wc = config.services[SERVICE_WEATHERCLOUD];
    EXPECT_STREQ(wc.stationId, "0123abcd");
    EXPECT_STREQ(wc.key, "k&y/with spaces"); // sent unescaped, as the Windows program sends it
    EXPECT_TRUE(wc.upload);
    EXPECT_STREQ(wc.host.name, "127.0.0.1");
    EXPECT_EQ(wc.host.port, 8080);
    const ServiceConfig& wu = config.services[SERVICE_WEATHER_UNDERGROUND];
    EXPECT_FALSE(wu.upload);
    EXPECT_STREQ(wu.host.name, "rtupdate.wunderground.com");
    EXPECT_EQ(wu.host.port, 80);
    EXPECT_TRUE(configHoldsKey(config));
}

TEST(ConfigFile, ReadsTheArchiveAndTheReport)
{
    AppConfig config;
    ConfigError error;
    ASSERT_EQ(parse("[archive]\npath = /var/lib/aerovane/archive.sqlite\n[report]\nfolder = /srv/my weather\n"
                    "every = 15\n",
                    config, error),
              1)
        << error.message;
    EXPECT_EQ(config.archivePath, "/var/lib/aerovane/archive.sqlite");
    EXPECT_EQ(config.reportFolder, "/srv/my weather");
    EXPECT_EQ(config.reportEveryMinutes, 15);
    ASSERT_EQ(parse("", config, error), 1);
    EXPECT_TRUE(config.reportFolder.empty());
    EXPECT_EQ(config.reportEveryMinutes, REPORT_EVERY_DEFAULT_MINUTES);
    EXPECT_EQ(config.clockSync, ClockSync::whenSynchronised);
    const std::pair<const char*, ClockSync> syncs[] = {
        {"never", ClockSync::never}, {"always", ClockSync::always}, {"auto", ClockSync::whenSynchronised}};
    for (const auto& [text, sync] : syncs) {
        ASSERT_EQ(parse(std::string("[clock]\nsync = ") + text + "\n", config, error), 1) << error.message;
        EXPECT_EQ(config.clockSync, sync) << text;
    }
}

TEST(ConfigFile, AnEmptyFileKeepsTheBuiltInSettings)
{
    AppConfig config;
    ConfigError error;
    ASSERT_EQ(parse("", config, error), 1);
    EXPECT_EQ(std::memcmp(&config.units, &DEFAULT_UNIT_SETTINGS, sizeof config.units), 0);
    EXPECT_FALSE(configHoldsKey(config));
}

TEST(ConfigFile, MalformedLinesNameTheirLineAndChangeNothing)
{
    const struct {
        std::string text;
        int line;
        const char* says;
    } cases[] = {
        {"[units]\ntemperature = Kelvin\n", 2, "unknown unit \"Kelvin\""},
        {"[units]\nwind = KM/H\n", 2, "unknown unit"},
        {"[weathercloud]\nstation = fine\n[units]\nrain = feet\n", 4, "unknown unit"}, // nothing half taken
        {"[units]\nhumidity = %\n", 2, "unknown unit choice \"humidity\""},
        {"temperature = \u00B0C\n", 1, "before any [section]"},
        {"[units]\n\n[unit]\n", 3, "unknown section [unit]"},
        {"[units\n", 1, "ends with ]"},
        {"[wunderground]\nstation MYID\n", 2, "key = value"},
        {"[wunderground]\n= x\n", 2, "key is missing"},
        {"[wunderground]\nupload = maybe\n", 2, "on or off"},
        {"[wunderground]\npassword = x\n", 2, "unknown key \"password\""},
        {"[wunderground]\nstation = " + std::string(64, 'A') + "\n", 2, "1 to 63 bytes"},
        {"[wunderground]\nkey = a\tb\n", 2, "1 to 63 bytes"},
        {"[wunderground]\nhost = evil.example/path\n", 2, "HOST:PORT"},
        {"[wunderground]\nhost = h:70000\n", 2, "HOST:PORT"},
        {"[weathercloud]\nurl = ftp://h\n", 2, "https:// or http://"},
        {"[weathercloud]\nurl = https://h/a b\n", 2, "no blanks"},
        {"# fine\n" + std::string(2000, '#') + "\n", 2, "longer than 1023"},
        {std::string("[units]\0\n", 9), 0, "zero bytes"},
        {"[report]\nfolder = /srv/www\nevery = 0\n", 3, "1 to 1440"},
        {"[report]\nevery = 5m\n", 2, "1 to 1440"},
        {"[report]\nevery = 99999999999\n", 2, "1 to 1440"},
        {"[report]\nfolder =\n", 2, "folder is missing"},
        {"[archive]\nfile = a.sqlite\n", 2, "unknown key \"file\""},
        {"[clock]\nsync = sometimes\n", 2, "auto, always or never"},
        {"[clock]\nntp = on\n", 2, "unknown key \"ntp\""},
        {"[wow]\nstation = 1234\n", 2, "unknown key \"station\""}, // WOW names it site
        {"[cwop]\nurl = https://x\n", 2, "unknown key \"url\""},
        {"[cwop]\nbackfill-days = 3\n", 2, "unknown key"},  // current observations only
        {"[pwsweather]\nserver = h:1\n", 2, "unknown key"},
        {"[windy]\ninterval = 0\n", 2, "1 to 1440"},
        {"[windy]\nbackfill-days = 366\n", 2, "0 to 365"},
        {"[openweathermap]\nurl = ftp://h/\n", 2, "https://"},
        {"[openweathermap]\nurl = https://h/a b\n", 2, "no blanks"},
        {"[cwop]\nserver = cwop.example\n", 2, "HOST:PORT"},
        {"[cwop]\nlatitude = 91\n", 2, "-90 to 90"},
        {"[cwop]\nlongitude = 12.5E\n", 2, "-180 to 180"},
        {"[cwop]\npasscode = " + std::string(300, '1') + "\n", 2, "1 to 256 bytes"},
        {"[tls]\nca-file =\n", 2, "missing"},
        {"[tls]\ncert = x\n", 2, "unknown key \"cert\""},
        {"[mqtt]\nhost = mqtt://hub\n", 2, "without blanks"},
        {"[mqtt]\nhost = hub.lan\nport = 0\n", 3, "1 to 65535"},
        {"[mqtt]\nport = 65536\n", 2, "1 to 65535"},
        {"[mqtt]\ntopic = home/+/weather\n", 2, "without +, #"},
        {"[mqtt]\ntopic = home/#\n", 2, "without +, #"},
        {"[mqtt]\ntopic = home//weather\n", 2, "empty levels"},
        {"[mqtt]\ntopic = /weather\n", 2, "empty levels"},
        {"[mqtt]\ndiscovery-prefix = homeassistant/\n", 2, "empty levels"},
        {"[mqtt]\ntls = maybe\n", 2, "on or off"},
        {"[mqtt]\nretain = always\n", 2, "on or off"},
        {"[mqtt]\nqos = 2\n", 2, "unknown key \"qos\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        AppConfig config = defaultAppConfig();
        config.units.windUnit = WIND_MPH;
        const AppConfig before = config;
        ConfigError error;
        EXPECT_EQ(parseConfig(c.text.data(), c.text.size(), config, error), 0);
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(std::string(error.message).find(c.says), std::string::npos) << error.message;
        EXPECT_TRUE(sameConfig(config, before));
    }
}

TEST(ConfigFile, ReadsTheNetworksTheServiceDeliversToItself)
{
    AppConfig config;
    ConfigError error;
    ASSERT_EQ(parse("[pwsweather]\nstation = KX&1\nkey = p w\nupload = on\n"
                    "[wow]\nsite = 9f3a\nkey = 123456\nupload = on\ninterval = 15\nbackfill-days = 0\n"
                    "url = https://wow.example.be/automaticreading\n"
                    "[cwop]\ncallsign = N0CALL\npasscode = -1\nlatitude = 49.0583\nlongitude = -72.0292\n"
                    "server = 127.0.0.1:14580\nupload = on\n"
                    "[tls]\nca-file = /etc/ssl/private-ca.pem\n",
                    config, error),
              1)
        << error.message;
    const NetworkConfig& pws = config.networks[static_cast<int>(Network::pwsweather)];
    EXPECT_TRUE(pws.upload);
    EXPECT_EQ(pws.identity, "KX&1");
    EXPECT_EQ(pws.secret, "p w");
    EXPECT_EQ(pws.intervalMinutes, 0);
    EXPECT_EQ(pws.backfillDays, 7);
    const NetworkConfig& wow = config.networks[static_cast<int>(Network::wow)];
    EXPECT_EQ(wow.identity, "9f3a");
    EXPECT_EQ(wow.intervalMinutes, 15);
    EXPECT_EQ(wow.backfillDays, 0);
    EXPECT_EQ(wow.endpoint, "https://wow.example.be/automaticreading");
    const NetworkConfig& cwop = config.networks[static_cast<int>(Network::cwop)];
    EXPECT_EQ(cwop.identity, "N0CALL");
    EXPECT_EQ(cwop.secret, "-1");
    EXPECT_TRUE(cwop.latitudeGiven && cwop.longitudeGiven);
    EXPECT_DOUBLE_EQ(cwop.latitude, 49.0583);
    EXPECT_DOUBLE_EQ(cwop.longitude, -72.0292);
    EXPECT_EQ(cwop.endpoint, "127.0.0.1:14580");
    EXPECT_FALSE(config.networks[static_cast<int>(Network::windy)].upload);
    EXPECT_EQ(config.tlsCaFile, "/etc/ssl/private-ca.pem");
    EXPECT_TRUE(configHoldsKey(config));
}

TEST(ConfigFile, ReadsTheBrokerOnlyWhenAHostIsGiven)
{
    AppConfig config;
    ConfigError error;
    ASSERT_EQ(parse("[mqtt]\nport = 8883\n", config, error), 1) << error.message;
    EXPECT_TRUE(config.mqtt.host.empty());
    ASSERT_EQ(parse("[mqtt]\nhost = hub.lan\n", config, error), 1) << error.message;
    const MqttConfig& defaults = config.mqtt;
    EXPECT_EQ(defaults.host, "hub.lan");
    EXPECT_EQ(defaults.port, 1883); // not 8883 by itself, even with TLS
    EXPECT_FALSE(defaults.tls);
    EXPECT_EQ(defaults.topic, "aerovane");
    EXPECT_TRUE(defaults.discovery);
    EXPECT_EQ(defaults.discoveryPrefix, "homeassistant");
    EXPECT_TRUE(defaults.retain);
    EXPECT_FALSE(configHoldsKey(config));
    ASSERT_EQ(parse("[mqtt]\nhost = 192.168.1.5\nport = 8883\nuser = station\npassword = p w\ntls = on\n"
                    "topic = home/weather\ndiscovery = off\ndiscovery-prefix = ha\nretain = off\n",
                    config, error),
              1)
        << error.message;
    const MqttConfig& mqtt = config.mqtt;
    EXPECT_EQ(mqtt.host, "192.168.1.5");
    EXPECT_EQ(mqtt.port, 8883);
    EXPECT_EQ(mqtt.user, "station");
    EXPECT_EQ(mqtt.password, "p w");
    EXPECT_TRUE(mqtt.tls);
    EXPECT_EQ(mqtt.topic, "home/weather");
    EXPECT_FALSE(mqtt.discovery);
    EXPECT_EQ(mqtt.discoveryPrefix, "ha");
    EXPECT_FALSE(mqtt.retain);
    EXPECT_TRUE(configHoldsKey(config));
}

TEST(ConfigFile, TheKeyIsNeverRepeatedInAMessage)
{
    AppConfig config;
    ConfigError error;
    ASSERT_EQ(parse("[weathercloud]\nkey = " + std::string(70, 's') + "\n", config, error), 0);
    EXPECT_EQ(std::string(error.message).find("sss"), std::string::npos);
    ASSERT_EQ(parse("[weathercloud]\nkey secret\n", config, error), 0);
    EXPECT_EQ(std::string(error.message).find("secret"), std::string::npos);
    ASSERT_EQ(parse("[windy]\npassword = s\x01" "ecret\n", config, error), 0);
    EXPECT_EQ(std::string(error.message).find("ecret"), std::string::npos) << error.message;
    ASSERT_EQ(parse("[mqtt]\npassword = " + std::string(300, 's') + "\n", config, error), 0);
    EXPECT_EQ(std::string(error.message).find("sss"), std::string::npos) << error.message;
    ASSERT_EQ(parse("[openweathermap]\nurl = https://h/?appid=secret key\n", config, error), 0);
    EXPECT_EQ(std::string(error.message).find("secret"), std::string::npos) << error.message;
}

TEST(UnitNames, EveryDisplayNameReadsBackToItsCode)
{
    for (int i = 0; i < UNIT_CHOICE_COUNT; ++i) {
        const UnitChoice choice = static_cast<UnitChoice>(i);
        int names = 0;
        for (std::uint8_t code = 0; code < 4; ++code) {
            const char* name = unitChoiceName(choice, code);
            if (!name)
                continue;
            ++names;
            EXPECT_EQ(unitChoiceCode(choice, name), code) << name;
        }
        EXPECT_GE(names, 2);
    }
    EXPECT_EQ(unitChoiceCode(UnitChoice::direction, "degrees"), DIRECTION_DEGREES);
    EXPECT_EQ(unitChoiceCode(UnitChoice::temperature, "F"), TEMPERATURE_FAHRENHEIT);
    EXPECT_EQ(unitChoiceCode(UnitChoice::pressure, "hpa"), -1);
}

} // namespace

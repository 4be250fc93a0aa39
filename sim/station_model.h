// A plausible weather station for the console simulator: given a seed and a
// minute of local time it yields one observation, the same one every time,
// so a test can recompute what the simulator sent. Values are kept as whole
// numbers (tenths where the console shows one decimal) and written without
// the C runtime's float formatting, so every build writes the same digits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "readings/record_time.h"

// Local civil time, minute resolution. The console knows no time zone.
// minutesFromCivil and civilFromMinutes count from 1970-01-01 00:00.
using SimDateTime = CivilMinute;

// 1 when the fields name a real date and time.
int isValidCivil(const SimDateTime& time);

constexpr int SIM_CHANNEL_COUNT = 7;

// Sensor groups that can report an invalid reading; the whole group is then
// written with dashes. Bits of Observation::invalid.
enum InvalidGroup : unsigned {
    INVALID_INDOOR = 1u << 0,   // indoor temperature and humidity
    INVALID_OUTDOOR = 1u << 1,  // outdoor temperature and humidity, dew point, heat index, wind chill
    INVALID_WIND = 1u << 2,     // speed, gust, both directions, wind chill
    INVALID_RAIN = 1u << 3,     // all five rain values
    INVALID_PRESSURE = 1u << 4, // both pressures
    INVALID_UV = 1u << 5,
    INVALID_CHANNEL1 = 1u << 8, // channel k (1..7) is bit 8 + k - 1
};

struct StationModel {
    std::uint32_t seed;
    int invalidPermille;     // chance per observation that one group reads invalid
    int loggerPercent;       // field 0, 0..100
    // Derived from the seed by initStationModel.
    unsigned channelMask;    // bit k-1 set: channel k has a sensor
    int channelKind[SIM_CHANNEL_COUNT];
    int altitudeMetres;
    int pressureOffsetTenths; // relative minus absolute pressure
    int climateMeanTenths;    // yearly mean outdoor temperature
    int prevailingWind;       // degrees
    int windBaseTenths;       // typical wind speed, km/h
};

// Fills the seed-dependent parts. invalidPermille 0 gives only the channels
// without sensor as dash texts.
void initStationModel(StationModel& model, std::uint32_t seed, int invalidPermille,
                      int loggerPercent);

// One observation. Temperatures, rain, wind and pressure in tenths of the
// console's units (degrees C, mm, mm/h, km/h, hPa).
struct Observation {
    SimDateTime time;
    int loggerPercent;
    int indoorTemp;
    int indoorHumidity; // percent
    int outdoorTemp;
    int outdoorHumidity;
    int dailyRain;
    int rainRate;
    int windSpeed;
    int windGust;
    int windDirDegrees; // 0..359
    int relPressure;
    int absPressure;
    int uvIndex;        // whole index
    int dewPoint;
    int heatIndex;
    int channelTemp[SIM_CHANNEL_COUNT];
    int channelHumidity[SIM_CHANNEL_COUNT];
    int windChill;
    int hourlyRain;     // the last 60 minutes
    int weeklyRain;     // since Sunday 00:00
    int monthlyRain;    // since the 1st, 00:00
    unsigned channelMask;
    unsigned invalid;   // InvalidGroup bits
};

void observeStation(const StationModel& model, std::int64_t minute, Observation& out);

// The 16-point name of a bearing, by the console's sector bounds (not exact
// 22.5-degree steps; 191 is S). Any integer is taken modulo 360.
const char* compassPointName(int degrees);

// The dash texts a missing or invalid value is written as.
constexpr const char* DASH_TEMPERATURE = "--.-";
constexpr const char* DASH_RAIN = "-.-";
constexpr const char* DASH_OTHER = "--";

constexpr std::size_t OBSERVATION_FIELD_COUNT = 36;
// Upper bound of a line's length; the program reads at most 254 characters
// of a live observation.
constexpr std::size_t OBSERVATION_LINE_MAX = 254;
// Upper bound of an upload text: four full packets plus a last one, since
// the payload before a message's last packet may not pass 255 bytes.
constexpr std::size_t UPLOAD_TEXT_MAX = 270;

// The observation line: 36 values separated by single spaces, no
// terminator in the count. Returns its length, or 0 when `size` is too
// small (out then holds an empty text).
std::size_t formatObservationLine(const Observation& obs, char* out, std::size_t size);

// The observation part of a Weather Underground upload, a query text such
// as "dateutc=now&winddir=225&...", in that service's units (F, mph, inches,
// inHg). Invalid values are left out. Returns the length, 0 when too small.
std::size_t formatWundergroundText(const Observation& obs, char* out, std::size_t size);

// The observation part of a Weathercloud upload, path pieces such as
// "/temp/215/hum/64/...": tenths of C, m/s, hPa and mm, whole percent and
// degrees. Invalid values are left out. Returns the length, 0 when too small.
std::size_t formatWeathercloudText(const Observation& obs, char* out, std::size_t size);

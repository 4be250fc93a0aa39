#include "readings/field_names.h"

#include "readings/station_fields.h"

namespace {

// In StationFields::Index order.
const char* const FIELD_NAMES[STATION_FIELD_COUNT] = {
    "loggerPercent", "recordDate",   "recordTime",  "indoorTemp",  "indoorHumidity", "outdoorTemp",
    "outdoorHumidity", "dailyRain",  "rainRate",    "windSpeed",   "windGust",       "windDirDegrees",
    "windDirPoint",  "relPressure",  "absPressure", "uvIndex",     "dewPoint",       "heatIndex",
    "ch1Temp",       "ch1Humidity",  "ch2Temp",     "ch2Humidity", "ch3Temp",        "ch3Humidity",
    "ch4Temp",       "ch4Humidity",  "ch5Temp",     "ch5Humidity", "ch6Temp",        "ch6Humidity",
    "ch7Temp",       "ch7Humidity",  "windChill",   "hourlyRain",  "weeklyRain",     "monthlyRain",
};

} // namespace

const char* stationFieldName(int field)
{
    if (field < 0 || field >= static_cast<int>(STATION_FIELD_COUNT))
        return nullptr;
    return FIELD_NAMES[field];
}

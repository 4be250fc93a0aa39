#include "export/export_columns.h"

#include "readings/compass.h"

namespace {

using F = StationFields;

} // namespace

const ExportColumn EXPORT_COLUMNS[EXPORT_COLUMN_COUNT] = {
    {L"Date", UnitCell::date, F::recordDate, ALWAYS},
    {L"Time", UnitCell::time, F::recordTime, ALWAYS},
    {L"Barometric\r\npressure", UnitCell::pressure, PRESSURE_COLUMN_FIELD, PRESSURE_SET},
    {L"Indoor\r\ntemperature", UnitCell::temperature, F::indoorTemp, INDOOR_SET},
    {L"Indoor\r\nhumidity", UnitCell::percent, F::indoorHumidity, INDOOR_SET},
    {L"Outdoor\r\ntemperature", UnitCell::temperature, F::outdoorTemp, OUTDOOR_SET},
    {L"Outdoor\r\nhumidity", UnitCell::percent, F::outdoorHumidity, OUTDOOR_SET},
    {L"Dew-point", UnitCell::temperature, F::dewPoint, DEW_POINT_SET},
    {L"Heat\r\nindex", UnitCell::temperature, F::heatIndex, HEAT_INDEX_SET},
    {L"Wind\r\nspeed", UnitCell::wind, F::windSpeed, WIND_SET},
    {L"Wind\r\ngust", UnitCell::wind, F::windGust, WIND_SET},
    {L"Wind\r\nchill", UnitCell::temperature, F::windChill, ALWAYS},
    {L"Wind\r\ndirection", UnitCell::direction, DIRECTION_COLUMN_FIELD, WIND_SET},
    {L"Rain rate", UnitCell::rainRate, F::rainRate, RAIN_SET},
    {L"Hourly\r\nrainfall", UnitCell::rain, F::hourlyRain, ALWAYS},
    {L"Daily\r\nrainfall", UnitCell::dailyRain, F::dailyRain, RAIN_SET},
    {L"Weekly\r\nrainfall", UnitCell::rain, F::weeklyRain, ALWAYS},
    {L"Monthly\r\nrainfall", UnitCell::rain, F::monthlyRain, ALWAYS},
    {L"UV\r\nindex", UnitCell::index, F::uvIndex, UV_SET},
    {L"CH1\r\ntemperature", UnitCell::temperature, F::ch1Temp, CHANNEL_1_SET},
    {L"CH1\r\nhumidity", UnitCell::percent, F::ch1Humidity, CHANNEL_1_SET},
    {L"CH2\r\ntemperature", UnitCell::temperature, F::ch2Temp, CHANNEL_1_SET + 1},
    {L"CH2\r\nhumidity", UnitCell::percent, F::ch2Humidity, CHANNEL_1_SET + 1},
    {L"CH3\r\ntemperature", UnitCell::temperature, F::ch3Temp, CHANNEL_1_SET + 2},
    {L"CH3\r\nhumidity", UnitCell::percent, F::ch3Humidity, CHANNEL_1_SET + 2},
    {L"CH4\r\ntemperature", UnitCell::temperature, F::ch4Temp, CHANNEL_1_SET + 3},
    {L"CH4\r\nhumidity", UnitCell::percent, F::ch4Humidity, CHANNEL_1_SET + 3},
    {L"CH5\r\ntemperature", UnitCell::temperature, F::ch5Temp, CHANNEL_1_SET + 4},
    {L"CH5\r\nhumidity", UnitCell::percent, F::ch5Humidity, CHANNEL_1_SET + 4},
    {L"CH6\r\ntemperature", UnitCell::temperature, F::ch6Temp, CHANNEL_1_SET + 5},
    {L"CH6\r\nhumidity", UnitCell::percent, F::ch6Humidity, CHANNEL_1_SET + 5},
    {L"CH7\r\ntemperature", UnitCell::temperature, F::ch7Temp, CHANNEL_1_SET + 6},
    {L"CH7\r\nhumidity", UnitCell::percent, F::ch7Humidity, CHANNEL_1_SET + 6},
};

bool exportColumnChosen(const ExportColumn& column, const DataSetSelection& sets)
{
    switch (column.dataSet) {
    case ALWAYS:
        return true;
    case PRESSURE_SET:
        return sets.pressureSet != 0;
    case OUTDOOR_SET:
        return sets.outdoorSet != 0;
    case INDOOR_SET:
        return sets.indoorSet != 0;
    case DEW_POINT_SET:
        return sets.dewPointSet != 0;
    case WIND_SET:
        return sets.windSet != 0;
    case HEAT_INDEX_SET:
        return sets.heatIndexSet != 0;
    case RAIN_SET:
        return sets.rainSet != 0;
    case UV_SET:
        return sets.uvSet != 0;
    default:
        return sets.channelSet[column.dataSet - CHANNEL_1_SET] != 0;
    }
}

Quantity exportColumnQuantity(const ExportColumn& column)
{
    if (column.field == PRESSURE_COLUMN_FIELD)
        return Quantity::pressure;
    if (column.field == DIRECTION_COLUMN_FIELD)
        return Quantity::text;
    return fieldQuantity(column.field);
}

int exportColumnField(const ExportColumn& column, const UnitSettings& units)
{
    if (column.field == PRESSURE_COLUMN_FIELD)
        return pressureField(units.pressureType);
    if (column.field == DIRECTION_COLUMN_FIELD)
        return directionField(units.directionUnit);
    return column.field;
}

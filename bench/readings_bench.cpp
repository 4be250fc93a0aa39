// Parsing a full record and converting every converted field of it into a
// non-native unit: the work of one export row, less the writing. A full
// 60,000-record export must not make anyone wait on this (target: at least
// 200,000 records per second).
#include <cstring>

#include <benchmark/benchmark.h>

#include "readings/station_fields.h"
#include "readings/units.h"

namespace {

const char FULL_RECORD[] =
    "45 2024-03-17 14:05 21.3 45 -3.5 80 12.7 3.3 36 52 225 SW 1013.2 1009.8 3 "
    "-5.6 -3.5 20.1 50 18.4 61 19.8 55 -12.3 70 4.4 88 23.9 41 30.1 35 -6.1 0.3 10.4 152.6";

const int CONVERTED_FIELDS[] = {
    StationFields::indoorTemp, StationFields::outdoorTemp, StationFields::dailyRain,
    StationFields::rainRate,   StationFields::windSpeed,   StationFields::windGust,
    StationFields::relPressure, StationFields::absPressure, StationFields::dewPoint,
    StationFields::heatIndex,  StationFields::ch1Temp,     StationFields::ch2Temp,
    StationFields::ch3Temp,    StationFields::ch4Temp,     StationFields::ch5Temp,
    StationFields::ch6Temp,    StationFields::ch7Temp,     StationFields::windChill,
    StationFields::hourlyRain, StationFields::weeklyRain,  StationFields::monthlyRain,
};

void parseAndConvert(benchmark::State& state, const UnitSettings& settings)
{
    StationRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.text, FULL_RECORD, sizeof FULL_RECORD);
    StationFields fields;
    wchar_t out[VALUE_TEXT_SIZE];

    for (auto _ : state) {
        parseStationRecord(&record, fields);
        std::size_t written = 0;
        for (int field : CONVERTED_FIELDS) {
            const Quantity quantity = fieldQuantity(field);
            written += convertFieldText(quantity, unitCodeFor(quantity, settings), fields.text[field],
                                        out, VALUE_TEXT_SIZE);
        }
        benchmark::DoNotOptimize(written);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// Fahrenheit, inches, inHg, mph: the two-decimal formats included.
void BM_ParseAndConvertRecord(benchmark::State& state)
{
    parseAndConvert(state, {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG, WIND_MPH,
                            PRESSURE_RELATIVE, DIRECTION_DEGREES});
}
BENCHMARK(BM_ParseAndConvertRecord);

// mmHg and knots for the other conversions.
void BM_ParseAndConvertRecordOtherUnits(benchmark::State& state)
{
    parseAndConvert(state, {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_MMHG, WIND_KNOTS,
                            PRESSURE_ABSOLUTE, DIRECTION_POINTS});
}
BENCHMARK(BM_ParseAndConvertRecordOtherUnits);

// The native units: parsing and copying only, for comparison.
void BM_ParseRecordNativeUnits(benchmark::State& state)
{
    parseAndConvert(state, DEFAULT_UNIT_SETTINGS);
}
BENCHMARK(BM_ParseRecordNativeUnits);

} // namespace

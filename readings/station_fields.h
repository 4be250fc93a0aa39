// A parsed observation: the 36 values of a StationRecord as wide texts, kept
// in the console's own units, and the rule that tells a reading from its
// invalid or missing forms.
#pragma once

#include <cstddef>

#include "readings/station_record.h"

constexpr std::size_t STATION_FIELD_COUNT = 36;
constexpr std::size_t STATION_FIELD_SIZE = 64; // 63 characters and a terminator

struct StationFields {
    // A field's meaning is its position in the record.
    enum Index : int {
        loggerPercent,
        recordDate,
        recordTime,
        indoorTemp,
        indoorHumidity,
        outdoorTemp,
        outdoorHumidity,
        dailyRain,
        rainRate,
        windSpeed,
        windGust,
        windDirDegrees,
        windDirPoint,
        relPressure,
        absPressure,
        uvIndex,
        dewPoint,
        heatIndex,
        ch1Temp,
        ch1Humidity,
        ch2Temp,
        ch2Humidity,
        ch3Temp,
        ch3Humidity,
        ch4Temp,
        ch4Humidity,
        ch5Temp,
        ch5Humidity,
        ch6Temp,
        ch6Humidity,
        ch7Temp,
        ch7Humidity,
        windChill,
        hourlyRain,
        weeklyRain,
        monthlyRain,
    };

    wchar_t text[STATION_FIELD_COUNT][STATION_FIELD_SIZE];
};

// Where each field of a record lies: the offset of its first byte in the
// record text and its length, already cut to STATION_FIELD_SIZE - 1. A
// field the record does not reach has length 0.
struct FieldSpan {
    std::size_t start;
    std::size_t length;
};

struct StationFieldSpans {
    FieldSpan field[STATION_FIELD_COUNT];
};

// The split of parseStationRecord without copying the texts out, for a
// caller that reads the record's bytes directly (the export, 60,000 records
// at a time). Same rules, same fields: parseStationRecord is built on it.
// A null text gives 36 empty spans.
void splitStationRecord(const char* text, std::size_t maxBytes, StationFieldSpans& spans);

// Splits a record at its spaces into the 36 fields. Reads up to the first NUL
// but never more than maxBytes, so an unterminated buffer is still safe. Each
// byte becomes the character of the same value (0x00..0xFF). A field longer
// than 63 characters is cut; values after the 36th are dropped; fewer values
// leave the later fields empty. A null text leaves the fields untouched.
void parseStationRecord(const char* text, std::size_t maxBytes, StationFields& fields);

// A record slot (history or the live assembly buffer); null leaves the fields
// untouched.
inline void parseStationRecord(const StationRecord* record, StationFields& fields)
{
    parseStationRecord(record != nullptr ? record->text : nullptr, STATION_RECORD_SIZE, fields);
}

// What a field measures: decides its validity rule, its conversion and its
// unit text.
enum class Quantity {
    text,        // recordDate, recordTime, windDirPoint: never converted
    percent,     // humidities and loggerPercent
    temperature, // degrees Celsius
    rain,        // mm
    rainRate,    // mm per hour
    wind,        // km/h
    pressure,    // hPa
    uvIndex,
    degrees,     // windDirDegrees
};

Quantity fieldQuantity(int field);

enum class ValueState { absent, invalid, valid };

// Empty is absent. A temperature is invalid when it contains "--" (one
// leading dash is the sign of a real reading); any other number is invalid
// when it contains a dash anywhere. Plain texts are valid when not empty.
ValueState valueState(Quantity quantity, const wchar_t* text);

inline ValueState fieldValueState(const StationFields& fields, int field)
{
    return valueState(fieldQuantity(field), fields.text[field]);
}

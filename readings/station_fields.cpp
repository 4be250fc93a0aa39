#include "readings/station_fields.h"

#include <cwchar>

void parseStationRecord(const char* text, std::size_t maxBytes, StationFields& fields)
{
    if (text == nullptr)
        return;

    std::size_t field = 0;
    std::size_t position = 0;
    for (std::size_t i = 0; i < maxBytes && text[i] != '\0'; ++i) {
        if (text[i] == ' ') {
            if (field < STATION_FIELD_COUNT)
                fields.text[field][position] = L'\0';
            ++field;
            position = 0;
            continue;
        }
        if (field >= STATION_FIELD_COUNT)
            break; // nothing after the last field is kept
        if (position < STATION_FIELD_SIZE - 1) {
            // Through unsigned char: a byte above 0x7F must not become a
            // negative character where wchar_t is signed.
            fields.text[field][position] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
            ++position;
        }
    }
    if (field < STATION_FIELD_COUNT) {
        fields.text[field][position] = L'\0';
        ++field;
    }
    for (; field < STATION_FIELD_COUNT; ++field)
        fields.text[field][0] = L'\0';
}

Quantity fieldQuantity(int field)
{
    using F = StationFields;
    switch (field) {
    case F::loggerPercent:
    case F::indoorHumidity:
    case F::outdoorHumidity:
    case F::ch1Humidity:
    case F::ch2Humidity:
    case F::ch3Humidity:
    case F::ch4Humidity:
    case F::ch5Humidity:
    case F::ch6Humidity:
    case F::ch7Humidity:
        return Quantity::percent;
    case F::indoorTemp:
    case F::outdoorTemp:
    case F::dewPoint:
    case F::heatIndex:
    case F::ch1Temp:
    case F::ch2Temp:
    case F::ch3Temp:
    case F::ch4Temp:
    case F::ch5Temp:
    case F::ch6Temp:
    case F::ch7Temp:
    case F::windChill:
        return Quantity::temperature;
    case F::dailyRain:
    case F::hourlyRain:
    case F::weeklyRain:
    case F::monthlyRain:
        return Quantity::rain;
    case F::rainRate:
        return Quantity::rainRate;
    case F::windSpeed:
    case F::windGust:
        return Quantity::wind;
    case F::relPressure:
    case F::absPressure:
        return Quantity::pressure;
    case F::uvIndex:
        return Quantity::uvIndex;
    case F::windDirDegrees:
        return Quantity::degrees;
    default:
        return Quantity::text;
    }
}

ValueState valueState(Quantity quantity, const wchar_t* text)
{
    if (text == nullptr || text[0] == L'\0')
        return ValueState::absent;
    switch (quantity) {
    case Quantity::text:
        return ValueState::valid;
    case Quantity::temperature:
        return std::wcsstr(text, L"--") != nullptr ? ValueState::invalid : ValueState::valid;
    default:
        return std::wcschr(text, L'-') != nullptr ? ValueState::invalid : ValueState::valid;
    }
}

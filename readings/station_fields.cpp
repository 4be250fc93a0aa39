#include "readings/station_fields.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace {

// Bit 7 of each byte of `word` that is a space, and no other bit; exact
// for every byte (no borrow runs from one byte into the next).
std::uint64_t spaceBytes(std::uint64_t word)
{
    constexpr std::uint64_t LOW_SEVEN = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t x = word ^ 0x2020202020202020ull; // a space becomes zero
    return ~(((x & LOW_SEVEN) + LOW_SEVEN) | x | LOW_SEVEN);
}

// The spans of text[0..end); returns how many fields it found (at most
// STATION_FIELD_COUNT).
std::size_t splitFields(const char* text, std::size_t end, StationFieldSpans& spans)
{
    std::size_t field = 0;
    std::size_t start = 0;
    auto endField = [&](std::size_t at) {
        const std::size_t length = at - start;
        spans.field[field++] = {start, length < STATION_FIELD_SIZE ? length : STATION_FIELD_SIZE - 1};
        start = at + 1;
    };
    std::size_t i = 0;
    // Eight bytes at a time where a word's first byte is its lowest: a
    // record is some 200 bytes with a space every five or six, and the
    // export splits 60,000 of them.
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= end; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text + i, sizeof word);
            for (std::uint64_t spaces = spaceBytes(word); spaces != 0; spaces &= spaces - 1) {
                endField(i + static_cast<std::size_t>(std::countr_zero(spaces)) / 8);
                // Nothing after the last field is kept, not even its spaces.
                if (field == STATION_FIELD_COUNT)
                    return field;
            }
        }
    }
    for (; i < end; ++i) {
        if (text[i] == ' ') {
            endField(i);
            if (field == STATION_FIELD_COUNT)
                return field;
        }
    }
    endField(end);
    return field;
}

} // namespace

void splitStationRecord(const char* text, std::size_t maxBytes, StationFieldSpans& spans)
{
    std::size_t field = 0;
    if (text != nullptr) {
        const void* terminator = std::memchr(text, '\0', maxBytes);
        const std::size_t end = terminator != nullptr
                                    ? static_cast<std::size_t>(static_cast<const char*>(terminator) - text)
                                    : maxBytes;
        field = splitFields(text, end, spans);
    }
    for (; field < STATION_FIELD_COUNT; ++field)
        spans.field[field] = {0, 0};
}

void parseStationRecord(const char* text, std::size_t maxBytes, StationFields& fields)
{
    if (text == nullptr)
        return;
    StationFieldSpans spans;
    splitStationRecord(text, maxBytes, spans);
    for (std::size_t field = 0; field < STATION_FIELD_COUNT; ++field) {
        const FieldSpan& span = spans.field[field];
        wchar_t* out = fields.text[field];
        for (std::size_t i = 0; i < span.length; ++i) {
            // Through unsigned char: a byte above 0x7F must not become a
            // negative character where wchar_t is signed.
            out[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[span.start + i]));
        }
        out[span.length] = L'\0';
    }
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

// parseStationRecord and every text made from its fields: the conversion of
// each field in every unit code (out-of-range codes included), the unit
// texts, the dashboard's fifteen value areas, the compass, and the number
// reading and writing underneath, checked against the C library.
//
// Input: six unit codes (UnitSettings order), the selected channel, a small
// capacity, eight bytes of a double for the number writer, then the
// record's bytes (not terminated).
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "dashboard/value_display.h"
#include "fuzz/fuzz_support.h"
#include "readings/compass.h"
#include "readings/number_text.h"
#include "readings/station_fields.h"
#include "readings/units.h"

namespace {

constexpr std::size_t HEADER_SIZE = 16;
constexpr std::size_t NARROW_SIZE = 2 * STATION_FIELD_SIZE;

// A field text as bytes; fields hold characters 0x01..0xFF only.
void narrow(const wchar_t* text, char* out)
{
    std::size_t i = 0;
    for (; text[i] != L'\0' && i + 1 < NARROW_SIZE; ++i)
        out[i] = static_cast<char>(text[i]);
    out[i] = '\0';
}

bool sameWide(const wchar_t* a, const wchar_t* b)
{
    return std::wcscmp(a, b) == 0;
}

// The fields as the record's words: split at every space, cut to 63
// characters, the 37th word on dropped, missing words empty.
void checkFieldsAreTheWords(const char* text, std::size_t maxBytes, const StationFields& fields)
{
    std::size_t field = 0;
    std::size_t position = 0;
    std::size_t i = 0;
    for (; i < maxBytes && text[i] != '\0' && field < STATION_FIELD_COUNT; ++i) {
        if (text[i] == ' ') {
            FUZZ_CHECK(fields.text[field][position] == L'\0');
            ++field;
            position = 0;
            continue;
        }
        if (position < STATION_FIELD_SIZE - 1) {
            FUZZ_CHECK(fields.text[field][position]
                       == static_cast<wchar_t>(static_cast<unsigned char>(text[i])));
            ++position;
        }
    }
    for (; field < STATION_FIELD_COUNT; ++field, position = 0)
        FUZZ_CHECK(fields.text[field][position] == L'\0');
}

bool hasConversion(Quantity quantity, std::uint8_t code)
{
    switch (quantity) {
    case Quantity::temperature:
        return code == TEMPERATURE_FAHRENHEIT;
    case Quantity::pressure:
        return code == PRESSURE_MMHG || code == PRESSURE_INHG;
    case Quantity::wind:
        return code == WIND_MPH || code == WIND_METRES_PER_SECOND || code == WIND_KNOTS;
    case Quantity::rain:
    case Quantity::rainRate:
        return code == RAIN_INCHES;
    default:
        return false;
    }
}

int decimalsOf(Quantity quantity, std::uint8_t code)
{
    if (quantity == Quantity::rain || quantity == Quantity::rainRate)
        return 2;
    return quantity == Quantity::pressure && code == PRESSURE_INHG ? 2 : 1;
}

// A number as the conversions write it: optional minus, digits, a point
// and exactly `decimals` digits, or one of the IEEE names.
bool isFixedText(const wchar_t* text, int decimals)
{
    if (sameWide(text, L"inf") || sameWide(text, L"-inf") || sameWide(text, L"nan"))
        return true;
    const wchar_t* p = text[0] == L'-' ? text + 1 : text;
    const wchar_t* digits = p;
    while (*p >= L'0' && *p <= L'9')
        ++p;
    if (p == digits || *p != L'.')
        return false;
    const wchar_t* fraction = ++p;
    while (*p >= L'0' && *p <= L'9')
        ++p;
    return *p == L'\0' && p - fraction == decimals;
}

// One field in one unit code, into a buffer with guards behind the room.
void checkConversion(Quantity quantity, std::uint8_t code, const wchar_t* text, std::size_t smallCapacity)
{
    wchar_t out[VALUE_TEXT_SIZE + 4];
    for (wchar_t& c : out)
        c = GUARD_CHAR;
    const std::size_t length = convertFieldText(quantity, code, text, out, VALUE_TEXT_SIZE);
    for (std::size_t i = VALUE_TEXT_SIZE; i < VALUE_TEXT_SIZE + 4; ++i)
        FUZZ_CHECK(out[i] == GUARD_CHAR);
    FUZZ_CHECK(length < VALUE_TEXT_SIZE);
    FUZZ_CHECK(boundedWideLength(out, VALUE_TEXT_SIZE) == length);

    if (hasConversion(quantity, code) && valueState(quantity, text) == ValueState::valid) {
        FUZZ_CHECK(isFixedText(out, decimalsOf(quantity, code)));
    } else {
        // Unconverted: the text itself, cut to the room.
        FUZZ_CHECK(std::wcsncmp(out, text, length) == 0);
        FUZZ_CHECK(text[length] == L'\0' || length == VALUE_TEXT_SIZE - 1);
    }

    const wchar_t* unit = unitText(quantity, code);
    FUZZ_CHECK(unit != nullptr && std::wcslen(unit) <= 5);

    // The same text converted where it stands.
    wchar_t inPlace[VALUE_TEXT_SIZE];
    std::wcsncpy(inPlace, text, VALUE_TEXT_SIZE - 1);
    inPlace[VALUE_TEXT_SIZE - 1] = L'\0';
    const std::wstring_view expected(out, length);
    FUZZ_CHECK(convertFieldText(quantity, code, inPlace, inPlace, VALUE_TEXT_SIZE) == length);
    FUZZ_CHECK(expected == inPlace);

    // A small buffer gets a cut copy or nothing, never a write past it.
    wchar_t small[16 + 4];
    for (wchar_t& c : small)
        c = GUARD_CHAR;
    const std::size_t smallLength = convertFieldText(quantity, code, text, small, smallCapacity);
    for (std::size_t i = smallCapacity; i < sizeof small / sizeof small[0]; ++i)
        FUZZ_CHECK(small[i] == GUARD_CHAR);
    if (smallCapacity == 0) {
        FUZZ_CHECK(smallLength == 0);
        return;
    }
    FUZZ_CHECK(smallLength < smallCapacity);
    FUZZ_CHECK(boundedWideLength(small, smallCapacity) == smallLength);
    FUZZ_CHECK(std::wcsncmp(small, out, smallLength) == 0);
    FUZZ_CHECK(smallLength == 0 || smallLength == length || smallLength == smallCapacity - 1);
}

// strtod followed by a cast to float, the contract of readDecimalNumber,
// for plain decimal texts of at most 40 significant digits (strtod also
// reads hexadecimal and names, which the reader must not).
void checkDecimalReading(const wchar_t* text)
{
    char bytes[NARROW_SIZE];
    narrow(text, bytes);
    const char* p = bytes;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return;
    if (!(*p >= '0' && *p <= '9') && *p != '.') {
        // No number at all (strtod would read "inf" and "nan"): plus zero.
        const float got = readDecimalNumber(text);
        FUZZ_CHECK(got == 0.0f && !std::signbit(got));
        return;
    }
    int significant = 0;
    bool point = false;
    for (; (*p >= '0' && *p <= '9') || (*p == '.' && !point); ++p) {
        if (*p == '.')
            point = true;
        else if (significant > 0 || *p != '0')
            ++significant;
    }
    if (significant > 40)
        return;

    const double exact = std::strtod(bytes, nullptr);
    float expected;
    const double largest = std::numeric_limits<float>::max();
    if (std::fabs(exact) > largest) {
        // Round to nearest: from half an ulp above the largest float on,
        // the result is infinity.
        const float magnitude = std::fabs(exact) >= largest + std::ldexp(1.0, 103)
                                    ? std::numeric_limits<float>::infinity()
                                    : std::numeric_limits<float>::max();
        expected = exact < 0 ? -magnitude : magnitude;
    } else {
        expected = static_cast<float>(exact);
    }
    const float got = readDecimalNumber(text);
    FUZZ_CHECK(std::memcmp(&got, &expected, sizeof got) == 0);
}

// strtol clamped to int, the contract of readWholeNumber.
void checkWholeReading(const wchar_t* text)
{
    char bytes[NARROW_SIZE];
    narrow(text, bytes);
    errno = 0;
    const long value = std::strtol(bytes, nullptr, 10);
    const int expected = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
    FUZZ_CHECK(readWholeNumber(text) == expected);
}

// The digits of the exact binary value (glibc prints them all), rounded
// half away from zero: up exactly when the first dropped digit is 5 or more.
void expectedFixed(double value, int decimals, char* out, std::size_t size)
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 3)
        decimals = 3;
    if (std::isnan(value)) {
        std::snprintf(out, size, "nan");
        return;
    }
    if (std::isinf(value)) {
        std::snprintf(out, size, value < 0 ? "-inf" : "inf");
        return;
    }
    static char exact[1500];
    const int n = std::snprintf(exact, sizeof exact, "%.1100f", std::fabs(value));
    FUZZ_CHECK(n > 0 && static_cast<std::size_t>(n) < sizeof exact);
    // The kept digits without the point, as one whole number.
    static char digits[1500];
    const char* point = std::strchr(exact, '.');
    const std::size_t whole = static_cast<std::size_t>(point - exact);
    std::memcpy(digits, exact, whole);
    std::memcpy(digits + whole, point + 1, static_cast<std::size_t>(decimals));
    std::size_t count = whole + static_cast<std::size_t>(decimals);
    if (point[1 + decimals] >= '5') {
        std::size_t i = count;
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i > 0) {
            ++digits[i - 1];
        } else {
            std::memmove(digits + 1, digits, count);
            digits[0] = '1';
            ++count;
        }
    }
    const std::size_t wholeDigits = count - static_cast<std::size_t>(decimals);
    std::snprintf(out, size, "%s%.*s%s%.*s", std::signbit(value) ? "-" : "", static_cast<int>(wholeDigits),
                  digits, decimals > 0 ? "." : "", decimals, digits + wholeDigits);
}

void checkFixedWriting(double value, int decimals, std::size_t capacity)
{
    char expected[1500];
    expectedFixed(value, decimals, expected, sizeof expected);
    wchar_t out[64 + 4];
    for (wchar_t& c : out)
        c = GUARD_CHAR;
    const std::size_t length = formatFixed(value, decimals, out, capacity);
    for (std::size_t i = capacity; i < sizeof out / sizeof out[0]; ++i)
        FUZZ_CHECK(out[i] == GUARD_CHAR);
    const std::size_t expectedLength = std::strlen(expected);
    if (expectedLength + 1 > capacity) {
        FUZZ_CHECK(length == 0 && (capacity == 0 || out[0] == L'\0'));
        return;
    }
    FUZZ_CHECK(length == expectedLength);
    for (std::size_t i = 0; i <= length; ++i)
        FUZZ_CHECK(out[i] == static_cast<wchar_t>(static_cast<unsigned char>(expected[i])));
}

void checkDirection(const StationFields& fields, std::uint8_t directionUnit)
{
    const wchar_t* text = directionFieldText(fields, directionUnit);
    FUZZ_CHECK(text == fields.text[directionUnit == DIRECTION_DEGREES ? StationFields::windDirDegrees
                                                                      : StationFields::windDirPoint]);
    const int sector = directionSector(text, directionUnit);
    if (directionUnit == DIRECTION_DEGREES) {
        FUZZ_CHECK(sector >= 1 && sector <= COMPASS_POINT_COUNT);
    } else {
        FUZZ_CHECK(sector == -1 || (sector >= 1 && sector <= COMPASS_POINT_COUNT));
        if (sector > 0)
            FUZZ_CHECK(sameWide(COMPASS_POINT_NAMES[sector - 1], text));
    }
}

void checkValueAreas(const StationFields& parsed, const UnitSettings& units, int channel)
{
    StationFields fields = parsed;
    for (const ValueArea& area : VALUE_PAINT_ORDER) {
        ValueDisplay display;
        for (wchar_t& c : display.text)
            c = GUARD_CHAR;
        prepareValueDisplay(area, fields, units, channel, display);
        FUZZ_CHECK(boundedWideLength(display.text, DISPLAY_TEXT_LIMIT + 1) <= DISPLAY_TEXT_LIMIT);
        FUZZ_CHECK(display.unit != nullptr && std::wcslen(display.unit) <= 5);
        FUZZ_CHECK(display.blankCount > 0);
        FUZZ_CHECK(display.compassImage >= 0 && display.compassImage <= COMPASS_POINT_COUNT);
        if (!display.drawn)
            FUZZ_CHECK(display.text[0] == L'\0');
        if (area.painter != ValuePainter::direction)
            FUZZ_CHECK(display.compassImage == 0);
    }
    // Only a placeholder may have been written, and only into an empty field.
    for (std::size_t i = 0; i < STATION_FIELD_COUNT; ++i) {
        if (sameWide(fields.text[i], parsed.text[i]))
            continue;
        FUZZ_CHECK(parsed.text[i][0] == L'\0');
        FUZZ_CHECK(sameWide(fields.text[i], L"--.-") || sameWide(fields.text[i], L"--")
                   || sameWide(fields.text[i], L"-.-"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < HEADER_SIZE)
        return 0;
    UnitSettings units;
    units.temperatureUnit = data[0];
    units.rainUnit = data[1];
    units.pressureUnit = data[2];
    units.windUnit = data[3];
    units.pressureType = data[4];
    units.directionUnit = data[5];
    const int channel = static_cast<int>(static_cast<std::int8_t>(data[6]));
    const std::size_t smallCapacity = data[7] % 17;
    double raw;
    std::memcpy(&raw, data + 8, sizeof raw);
    const char* text = reinterpret_cast<const char*>(data + HEADER_SIZE);
    const std::size_t textSize = size - HEADER_SIZE;

    StationFields fields;
    for (auto& field : fields.text)
        for (wchar_t& c : field)
            c = GUARD_CHAR;
    parseStationRecord(text, textSize, fields);
    for (const auto& field : fields.text)
        FUZZ_CHECK(boundedWideLength(field, STATION_FIELD_SIZE) < STATION_FIELD_SIZE);
    checkFieldsAreTheWords(text, textSize, fields);

    // A record slot is read through its 450 bytes, terminated or not.
    StationRecord slot{};
    std::memcpy(slot.text, text, textSize < STATION_RECORD_SIZE ? textSize : STATION_RECORD_SIZE);
    StationFields fromSlot;
    parseStationRecord(&slot, fromSlot);
    checkFieldsAreTheWords(slot.text, STATION_RECORD_SIZE, fromSlot);

    for (int field = 0; field < static_cast<int>(STATION_FIELD_COUNT); ++field) {
        const Quantity quantity = fieldQuantity(field);
        const wchar_t* value = fields.text[field];
        // Every code in range, and the input's own, which may be out of it.
        for (std::uint8_t code = 0; code <= 3; ++code)
            checkConversion(quantity, code, value, smallCapacity);
        checkConversion(quantity, unitCodeFor(quantity, units), value, smallCapacity);
        checkDecimalReading(value);
        checkWholeReading(value);
        const ValueState state = valueState(quantity, value);
        FUZZ_CHECK((state == ValueState::absent) == (value[0] == L'\0'));
    }

    const int pressure = pressureField(units.pressureType);
    FUZZ_CHECK(pressure == StationFields::relPressure || pressure == StationFields::absPressure);
    checkDirection(fields, units.directionUnit);
    checkDirection(fields, DIRECTION_POINTS);
    checkDirection(fields, DIRECTION_DEGREES);
    checkValueAreas(fields, units, channel);
    checkValueAreas(fields, DEFAULT_UNIT_SETTINGS, 1);

    // The number writer on any double, in every precision and small rooms.
    const int decimals = static_cast<int>(data[7] >> 4) - 4;
    checkFixedWriting(raw, decimals, 64);
    checkFixedWriting(raw, decimals, smallCapacity);
    checkFixedWriting(static_cast<double>(readDecimalNumber(fields.text[0])), data[6] & 3, 64);
    return 0;
}

#include "readings/units.h"

#include <atomic>
#include <cmath>

#include "readings/number_text.h"

namespace {

std::atomic<std::uint8_t> temperatureUnit{DEFAULT_UNIT_SETTINGS.temperatureUnit};
std::atomic<std::uint8_t> rainUnit{DEFAULT_UNIT_SETTINGS.rainUnit};
std::atomic<std::uint8_t> pressureUnit{DEFAULT_UNIT_SETTINGS.pressureUnit};
std::atomic<std::uint8_t> windUnit{DEFAULT_UNIT_SETTINGS.windUnit};
std::atomic<std::uint8_t> pressureType{DEFAULT_UNIT_SETTINGS.pressureType};
std::atomic<std::uint8_t> directionUnit{DEFAULT_UNIT_SETTINGS.directionUnit};

struct Conversion {
    double (*convert)(float x); // null: the text stays as it is
    int decimals;
};

Conversion conversionFor(Quantity quantity, std::uint8_t unitCode)
{
    switch (quantity) {
    case Quantity::temperature:
        if (unitCode == TEMPERATURE_FAHRENHEIT)
            return {celsiusToFahrenheit, 1};
        break;
    case Quantity::pressure:
        if (unitCode == PRESSURE_INHG)
            return {hpaToInHg, 2};
        if (unitCode == PRESSURE_MMHG)
            return {hpaToMmHg, 1};
        break;
    case Quantity::wind:
        if (unitCode == WIND_MPH)
            return {kmhToMph, 1};
        if (unitCode == WIND_METRES_PER_SECOND)
            return {kmhToMetresPerSecond, 1};
        if (unitCode == WIND_KNOTS)
            return {kmhToKnots, 1};
        break;
    case Quantity::rain:
    case Quantity::rainRate:
        if (unitCode == RAIN_INCHES)
            return {mmToInches, 2};
        break;
    default:
        break;
    }
    return {nullptr, 0};
}

std::size_t copyText(const wchar_t* text, wchar_t* out, std::size_t capacity)
{
    std::size_t length = 0;
    while (length + 1 < capacity && text[length] != L'\0') {
        out[length] = text[length];
        ++length;
    }
    out[length] = L'\0';
    return length;
}

} // namespace

UnitSettings currentUnitSettings()
{
    UnitSettings settings;
    settings.temperatureUnit = temperatureUnit.load(std::memory_order_relaxed);
    settings.rainUnit = rainUnit.load(std::memory_order_relaxed);
    settings.pressureUnit = pressureUnit.load(std::memory_order_relaxed);
    settings.windUnit = windUnit.load(std::memory_order_relaxed);
    settings.pressureType = pressureType.load(std::memory_order_relaxed);
    settings.directionUnit = directionUnit.load(std::memory_order_relaxed);
    return settings;
}

void setCurrentUnitSettings(const UnitSettings& settings)
{
    temperatureUnit.store(settings.temperatureUnit, std::memory_order_relaxed);
    rainUnit.store(settings.rainUnit, std::memory_order_relaxed);
    pressureUnit.store(settings.pressureUnit, std::memory_order_relaxed);
    windUnit.store(settings.windUnit, std::memory_order_relaxed);
    pressureType.store(settings.pressureType, std::memory_order_relaxed);
    directionUnit.store(settings.directionUnit, std::memory_order_relaxed);
}

// The float argument widens to double before any arithmetic; each step is a
// separate double operation (the build must not fuse them into FMAs, which
// would change the last bit and so, at times, a shown digit).
double celsiusToFahrenheit(float x)
{
    return std::floor(((x * 1.8) + 32) * 10) * 0.1;
}

double hpaToInHg(float x)
{
    return x * 0.02952615992102665;
}

double hpaToMmHg(float x)
{
    return x * 0.7500493583415596;
}

double kmhToMph(float x)
{
    return x * 0.6214;
}

double kmhToMetresPerSecond(float x)
{
    return x * 0.2777;
}

double kmhToKnots(float x)
{
    return x * 0.5399;
}

double mmToInches(float x)
{
    return x * 0.03937007874015748;
}

std::uint8_t unitCodeFor(Quantity quantity, const UnitSettings& settings)
{
    switch (quantity) {
    case Quantity::temperature:
        return settings.temperatureUnit;
    case Quantity::rain:
    case Quantity::rainRate:
        return settings.rainUnit;
    case Quantity::wind:
        return settings.windUnit;
    case Quantity::pressure:
        return settings.pressureUnit;
    default:
        return 0;
    }
}

std::size_t convertFieldText(Quantity quantity, std::uint8_t unitCode, const wchar_t* text,
                             wchar_t* out, std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    if (text == nullptr)
        text = L"";
    const Conversion conversion = conversionFor(quantity, unitCode);
    if (conversion.convert == nullptr || valueState(quantity, text) != ValueState::valid)
        return copyText(text, out, capacity);
    const double value = conversion.convert(readDecimalNumber(text));
    return formatFixed(value, conversion.decimals, out, capacity);
}

bool convertsFieldText(Quantity quantity, std::uint8_t unitCode)
{
    return conversionFor(quantity, unitCode).convert != nullptr;
}

const wchar_t* unitText(Quantity quantity, std::uint8_t unitCode)
{
    switch (quantity) {
    case Quantity::temperature:
        return unitCode == TEMPERATURE_CELSIUS ? L"\u00B0C" : L"\u00B0F";
    case Quantity::pressure:
        if (unitCode == PRESSURE_HPA)
            return L"hPa";
        return unitCode == PRESSURE_MMHG ? L"mmHg" : L"inHg";
    case Quantity::wind:
        if (unitCode == WIND_MPH)
            return L"mph";
        if (unitCode == WIND_METRES_PER_SECOND)
            return L"m/s";
        return unitCode == WIND_KMH ? L"km/h" : L"knots";
    case Quantity::rain:
        return unitCode == RAIN_INCHES ? L"in" : L"mm";
    case Quantity::rainRate:
        return unitCode == RAIN_INCHES ? L"in/h" : L"mm/h";
    case Quantity::percent:
        return L"%";
    case Quantity::degrees:
        return L"\u00B0";
    default:
        return L"";
    }
}

int pressureField(std::uint8_t type)
{
    return type == PRESSURE_RELATIVE ? StationFields::relPressure : StationFields::absPressure;
}

// The user's unit choices, the conversions from the console's native units,
// and the one place where a field text becomes the text that the dashboard
// shows and the export file holds, so both carry the same digits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "readings/station_fields.h"

// Six one-byte codes; this is also their order in the stored setting.
struct UnitSettings {
    std::uint8_t temperatureUnit; // 0 Celsius, 1 Fahrenheit
    std::uint8_t rainUnit;        // 0 mm, 1 inches
    std::uint8_t pressureUnit;    // 0 hPa, 1 mmHg, 2 inHg
    std::uint8_t windUnit;        // 0 mph, 1 m/s, 2 km/h, 3 knots
    std::uint8_t pressureType;    // 0 absolute (absPressure), 1 relative (relPressure)
    std::uint8_t directionUnit;   // 0 compass points (windDirPoint), 1 degrees (windDirDegrees)
};

constexpr std::uint8_t TEMPERATURE_CELSIUS = 0;
constexpr std::uint8_t TEMPERATURE_FAHRENHEIT = 1;
constexpr std::uint8_t RAIN_MM = 0;
constexpr std::uint8_t RAIN_INCHES = 1;
constexpr std::uint8_t PRESSURE_HPA = 0;
constexpr std::uint8_t PRESSURE_MMHG = 1;
constexpr std::uint8_t PRESSURE_INHG = 2;
constexpr std::uint8_t WIND_MPH = 0;
constexpr std::uint8_t WIND_METRES_PER_SECOND = 1;
constexpr std::uint8_t WIND_KMH = 2;
constexpr std::uint8_t WIND_KNOTS = 3;
constexpr std::uint8_t PRESSURE_ABSOLUTE = 0;
constexpr std::uint8_t PRESSURE_RELATIVE = 1;
constexpr std::uint8_t DIRECTION_POINTS = 0;
constexpr std::uint8_t DIRECTION_DEGREES = 1;

// The choices in force until the stored settings are loaded: the console's
// own units, relative pressure, compass points.
constexpr UnitSettings DEFAULT_UNIT_SETTINGS = {
    TEMPERATURE_CELSIUS, RAIN_MM, PRESSURE_HPA, WIND_KMH, PRESSURE_RELATIVE, DIRECTION_POINTS,
};

// The program's current choices. The setup page changes them on the main
// thread while the export thread may be writing rows, so each code is held
// in its own atomic byte; a reader takes a copy per row or per paint.
UnitSettings currentUnitSettings();
void setCurrentUnitSettings(const UnitSettings& settings);

// The conversions. The input is single precision as read from the field;
// the arithmetic is double, in the order written.
double celsiusToFahrenheit(float x); // floor((x * 1.8 + 32) * 10) * 0.1: rounds down
double hpaToInHg(float x);
double hpaToMmHg(float x);
double kmhToMph(float x);
double kmhToMetresPerSecond(float x);
double kmhToKnots(float x);
double mmToInches(float x);

// The code of settings that governs a quantity (0 for quantities that are
// never converted).
std::uint8_t unitCodeFor(Quantity quantity, const UnitSettings& settings);

// Room that always holds a converted or copied field text.
constexpr std::size_t VALUE_TEXT_SIZE = STATION_FIELD_SIZE;

// Writes the display/export text of a field text in the unit `unitCode`
// chosen for its quantity, and returns its length. The text is copied
// unchanged when it is empty or invalid (valueState), when the code is the
// native unit or has no conversion (any unknown code), and for quantities
// that are never converted. Otherwise it is read as a number
// (readDecimalNumber), converted, and written with "%.1f" (temperature, wind,
// mmHg) or "%.2f" (inHg, rain), an exact half rounding away from zero. A
// copy longer than capacity - 1 is cut; a converted text that does not fit
// is written empty. out may be the text itself.
std::size_t convertFieldText(Quantity quantity, std::uint8_t unitCode, const wchar_t* text,
                             wchar_t* out, std::size_t capacity);

// Whether convertFieldText converts texts of `quantity` in `unitCode`;
// when not, it copies every text unchanged (cut to capacity - 1).
bool convertsFieldText(Quantity quantity, std::uint8_t unitCode);

// The unit text shown beside a value on the dashboard: temperature 0 "°C",
// other "°F"; pressure 0 "hPa", 1 "mmHg", other "inHg"; wind 0 "mph",
// 1 "m/s", 2 "km/h", other "knots"; rain 1 "in", other "mm"; rain rate
// 1 "in/h", other "mm/h"; percent "%"; degrees the degree sign; "" for the
// rest. An unknown code thus names a unit whose conversion it does not do.
const wchar_t* unitText(Quantity quantity, std::uint8_t unitCode);

// The pressure field shown and exported: relPressure for pressureType 1,
// absPressure for any other value.
int pressureField(std::uint8_t pressureType);

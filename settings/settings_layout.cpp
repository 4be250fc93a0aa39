#include "settings/settings_layout.h"

#include <cstring>
#include <cwchar>

namespace {

struct SettingInfo {
    const wchar_t* name;
    std::size_t size;
};

const SettingInfo SETTINGS[SETTING_VALUE_COUNT] = {
    {L"Data", DATA_SETTING_SIZE},        {L"Id", CREDENTIAL_SETTING_SIZE},
    {L"Key", CREDENTIAL_SETTING_SIZE},   {L"Id1", CREDENTIAL_SETTING_SIZE},
    {L"Key1", CREDENTIAL_SETTING_SIZE},  {L"unit", UNIT_SETTING_SIZE},
    {L"ls", LS_SETTING_SIZE},
};

constexpr std::size_t UNIT_CODE_COUNT = 6;

bool isHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::uint16_t unitAt(const std::uint8_t* bytes, std::size_t index)
{
    return static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

void putUnit(std::uint8_t* bytes, std::size_t index, std::uint32_t unit)
{
    bytes[2 * index] = static_cast<std::uint8_t>(unit & 0xFF);
    bytes[2 * index + 1] = static_cast<std::uint8_t>((unit >> 8) & 0xFF);
}

// The largest valid code of each UnitSettings byte, and its default.
struct UnitCodeRange {
    std::uint8_t UnitSettings::*member;
    std::uint8_t largest;
    std::uint8_t fallback;
};

const UnitCodeRange UNIT_CODES[UNIT_CODE_COUNT] = {
    {&UnitSettings::temperatureUnit, TEMPERATURE_FAHRENHEIT, DEFAULT_UNIT_SETTINGS.temperatureUnit},
    {&UnitSettings::rainUnit, RAIN_INCHES, DEFAULT_UNIT_SETTINGS.rainUnit},
    {&UnitSettings::pressureUnit, PRESSURE_INHG, DEFAULT_UNIT_SETTINGS.pressureUnit},
    {&UnitSettings::windUnit, WIND_KNOTS, DEFAULT_UNIT_SETTINGS.windUnit},
    {&UnitSettings::pressureType, PRESSURE_RELATIVE, DEFAULT_UNIT_SETTINGS.pressureType},
    {&UnitSettings::directionUnit, DIRECTION_DEGREES, DEFAULT_UNIT_SETTINGS.directionUnit},
};

} // namespace

const wchar_t* settingName(SettingValue value)
{
    if (value < 0 || value >= SETTING_VALUE_COUNT)
        return nullptr;
    return SETTINGS[value].name;
}

std::size_t settingSize(SettingValue value)
{
    if (value < 0 || value >= SETTING_VALUE_COUNT)
        return 0;
    return SETTINGS[value].size;
}

int isTextSetting(SettingValue value)
{
    return value == SETTING_DATA || isCredentialSetting(value);
}

int isCredentialSetting(SettingValue value)
{
    return value == SETTING_ID || value == SETTING_KEY || value == SETTING_ID1 ||
           value == SETTING_KEY1;
}

int settingKeyPath(SettingValue value, wchar_t* out, std::size_t capacity)
{
    if (capacity > 0)
        out[0] = L'\0';
    const wchar_t* name = settingName(value);
    if (name == nullptr)
        return 0;
    const std::size_t rootLength = std::wcslen(SETTINGS_KEY_ROOT);
    const std::size_t nameLength = std::wcslen(name);
    if (rootLength + 1 + nameLength + 1 > capacity)
        return 0;
    std::wmemcpy(out, SETTINGS_KEY_ROOT, rootLength);
    out[rootLength] = L'\\';
    std::wmemcpy(out + rootLength + 1, name, nameLength);
    out[rootLength + 1 + nameLength] = L'\0';
    return 1;
}

void encodeTextSetting(const wchar_t* text, std::uint8_t* bytes, std::size_t size)
{
    std::memset(bytes, 0, size);
    const std::size_t units = size / 2;
    if (units == 0 || text == nullptr)
        return;
    const std::size_t room = units - 1; // the terminator always fits
    std::size_t written = 0;
    for (std::size_t i = 0; text[i] != L'\0'; ++i) {
        const std::uint32_t c = static_cast<std::uint32_t>(text[i]);
        std::uint32_t pair[2] = {c, 0};
        std::size_t count = 1;
        if (isHighSurrogate(c) && isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            // Already UTF-16 (Windows): keep the two halves together.
            pair[1] = static_cast<std::uint32_t>(text[i + 1]);
            count = 2;
        } else if (c > 0x10FFFF) {
            pair[0] = 0xFFFD; // not a character at all
        } else if (c > 0xFFFF) {
            pair[0] = 0xD800 + ((c - 0x10000) >> 10);
            pair[1] = 0xDC00 + ((c - 0x10000) & 0x3FF);
            count = 2;
        }
        if (written + count > room)
            break;
        for (std::size_t k = 0; k < count; ++k)
            putUnit(bytes, written++, pair[k]);
        if (isHighSurrogate(c) && count == 2)
            ++i;
    }
}

std::size_t decodeTextSetting(const std::uint8_t* bytes, std::size_t length, wchar_t* text,
                              std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    const std::size_t units = length / 2;
    const std::size_t room = capacity - 1;
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < units) {
        const std::uint16_t unit = unitAt(bytes, i);
        if (unit == 0)
            break;
        if (isHighSurrogate(unit) && i + 1 < units && isLowSurrogate(unitAt(bytes, i + 1))) {
            const std::uint16_t low = unitAt(bytes, i + 1);
            if constexpr (sizeof(wchar_t) >= 4) {
                if (written + 1 > room)
                    break;
                text[written++] = static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) +
                                                       (low - 0xDC00));
            } else {
                if (written + 2 > room)
                    break;
                text[written++] = static_cast<wchar_t>(unit);
                text[written++] = static_cast<wchar_t>(low);
            }
            i += 2;
            continue;
        }
        if (written + 1 > room)
            break;
        text[written++] = static_cast<wchar_t>(unit);
        ++i;
    }
    text[written] = L'\0';
    return written;
}

void encodeUnitSetting(const UnitSettings& settings, std::uint8_t bytes[UNIT_SETTING_SIZE])
{
    std::memset(bytes, 0, UNIT_SETTING_SIZE);
    for (std::size_t i = 0; i < UNIT_CODE_COUNT; ++i)
        bytes[i] = settings.*UNIT_CODES[i].member;
}

void decodeUnitSetting(const std::uint8_t* bytes, std::size_t length, UnitSettings* settings)
{
    for (std::size_t i = 0; i < UNIT_CODE_COUNT && i < length; ++i) {
        const UnitCodeRange& code = UNIT_CODES[i];
        settings->*code.member = bytes[i] <= code.largest ? bytes[i] : code.fallback;
    }
}

void encodeLsSetting(const LanguageService& choice, std::uint8_t bytes[LS_SETTING_SIZE])
{
    std::memset(bytes, 0, LS_SETTING_SIZE);
    if (choice.language < STORED_LANGUAGE_COUNT)
        bytes[0] = static_cast<std::uint8_t>(choice.language);
    if (choice.selectedService < SERVICE_COUNT)
        bytes[1] = static_cast<std::uint8_t>(choice.selectedService);
}

LanguageService decodeLsSetting(const std::uint8_t* bytes, std::size_t length)
{
    LanguageService choice = {0, 0};
    if (length > 0 && bytes[0] < STORED_LANGUAGE_COUNT)
        choice.language = bytes[0];
    if (length > 1 && bytes[1] < SERVICE_COUNT)
        choice.selectedService = bytes[1];
    return choice;
}

// The decoding of every stored settings value from any bytes of any
// length, as a damaged or foreign registry value would hold them: texts
// stay within their buffers and decode again to themselves, unit codes and
// the language and service always come out in range.
//
// Input: a capacity byte for text decoding and key paths, then the value's
// bytes, decoded as every one of the values in turn.
#include <cstring>
#include <vector>

#include "app/language_tables.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings_layout.h"

namespace {

bool isHighSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-16 units a decoded text needs when written back.
std::size_t utf16Units(const wchar_t* text)
{
    std::size_t units = 0;
    for (; *text != L'\0'; ++text)
        units += static_cast<std::uint32_t>(*text) > 0xFFFF ? 2 : 1;
    return units;
}

std::size_t decodeChecked(const std::uint8_t* bytes, std::size_t length, wchar_t* text, std::size_t capacity)
{
    for (std::size_t i = 0; i < capacity + 4; ++i)
        text[i] = GUARD_CHAR;
    const std::size_t written = decodeTextSetting(bytes, length, text, capacity);
    for (std::size_t i = capacity; i < capacity + 4; ++i)
        FUZZ_CHECK(text[i] == GUARD_CHAR);
    if (capacity == 0) {
        FUZZ_CHECK(written == 0);
        return 0;
    }
    FUZZ_CHECK(written < capacity);
    FUZZ_CHECK(boundedWideLength(text, capacity) == written);
    for (std::size_t i = 0; i < written; ++i) {
        const auto c = static_cast<std::uint32_t>(text[i]);
        FUZZ_CHECK(c != 0 && c <= 0x10FFFF);
        // With 32-bit wchar_t a pair becomes one character.
        if constexpr (sizeof(wchar_t) >= 4)
            FUZZ_CHECK(!(isHighSurrogate(c) && i + 1 < written
                         && isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))));
    }
    return written;
}

void checkTextSetting(SettingValue value, const std::uint8_t* bytes, std::size_t length, std::size_t capacity)
{
    const std::size_t size = settingSize(value);
    const std::size_t room = size / 2;
    std::vector<wchar_t> text(room + 4);
    const std::size_t textLength = decodeChecked(bytes, length, text.data(), room);

    // Written back and read again, a text that fits is itself; one that
    // does not is cut at a whole character.
    std::vector<std::uint8_t> stored(size);
    encodeTextSetting(text.data(), stored.data(), size);
    FUZZ_CHECK(stored[size - 2] == 0 && stored[size - 1] == 0);
    std::vector<wchar_t> again(room + 4);
    const std::size_t againLength = decodeChecked(stored.data(), size, again.data(), room);
    FUZZ_CHECK(std::wcsncmp(again.data(), text.data(), againLength) == 0);
    if (utf16Units(text.data()) < room)
        FUZZ_CHECK(std::wcscmp(again.data(), text.data()) == 0);

    // Any buffer the caller brings: the same text, cut to its room.
    std::vector<wchar_t> other(capacity + 4);
    const std::size_t otherLength = decodeChecked(bytes, length, other.data(), capacity);
    FUZZ_CHECK(std::wcsncmp(other.data(), text.data(), otherLength < textLength ? otherLength : textLength) == 0);
}

bool unitCodesInRange(const UnitSettings& units)
{
    return units.temperatureUnit <= TEMPERATURE_FAHRENHEIT && units.rainUnit <= RAIN_INCHES
        && units.pressureUnit <= PRESSURE_INHG && units.windUnit <= WIND_KNOTS
        && units.pressureType <= PRESSURE_RELATIVE && units.directionUnit <= DIRECTION_DEGREES;
}

void checkUnitSetting(const std::uint8_t* bytes, std::size_t length)
{
    UnitSettings units = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG, WIND_KNOTS, PRESSURE_ABSOLUTE,
                          DIRECTION_DEGREES};
    const UnitSettings before = units;
    decodeUnitSetting(bytes, length, &units);
    FUZZ_CHECK(unitCodesInRange(units));
    const std::uint8_t* const oldCodes = &before.temperatureUnit;
    const std::uint8_t* const newCodes = &units.temperatureUnit;
    for (std::size_t i = 0; i < 6; ++i) {
        // Codes the value does not hold stay; codes in range are taken.
        if (i >= length)
            FUZZ_CHECK(newCodes[i] == oldCodes[i]);
    }
    std::uint8_t stored[UNIT_SETTING_SIZE];
    encodeUnitSetting(units, stored);
    UnitSettings again = DEFAULT_UNIT_SETTINGS;
    decodeUnitSetting(stored, sizeof stored, &again);
    FUZZ_CHECK(std::memcmp(&again, &units, sizeof units) == 0);
    for (std::size_t i = 6; i < UNIT_SETTING_SIZE; ++i)
        FUZZ_CHECK(stored[i] == 0);
}

void checkLsSetting(const std::uint8_t* bytes, std::size_t length)
{
    const LanguageService choice = decodeLsSetting(bytes, length);
    FUZZ_CHECK(choice.language < LANGUAGE_COUNT && choice.selectedService < SERVICE_COUNT);
    std::uint8_t stored[LS_SETTING_SIZE];
    encodeLsSetting(choice, stored);
    const LanguageService again = decodeLsSetting(stored, sizeof stored);
    FUZZ_CHECK(again.language == choice.language && again.selectedService == choice.selectedService);
}

void checkKeyPath(SettingValue value, std::size_t capacity)
{
    std::vector<wchar_t> path(capacity + 4, GUARD_CHAR);
    const int made = settingKeyPath(value, path.data(), capacity);
    for (std::size_t i = capacity; i < capacity + 4; ++i)
        FUZZ_CHECK(path[i] == GUARD_CHAR);
    const wchar_t* name = settingName(value);
    if (!made) {
        FUZZ_CHECK(capacity == 0 || path[0] == L'\0');
        return;
    }
    FUZZ_CHECK(name != nullptr);
    const std::size_t length = boundedWideLength(path.data(), capacity);
    const std::size_t nameLength = std::wcslen(name);
    FUZZ_CHECK(length < capacity && length > nameLength);
    FUZZ_CHECK(path[length - nameLength - 1] == L'\\' && std::wcscmp(path.data() + length - nameLength, name) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input{data, size};
    const std::size_t capacity = takeByte(input) % 80;
    // Exactly the value's bytes on the heap: a read past them is caught.
    const std::vector<std::uint8_t> value(input.data, input.data + input.size);
    const std::uint8_t* bytes = value.data();

    for (int v = -1; v <= SETTING_VALUE_COUNT; ++v) {
        const auto setting = static_cast<SettingValue>(v);
        checkKeyPath(setting, capacity);
        const std::size_t settingBytes = settingSize(setting);
        if (settingBytes == 0) {
            FUZZ_CHECK(settingName(setting) == nullptr && !isTextSetting(setting));
            continue;
        }
        // The store reads at most the value's size; the decoders take any length.
        const std::size_t stored = value.size() < settingBytes ? value.size() : settingBytes;
        if (isTextSetting(setting)) {
            checkTextSetting(setting, bytes, stored, capacity);
            checkTextSetting(setting, bytes, value.size(), capacity);
        } else if (setting == SETTING_UNIT) {
            checkUnitSetting(bytes, stored);
            checkUnitSetting(bytes, value.size());
        } else {
            checkLsSetting(bytes, stored);
            checkLsSetting(bytes, value.size());
        }
    }
    return 0;
}

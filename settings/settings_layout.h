// The stored settings as bytes: which values exist, the exact size each is
// written with, and the layout of its content. Texts are UTF-16LE in every
// build, whatever the size of wchar_t. Decoding accepts any bytes of any
// length, so a damaged or foreign registry value can never overrun a buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "readings/units.h"

// Each value lives in a key of its own under this path (below
// HKEY_CURRENT_USER), followed by a backslash and the value's name.
constexpr const wchar_t* SETTINGS_KEY_ROOT = L"Software\\Tessmark\\VID_1941&PID_8021";

enum SettingValue : int {
    SETTING_DATA, // the last-read text shown on the dashboard
    SETTING_ID,   // Weather Underground station ID
    SETTING_KEY,  // Weather Underground station key
    SETTING_ID1,  // Weathercloud station ID
    SETTING_KEY1, // Weathercloud station key
    SETTING_UNIT, // UnitSettings
    SETTING_LS,   // language and selected service
};
constexpr int SETTING_VALUE_COUNT = 7;

// Sizes in bytes, as written.
constexpr std::size_t DATA_SETTING_SIZE = 64;
constexpr std::size_t CREDENTIAL_SETTING_SIZE = 128;
constexpr std::size_t UNIT_SETTING_SIZE = 12;
constexpr std::size_t LS_SETTING_SIZE = 4;
constexpr std::size_t LARGEST_SETTING_SIZE = CREDENTIAL_SETTING_SIZE;

// Text room in characters, terminator included: 31 characters of last-read
// text, 63 of an ID or key.
constexpr std::size_t LAST_READ_TEXT_SIZE = DATA_SETTING_SIZE / 2;
constexpr std::size_t CREDENTIAL_TEXT_SIZE = CREDENTIAL_SETTING_SIZE / 2;

// "Data", "Id", "Key", "Id1", "Key1", "unit", "ls"; null for anything else.
const wchar_t* settingName(SettingValue value);
// The size the value is written with; 0 for anything else.
std::size_t settingSize(SettingValue value);
// 1 for "Data" and the four credentials.
int isTextSetting(SettingValue value);
// 1 for "Id", "Key", "Id1", "Key1": never stored empty, so clearing an edit
// box cannot erase a stored credential.
int isCredentialSetting(SettingValue value);

// Writes SETTINGS_KEY_ROOT, a backslash and the value's name into out.
// Returns 1, or 0 (out empty when capacity allows) for an unknown value or
// too small a buffer.
int settingKeyPath(SettingValue value, wchar_t* out, std::size_t capacity);

// Text values. Encoding fills all `size` bytes (an even count): the text as
// UTF-16LE, cut so that a zero terminator fits, then zeros. A character that
// needs a surrogate pair is written whole or not at all.
void encodeTextSetting(const wchar_t* text, std::uint8_t* bytes, std::size_t size);
// Reads the UTF-16LE text in the first `length` bytes up to its terminator;
// a trailing odd byte is ignored and a missing terminator ends the text at
// `length`. At most capacity - 1 characters are kept (a text that fills the
// buffer is cut at its last character) and a surrogate pair is never split.
// Always terminates text when capacity > 0; returns the characters written.
std::size_t decodeTextSetting(const std::uint8_t* bytes, std::size_t length, wchar_t* text,
                              std::size_t capacity);

// "unit": the six codes in bytes 0-5 in UnitSettings order, bytes 6-11 zero.
void encodeUnitSetting(const UnitSettings& settings, std::uint8_t bytes[UNIT_SETTING_SIZE]);
// Takes the codes from the first `length` bytes (at most six) and leaves the
// others in *settings as they were. A code outside its range takes the
// built-in default of that choice: a stray byte must not make the dashboard
// label a value with a unit it was never converted to.
void decodeUnitSetting(const std::uint8_t* bytes, std::size_t length, UnitSettings* settings);

// "ls": language (0 English .. 4 Spanish) and selected service
// (0 Weather Underground, 1 Weathercloud).
struct LanguageService {
    std::uint32_t language;
    std::uint32_t selectedService;
};
constexpr std::uint32_t SERVICE_COUNT = 2;
// Languages the "ls" value can name; the language tables hold as many.
constexpr std::uint32_t STORED_LANGUAGE_COUNT = 5;

// Byte 0 language, byte 1 service, bytes 2-3 zero. Values outside their
// range are written as 0.
void encodeLsSetting(const LanguageService& choice, std::uint8_t bytes[LS_SETTING_SIZE]);
// Reads the first `length` bytes; a byte not read counts as 0, a language
// above 4 becomes 0 and a service other than 0 and 1 becomes 0.
LanguageService decodeLsSetting(const std::uint8_t* bytes, std::size_t length);

// The settings in the registry: one key per value under HKEY_CURRENT_USER
// (SETTINGS_KEY_ROOT\<name>), holding one REG_BINARY value of the same name.
// Every operation opens and closes its key; a failing registry call is
// silent and leaves the destination as it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/settings_layout.h"

// Writes exactly settingSize(value) bytes. Returns 1 when written, 0 when
// the key could be neither opened nor created, or the write failed.
int storeSetting(SettingValue value, const std::uint8_t* bytes);

// Reads the value into destination (settingSize(value) bytes of room).
// Returns the number of bytes read; only those are overwritten. Nothing is
// read, and destination is untouched, when the key or value is missing, the
// value is larger than its size or empty.
std::size_t loadSetting(SettingValue value, std::uint8_t* destination);

// A text value ("Data", "Id", "Key", "Id1", "Key1"). A credential is never
// stored empty: clearing its edit box keeps the stored one. Returns 1 when
// written.
int storeTextSetting(SettingValue value, const wchar_t* text);
// Reads a text value into text (capacity characters); returns 1 when one
// was read, else 0 with text unchanged.
int loadTextSetting(SettingValue value, wchar_t* text, std::size_t capacity);

// "unit": the given choices; loading reads into the program's current
// choices (currentUnitSettings) and returns them.
int storeUnitSettings(const UnitSettings& settings);
UnitSettings loadUnitSettings();

// "ls": language and service, checked; both 0 when the value is missing.
int storeLanguageService(const LanguageService& choice);
LanguageService loadLanguageService();

#include "settings/settings_store_win.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr std::size_t KEY_PATH_SIZE = 64;

} // namespace

int storeSetting(SettingValue value, const std::uint8_t* bytes)
{
    wchar_t path[KEY_PATH_SIZE];
    if (!settingKeyPath(value, path, KEY_PATH_SIZE))
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS &&
        RegCreateKeyW(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS)
        return 0;
    const LONG result = RegSetValueExW(key, settingName(value), 0, REG_BINARY, bytes,
                                       static_cast<DWORD>(settingSize(value)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}

std::size_t loadSetting(SettingValue value, std::uint8_t* destination)
{
    wchar_t path[KEY_PATH_SIZE];
    if (!settingKeyPath(value, path, KEY_PATH_SIZE))
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS)
        return 0;
    // The query goes into a buffer of our own: on ERROR_MORE_DATA the
    // buffer's content is undefined, and the destination must stay as it was.
    std::uint8_t bytes[LARGEST_SETTING_SIZE];
    DWORD size = static_cast<DWORD>(settingSize(value));
    const LONG result = RegQueryValueExW(key, settingName(value), nullptr, nullptr, bytes, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || size == 0 || size > settingSize(value))
        return 0;
    std::memcpy(destination, bytes, size);
    return size;
}

int storeTextSetting(SettingValue value, const wchar_t* text)
{
    if (!isTextSetting(value) || text == nullptr)
        return 0;
    if (isCredentialSetting(value) && text[0] == L'\0')
        return 0;
    std::uint8_t bytes[LARGEST_SETTING_SIZE];
    encodeTextSetting(text, bytes, settingSize(value));
    return storeSetting(value, bytes);
}

int loadTextSetting(SettingValue value, wchar_t* text, std::size_t capacity)
{
    if (!isTextSetting(value))
        return 0;
    std::uint8_t bytes[LARGEST_SETTING_SIZE];
    const std::size_t length = loadSetting(value, bytes);
    if (length == 0)
        return 0;
    // No more characters than the value itself can hold.
    const std::size_t room = settingSize(value) / 2;
    decodeTextSetting(bytes, length, text, capacity < room ? capacity : room);
    return 1;
}

int storeUnitSettings(const UnitSettings& settings)
{
    std::uint8_t bytes[UNIT_SETTING_SIZE];
    encodeUnitSetting(settings, bytes);
    return storeSetting(SETTING_UNIT, bytes);
}

UnitSettings loadUnitSettings()
{
    UnitSettings settings = currentUnitSettings();
    std::uint8_t bytes[UNIT_SETTING_SIZE];
    const std::size_t length = loadSetting(SETTING_UNIT, bytes);
    if (length > 0) {
        decodeUnitSetting(bytes, length, &settings);
        setCurrentUnitSettings(settings);
    }
    return settings;
}

int storeLanguageService(const LanguageService& choice)
{
    std::uint8_t bytes[LS_SETTING_SIZE];
    encodeLsSetting(choice, bytes);
    return storeSetting(SETTING_LS, bytes);
}

LanguageService loadLanguageService()
{
    std::uint8_t bytes[LS_SETTING_SIZE];
    const std::size_t length = loadSetting(SETTING_LS, bytes);
    return decodeLsSetting(bytes, length);
}

// The settings store against the real registry. HKEY_CURRENT_USER is
// redirected to a private key for the test, so neither the user's settings
// nor another test running at the same time are touched.
#include "settings/settings_store_win.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/language_tables.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes asciiValue(const char* text, std::size_t size)
{
    Bytes bytes(size, 0);
    for (std::size_t i = 0; text[i] != '\0' && 2 * i + 1 < size; ++i)
        bytes[2 * i] = static_cast<std::uint8_t>(text[i]);
    return bytes;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::swprintf(privateKey, 80, L"Software\\AerovaneTests\\settings-%lu",
                      static_cast<unsigned long>(GetCurrentProcessId()));
        RegDeleteTreeW(HKEY_CURRENT_USER, privateKey);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, privateKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &redirect, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, redirect), ERROR_SUCCESS);
        savedUnits = currentUnitSettings();
        setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
    }

    void TearDown() override
    {
        setCurrentUnitSettings(savedUnits);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (redirect != nullptr)
            RegCloseKey(redirect);
        RegDeleteTreeW(HKEY_CURRENT_USER, privateKey);
    }

    // The value as the registry holds it, read below the private key, so
    // the test also proves where the store put it.
    bool readRaw(const wchar_t* name, DWORD* type, Bytes* bytes)
    {
        std::wstring path = std::wstring(SETTINGS_KEY_ROOT) + L"\\" + name;
        HKEY key = nullptr;
        if (RegOpenKeyExW(redirect, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        bytes->assign(1024, 0);
        DWORD size = 1024;
        const LONG result = RegQueryValueExW(key, name, nullptr, type, bytes->data(), &size);
        RegCloseKey(key);
        bytes->resize(size);
        return result == ERROR_SUCCESS;
    }

    void writeRaw(const wchar_t* name, const Bytes& bytes, DWORD type = REG_BINARY)
    {
        std::wstring path = std::wstring(SETTINGS_KEY_ROOT) + L"\\" + name;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(redirect, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    std::wstring loadedText(SettingValue value, const wchar_t* before = L"before")
    {
        wchar_t text[CREDENTIAL_TEXT_SIZE];
        wcscpy(text, before);
        loadTextSetting(value, text, CREDENTIAL_TEXT_SIZE);
        return text;
    }

    wchar_t privateKey[80] = {};
    HKEY redirect = nullptr;
    UnitSettings savedUnits = DEFAULT_UNIT_SETTINGS;
};

TEST_F(SettingsStoreTest, EveryValueIsBinaryWithItsExactSizeAndBytes)
{
    ASSERT_EQ(storeTextSetting(SETTING_DATA, L"2024-05-01 12:30"), 1);
    ASSERT_EQ(storeTextSetting(SETTING_ID, L"IBERLIN12"), 1);
    ASSERT_EQ(storeTextSetting(SETTING_KEY, L"secret"), 1);
    ASSERT_EQ(storeTextSetting(SETTING_ID1, L"wc-station"), 1);
    ASSERT_EQ(storeTextSetting(SETTING_KEY1, L"wc-key"), 1);
    ASSERT_EQ(storeUnitSettings(UnitSettings{1, 1, 2, 3, 0, 1}), 1);
    ASSERT_EQ(storeLanguageService(LanguageService{LANGUAGE_ITALIAN, 1}), 1);

    const struct {
        const wchar_t* name;
        Bytes bytes;
    } expected[] = {
        {L"Data", asciiValue("2024-05-01 12:30", 64)}, {L"Id", asciiValue("IBERLIN12", 128)},
        {L"Key", asciiValue("secret", 128)},           {L"Id1", asciiValue("wc-station", 128)},
        {L"Key1", asciiValue("wc-key", 128)},          {L"unit", {1, 1, 2, 3, 0, 1, 0, 0, 0, 0, 0, 0}},
        {L"ls", {3, 1, 0, 0}},
    };
    for (const auto& e : expected) {
        DWORD type = 0;
        Bytes bytes;
        ASSERT_TRUE(readRaw(e.name, &type, &bytes)) << "no value " << std::string(e.name, e.name + wcslen(e.name));
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(bytes, e.bytes);
    }
}

TEST_F(SettingsStoreTest, StoredValuesLoadBack)
{
    storeTextSetting(SETTING_ID, L"IBERLIN12");
    storeTextSetting(SETTING_KEY1, L"cl\u00e9-\u20ac");
    storeTextSetting(SETTING_DATA, L"01/05/2024 12:30");
    EXPECT_EQ(loadedText(SETTING_ID), L"IBERLIN12");
    EXPECT_EQ(loadedText(SETTING_KEY1), L"cl\u00e9-\u20ac");
    EXPECT_EQ(loadedText(SETTING_DATA), L"01/05/2024 12:30");

    storeUnitSettings(UnitSettings{1, 0, 1, 0, 0, 1});
    const UnitSettings loaded = loadUnitSettings();
    EXPECT_EQ(loaded.pressureUnit, PRESSURE_MMHG);
    EXPECT_EQ(loaded.windUnit, WIND_MPH);
    EXPECT_EQ(loaded.pressureType, PRESSURE_ABSOLUTE);
    EXPECT_EQ(loaded.directionUnit, DIRECTION_DEGREES);
    // Loading changes the program's current choices, not a copy.
    EXPECT_EQ(currentUnitSettings().temperatureUnit, TEMPERATURE_FAHRENHEIT);
    EXPECT_EQ(currentUnitSettings().windUnit, WIND_MPH);

    storeLanguageService(LanguageService{LANGUAGE_SPANISH, 1});
    const LanguageService choice = loadLanguageService();
    EXPECT_EQ(choice.language, LANGUAGE_SPANISH);
    EXPECT_EQ(choice.selectedService, 1u);
}

TEST_F(SettingsStoreTest, NothingStoredLeavesTheDefaults)
{
    std::uint8_t bytes[LARGEST_SETTING_SIZE];
    for (int v = 0; v < SETTING_VALUE_COUNT; ++v) {
        memset(bytes, 0xEE, sizeof bytes);
        EXPECT_EQ(loadSetting(static_cast<SettingValue>(v), bytes), 0u);
        EXPECT_EQ(Bytes(bytes, bytes + sizeof bytes), Bytes(sizeof bytes, 0xEE));
    }
    EXPECT_EQ(loadedText(SETTING_ID), L"before");
    EXPECT_EQ(loadedText(SETTING_DATA, L""), L"");
    const UnitSettings units = loadUnitSettings();
    EXPECT_EQ(units.windUnit, WIND_KMH);
    EXPECT_EQ(units.pressureType, PRESSURE_RELATIVE);
    EXPECT_EQ(currentUnitSettings().windUnit, WIND_KMH);
    const LanguageService choice = loadLanguageService();
    EXPECT_EQ(choice.language, LANGUAGE_ENGLISH);
    EXPECT_EQ(choice.selectedService, 0u);
}

TEST_F(SettingsStoreTest, AKeyWithoutItsValueOrAnEmptyValueReadsNothing)
{
    writeRaw(L"Id", Bytes{});
    EXPECT_EQ(loadedText(SETTING_ID), L"before");
    HKEY key = nullptr;
    const std::wstring path = std::wstring(SETTINGS_KEY_ROOT) + L"\\Key";
    ASSERT_EQ(RegCreateKeyExW(redirect, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(loadedText(SETTING_KEY), L"before");
}

TEST_F(SettingsStoreTest, LanguageSevenAndServiceTwoStartInEnglishWithWeatherUnderground)
{
    writeRaw(L"ls", Bytes{7, 2, 0, 0});
    const LanguageService choice = loadLanguageService();
    EXPECT_EQ(choice.language, LANGUAGE_ENGLISH);
    EXPECT_EQ(choice.selectedService, 0u);
    // Saved back as it is now used.
    storeLanguageService(choice);
    DWORD type = 0;
    Bytes bytes;
    ASSERT_TRUE(readRaw(L"ls", &type, &bytes));
    EXPECT_EQ(bytes, (Bytes{0, 0, 0, 0}));
}

TEST_F(SettingsStoreTest, ASixByteUnitValueSetsTheSixChoices)
{
    writeRaw(L"unit", Bytes{1, 1, 2, 0, 0, 1});
    const UnitSettings units = loadUnitSettings();
    EXPECT_EQ(units.temperatureUnit, TEMPERATURE_FAHRENHEIT);
    EXPECT_EQ(units.rainUnit, RAIN_INCHES);
    EXPECT_EQ(units.pressureUnit, PRESSURE_INHG);
    EXPECT_EQ(units.windUnit, WIND_MPH);
    EXPECT_EQ(units.pressureType, PRESSURE_ABSOLUTE);
    EXPECT_EQ(units.directionUnit, DIRECTION_DEGREES);
    EXPECT_EQ(currentUnitSettings().pressureUnit, PRESSURE_INHG);
}

TEST_F(SettingsStoreTest, ValuesLargerThanTheirSizeAreIgnored)
{
    storeTextSetting(SETTING_ID, L"IBERLIN12");
    writeRaw(L"Key", Bytes(200, 'x'));
    writeRaw(L"unit", Bytes{1, 1, 2, 3, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    writeRaw(L"ls", Bytes{2, 1, 0, 0, 0});
    std::uint8_t bytes[LARGEST_SETTING_SIZE];
    memset(bytes, 0xEE, sizeof bytes);
    EXPECT_EQ(loadSetting(SETTING_KEY, bytes), 0u);
    EXPECT_EQ(Bytes(bytes, bytes + sizeof bytes), Bytes(sizeof bytes, 0xEE));
    EXPECT_EQ(loadedText(SETTING_KEY), L"before");
    EXPECT_EQ(loadUnitSettings().windUnit, WIND_KMH);
    EXPECT_EQ(loadLanguageService().language, LANGUAGE_ENGLISH);
    // The others are unaffected.
    EXPECT_EQ(loadedText(SETTING_ID), L"IBERLIN12");
}

TEST_F(SettingsStoreTest, ShortOrUnterminatedTextsStayWithinTheirBuffers)
{
    // Three characters, no terminator, no padding: read as exactly those.
    writeRaw(L"Id1", Bytes{'a', 0, 'b', 0, 'c', 0});
    EXPECT_EQ(loadedText(SETTING_ID1, L"longer old text"), L"abc");
    // A full value without a terminator is cut at the buffer's last character.
    writeRaw(L"Key1", Bytes(128, 'k'));
    EXPECT_EQ(loadedText(SETTING_KEY1).size(), CREDENTIAL_TEXT_SIZE - 1);
    writeRaw(L"Data", Bytes(64, 'd'));
    EXPECT_EQ(loadedText(SETTING_DATA).size(), LAST_READ_TEXT_SIZE - 1);
    // A smaller destination than the value is respected too.
    wchar_t small[5];
    wcscpy(small, L"");
    ASSERT_EQ(loadTextSetting(SETTING_KEY1, small, 5), 1);
    EXPECT_EQ(wcslen(small), 4u);
}

TEST_F(SettingsStoreTest, AnEmptyCredentialKeepsTheStoredOne)
{
    ASSERT_EQ(storeTextSetting(SETTING_ID, L"IBERLIN12"), 1);
    EXPECT_EQ(storeTextSetting(SETTING_ID, L""), 0);
    EXPECT_EQ(loadedText(SETTING_ID), L"IBERLIN12");
    // The two services keep their own credentials.
    storeTextSetting(SETTING_ID1, L"wc-station");
    EXPECT_EQ(loadedText(SETTING_ID), L"IBERLIN12");
    EXPECT_EQ(loadedText(SETTING_ID1), L"wc-station");
}

} // namespace

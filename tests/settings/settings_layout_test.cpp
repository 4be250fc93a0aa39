#include "settings/settings_layout.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/language_tables.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encodedText(const wchar_t* text, std::size_t size)
{
    Bytes bytes(size, 0xEE);
    encodeTextSetting(text, bytes.data(), size);
    return bytes;
}

// The UTF-16LE bytes of ASCII text, zero-padded to size.
Bytes asciiValue(const char* text, std::size_t size)
{
    Bytes bytes(size, 0);
    for (std::size_t i = 0; text[i] != '\0' && 2 * i + 1 < size; ++i)
        bytes[2 * i] = static_cast<std::uint8_t>(text[i]);
    return bytes;
}

std::wstring decodedText(const Bytes& bytes, std::size_t capacity)
{
    std::vector<wchar_t> text(capacity + 4, L'#');
    const std::size_t length = decodeTextSetting(bytes.data(), bytes.size(), text.data(), capacity);
    // Nothing beyond the destination's capacity is touched.
    for (std::size_t i = capacity; i < text.size(); ++i)
        EXPECT_EQ(text[i], L'#') << "written past the buffer at " << i;
    if (capacity == 0)
        return L"";
    EXPECT_EQ(length, std::wcslen(text.data()));
    return text.data();
}

TEST(SettingValues, NamesSizesAndKeyPaths)
{
    const struct {
        SettingValue value;
        const wchar_t* name;
        std::size_t size;
        int text;
        int credential;
    } expected[] = {
        {SETTING_DATA, L"Data", 64, 1, 0}, {SETTING_ID, L"Id", 128, 1, 1},
        {SETTING_KEY, L"Key", 128, 1, 1},  {SETTING_ID1, L"Id1", 128, 1, 1},
        {SETTING_KEY1, L"Key1", 128, 1, 1}, {SETTING_UNIT, L"unit", 12, 0, 0},
        {SETTING_LS, L"ls", 4, 0, 0},
    };
    for (const auto& e : expected) {
        EXPECT_STREQ(settingName(e.value), e.name);
        EXPECT_EQ(settingSize(e.value), e.size) << settingName(e.value);
        EXPECT_EQ(isTextSetting(e.value), e.text);
        EXPECT_EQ(isCredentialSetting(e.value), e.credential);
        wchar_t path[64];
        ASSERT_EQ(settingKeyPath(e.value, path, 64), 1);
        EXPECT_EQ(std::wstring(path),
                  std::wstring(L"Software\\Tessmark\\VID_1941&PID_8021\\") + e.name);
    }
}

TEST(SettingValues, UnknownValuesAndSmallBuffersAreRefused)
{
    const SettingValue unknown = static_cast<SettingValue>(SETTING_VALUE_COUNT);
    EXPECT_EQ(settingName(unknown), nullptr);
    EXPECT_EQ(settingSize(unknown), 0u);
    EXPECT_EQ(settingName(static_cast<SettingValue>(-1)), nullptr);
    wchar_t path[64] = L"junk";
    EXPECT_EQ(settingKeyPath(unknown, path, 64), 0);
    EXPECT_STREQ(path, L"");
    // "...\ls" is 38 characters: 39 fit exactly, 38 do not.
    EXPECT_EQ(settingKeyPath(SETTING_LS, path, 39), 1);
    EXPECT_EQ(settingKeyPath(SETTING_LS, path, 38), 0);
    EXPECT_STREQ(path, L"");
}

TEST(TextValueEncoding, Utf16LittleEndianThenZerosToTheFullSize)
{
    const Bytes bytes = encodedText(L"2024-05-01 12:30", DATA_SETTING_SIZE);
    EXPECT_EQ(bytes, asciiValue("2024-05-01 12:30", DATA_SETTING_SIZE));

    const Bytes id = encodedText(L"IBERLIN12", CREDENTIAL_SETTING_SIZE);
    EXPECT_EQ(id, asciiValue("IBERLIN12", CREDENTIAL_SETTING_SIZE));

    // Beyond ASCII the high byte comes second: é is E9 00, € is AC 20.
    const Bytes accented = encodedText(L"\u00e9\u20ac", 8);
    EXPECT_EQ(accented, (Bytes{0xE9, 0x00, 0xAC, 0x20, 0, 0, 0, 0}));

    EXPECT_EQ(encodedText(L"", DATA_SETTING_SIZE), Bytes(DATA_SETTING_SIZE, 0));
    EXPECT_EQ(encodedText(nullptr, 8), Bytes(8, 0));
}

TEST(TextValueEncoding, LongTextsAreCutSoTheTerminatorFits)
{
    const std::wstring longText(100, L'x');
    const Bytes data = encodedText(longText.c_str(), DATA_SETTING_SIZE);
    EXPECT_EQ(data, asciiValue(std::string(31, 'x').c_str(), DATA_SETTING_SIZE));
    EXPECT_EQ(data[62], 0);
    EXPECT_EQ(data[63], 0);

    const Bytes id = encodedText(longText.c_str(), CREDENTIAL_SETTING_SIZE);
    EXPECT_EQ(id, asciiValue(std::string(63, 'x').c_str(), CREDENTIAL_SETTING_SIZE));
}

TEST(TextValueEncoding, CharactersBeyondTheBasicPlaneBecomeWholeSurrogatePairs)
{
    // U+1F600 as one wchar_t (4-byte wchar_t) or as its two halves (Windows).
    const std::wstring face = sizeof(wchar_t) >= 4 ? std::wstring(1, static_cast<wchar_t>(0x1F600))
                                                   : std::wstring(L"\xD83D\xDE00");
    EXPECT_EQ(encodedText((L"a" + face).c_str(), 8),
              (Bytes{'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
    // Room for one more unit only: the pair is left out, never split.
    EXPECT_EQ(encodedText((L"ab" + face).c_str(), 8), (Bytes{'a', 0, 'b', 0, 0, 0, 0, 0}));
    EXPECT_EQ(decodedText(encodedText((L"a" + face).c_str(), 8), 8), L"a" + face);
}

TEST(TextValueDecoding, ReadsUpToTheTerminator)
{
    Bytes bytes = asciiValue("IBERLIN12", CREDENTIAL_SETTING_SIZE);
    // What follows the terminator is never read.
    bytes[40] = 'z';
    EXPECT_EQ(decodedText(bytes, CREDENTIAL_TEXT_SIZE), L"IBERLIN12");
    EXPECT_EQ(decodedText(encodedText(L"\u00e9t\u00e9 \u20ac", 16), 8), L"\u00e9t\u00e9 \u20ac");
}

TEST(TextValueDecoding, ShortAndOddSizedValues)
{
    EXPECT_EQ(decodedText(Bytes{}, 64), L"");
    EXPECT_EQ(decodedText(Bytes{'A'}, 64), L"");
    // Three characters without a terminator: the value's end ends the text.
    EXPECT_EQ(decodedText(Bytes{'a', 0, 'b', 0, 'c', 0}, 64), L"abc");
    // A trailing odd byte is half a character and is dropped.
    EXPECT_EQ(decodedText(Bytes{'a', 0, 'b', 0, 'c'}, 64), L"ab");
}

TEST(TextValueDecoding, ATextFillingItsBufferIsCutAtTheLastCharacter)
{
    const Bytes full(CREDENTIAL_SETTING_SIZE, 'k'); // 64 x U+6B6B, no terminator
    const std::wstring text = decodedText(full, CREDENTIAL_TEXT_SIZE);
    EXPECT_EQ(text, std::wstring(63, static_cast<wchar_t>(0x6B6B)));
    EXPECT_EQ(decodedText(full, 5).size(), 4u);
    EXPECT_EQ(decodedText(full, 1), L"");
    EXPECT_EQ(decodedText(full, 0), L"");
}

TEST(TextValueDecoding, DamagedSurrogatesStayInsideTheBuffer)
{
    // A lone high surrogate at the end, a lone low one, a pair cut by the
    // buffer: whatever the bytes, the text stays within its capacity.
    EXPECT_EQ(decodedText(Bytes{'a', 0, 0x3D, 0xD8}, 8).size(), 2u);
    EXPECT_EQ(decodedText(Bytes{0x00, 0xDE, 'b', 0}, 8).size(), 2u);
    const Bytes pair{'a', 0, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(decodedText(pair, 2), L"a");
}

TEST(TextValueDecoding, AnyBytesOfAnyLengthAreSafe)
{
    std::uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes(round % 140);
        for (auto& b : bytes) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(seed >> 16);
        }
        const std::size_t capacity = static_cast<std::size_t>(round % 70);
        decodedText(bytes, capacity); // checks the bytes past the capacity
    }
}

TEST(UnitValue, SixCodesThenSixZeroBytes)
{
    std::uint8_t bytes[UNIT_SETTING_SIZE];
    std::memset(bytes, 0xEE, sizeof bytes);
    encodeUnitSetting(UnitSettings{1, 1, 2, 3, 0, 1}, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + UNIT_SETTING_SIZE), (Bytes{1, 1, 2, 3, 0, 1, 0, 0, 0, 0, 0, 0}));
    encodeUnitSetting(DEFAULT_UNIT_SETTINGS, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + UNIT_SETTING_SIZE), (Bytes{0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0}));
}

void expectUnits(const UnitSettings& s, std::array<int, 6> codes)
{
    EXPECT_EQ(s.temperatureUnit, codes[0]);
    EXPECT_EQ(s.rainUnit, codes[1]);
    EXPECT_EQ(s.pressureUnit, codes[2]);
    EXPECT_EQ(s.windUnit, codes[3]);
    EXPECT_EQ(s.pressureType, codes[4]);
    EXPECT_EQ(s.directionUnit, codes[5]);
}

TEST(UnitValue, DecodingSetsTheChoicesItHasBytesFor)
{
    UnitSettings settings = DEFAULT_UNIT_SETTINGS;
    const std::uint8_t twelve[] = {1, 1, 2, 0, 0, 1, 9, 9, 9, 9, 9, 9}; // reserved bytes ignored
    decodeUnitSetting(twelve, sizeof twelve, &settings);
    expectUnits(settings, {1, 1, 2, 0, 0, 1});

    settings = DEFAULT_UNIT_SETTINGS;
    const std::uint8_t six[] = {1, 1, 1, 3, 0, 1};
    decodeUnitSetting(six, sizeof six, &settings);
    expectUnits(settings, {1, 1, 1, 3, 0, 1});

    // A short value leaves the choices it does not reach as they were.
    settings = UnitSettings{1, 1, 2, 3, 0, 1};
    const std::uint8_t two[] = {0, 0};
    decodeUnitSetting(two, sizeof two, &settings);
    expectUnits(settings, {0, 0, 2, 3, 0, 1});
    decodeUnitSetting(two, 0, &settings);
    expectUnits(settings, {0, 0, 2, 3, 0, 1});
}

TEST(UnitValue, OutOfRangeCodesFallBackToTheirDefaults)
{
    UnitSettings settings = UnitSettings{1, 1, 2, 3, 0, 1};
    const std::uint8_t wild[] = {2, 2, 3, 4, 2, 2};
    decodeUnitSetting(wild, sizeof wild, &settings);
    expectUnits(settings, {0, 0, 0, 2, 1, 0});
    // Only the bad byte falls back; the good ones are kept.
    const std::uint8_t oneBad[] = {1, 1, 2, 255, 0, 1};
    decodeUnitSetting(oneBad, sizeof oneBad, &settings);
    expectUnits(settings, {1, 1, 2, 2, 0, 1});
}

TEST(LanguageServiceValue, FourBytesLanguageServiceAndTwoZeros)
{
    std::uint8_t bytes[LS_SETTING_SIZE];
    std::memset(bytes, 0xEE, sizeof bytes);
    encodeLsSetting(LanguageService{LANGUAGE_SPANISH, 1}, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{4, 1, 0, 0}));
    encodeLsSetting(LanguageService{LANGUAGE_FRENCH, 0}, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{2, 0, 0, 0}));
    // A value larger than a byte must not wrap into a valid-looking one.
    encodeLsSetting(LanguageService{256 + 2, 257}, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{0, 0, 0, 0}));
}

TEST(LanguageServiceValue, OutOfRangeChoicesBecomeEnglishAndWeatherUnderground)
{
    const std::uint8_t stored[] = {7, 2, 0, 0};
    LanguageService choice = decodeLsSetting(stored, sizeof stored);
    EXPECT_EQ(choice.language, LANGUAGE_ENGLISH);
    EXPECT_EQ(choice.selectedService, 0u);

    const std::uint8_t lastValid[] = {4, 1, 0xFF, 0xFF}; // reserved bytes ignored
    choice = decodeLsSetting(lastValid, sizeof lastValid);
    EXPECT_EQ(choice.language, LANGUAGE_SPANISH);
    EXPECT_EQ(choice.selectedService, 1u);

    const std::uint8_t justBeyond[] = {5, 255};
    choice = decodeLsSetting(justBeyond, sizeof justBeyond);
    EXPECT_EQ(choice.language, 0u);
    EXPECT_EQ(choice.selectedService, 0u);
}

TEST(LanguageServiceValue, MissingBytesCountAsZero)
{
    const std::uint8_t bytes[] = {3, 1};
    LanguageService choice = decodeLsSetting(bytes, 1);
    EXPECT_EQ(choice.language, LANGUAGE_ITALIAN);
    EXPECT_EQ(choice.selectedService, 0u);
    choice = decodeLsSetting(bytes, 0);
    EXPECT_EQ(choice.language, 0u);
    EXPECT_EQ(choice.selectedService, 0u);
}

} // namespace

#include "app/language_tables.h"

#include <cwchar>
#include <string>

#include <gtest/gtest.h>

namespace {

std::wstring pathOf(const wchar_t* directory, const wchar_t* name, std::size_t capacity = 260)
{
    wchar_t out[300];
    std::wmemset(out, L'#', 300);
    const int done = temporaryFilePath(directory, name, out, capacity);
    EXPECT_EQ(out[capacity], L'#') << "written past the buffer";
    if (capacity > 0 && !done) {
        EXPECT_STREQ(out, L"");
    }
    return done ? std::wstring(out) : std::wstring(L"<refused>");
}

TEST(TemporaryPath, OneSeparatorBetweenDirectoryAndName)
{
    EXPECT_EQ(pathOf(L"C:\\Users\\me\\AppData\\Local\\Temp\\", L"english1.ini"),
              L"C:\\Users\\me\\AppData\\Local\\Temp\\english1.ini");
    EXPECT_EQ(pathOf(L"C:\\Temp\\\\", L"germany1.ini"), L"C:\\Temp\\germany1.ini");
    EXPECT_EQ(pathOf(L"C:\\", L"france1.ini"), L"C:\\france1.ini");
    EXPECT_EQ(pathOf(L"\\\\server\\share\\tmp\\", L"italy1.ini"),
              L"\\\\server\\share\\tmp\\italy1.ini");
}

TEST(TemporaryPath, TextAfterTheLastBackslashIsCut)
{
    // The system's text always ends in a backslash; if it did not, what
    // follows the last one is not part of the directory.
    EXPECT_EQ(pathOf(L"C:\\Temp\\stray", L"spanish1.ini"), L"C:\\Temp\\spanish1.ini");
    EXPECT_EQ(pathOf(L"tmpdir", L"english1.ini"), L"tmpdir\\english1.ini");
}

TEST(TemporaryPath, RefusedWhenUnknownOrTooLong)
{
    EXPECT_EQ(pathOf(L"", L"english1.ini"), L"<refused>");
    EXPECT_EQ(pathOf(nullptr, L"english1.ini"), L"<refused>");
    EXPECT_EQ(pathOf(L"C:\\Temp\\", nullptr), L"<refused>");
    // "C:\Temp\english1.ini" is 20 characters: 21 fit with the terminator.
    EXPECT_EQ(pathOf(L"C:\\Temp\\", L"english1.ini", 21), L"C:\\Temp\\english1.ini");
    EXPECT_EQ(pathOf(L"C:\\Temp\\", L"english1.ini", 20), L"<refused>");
    const std::wstring deep = L"C:\\" + std::wstring(250, L'd') + L"\\";
    EXPECT_EQ(pathOf(deep.c_str(), L"english1.ini"), L"<refused>");
}

TEST(LanguageFiles, SectionsAndFileNamesInTableOrder)
{
    const wchar_t* sections[] = {L"english", L"germany", L"france", L"italy", L"spanish"};
    const wchar_t* files[] = {L"english1.ini", L"germany1.ini", L"france1.ini", L"italy1.ini",
                              L"spanish1.ini"};
    for (int number = 1; number <= 5; ++number) {
        EXPECT_STREQ(languageSection(number), sections[number - 1]);
        EXPECT_STREQ(languageFileName(number), files[number - 1]);
    }
    EXPECT_EQ(languageSection(0), nullptr);
    EXPECT_EQ(languageFileName(6), nullptr);
}

TEST(LanguageFiles, KeyNamesL1ToL69)
{
    wchar_t key[8];
    ASSERT_EQ(languageKeyName(1, key, 8), 1);
    EXPECT_STREQ(key, L"l1");
    ASSERT_EQ(languageKeyName(69, key, 8), 1);
    EXPECT_STREQ(key, L"l69");
    EXPECT_EQ(languageKeyName(0, key, 8), 0);
    EXPECT_STREQ(key, L"");
    EXPECT_EQ(languageKeyName(70, key, 8), 0);
    EXPECT_EQ(languageKeyName(69, key, 3), 0); // "l69" needs 4
    EXPECT_STREQ(key, L"");
}

class LanguageTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = language;
        for (int number = 1; number <= 5; ++number)
            clearLanguageTable(number);
    }
    void TearDown() override
    {
        language = saved;
        for (int number = 1; number <= 5; ++number)
            clearLanguageTable(number);
    }
    static void put(std::uint32_t table, int n, const wchar_t* text)
    {
        std::wcscpy(languageTables[table][n - 1], text);
    }
    std::uint32_t saved = 0;
};

TEST_F(LanguageTableTest, TextFollowsTheCurrentLanguage)
{
    put(LANGUAGE_ENGLISH, 4, L"DASHBOARD");
    put(LANGUAGE_FRENCH, 4, L"TABLEAU DE BORD");
    put(LANGUAGE_FRENCH, 69, L"Mot de passe manquant");
    language = LANGUAGE_ENGLISH;
    EXPECT_STREQ(languageText(4), L"DASHBOARD");
    language = LANGUAGE_FRENCH;
    EXPECT_STREQ(languageText(4), L"TABLEAU DE BORD");
    EXPECT_STREQ(languageText(69), L"Mot de passe manquant");
    EXPECT_STREQ(languageTableText(LANGUAGE_ENGLISH, 4), L"DASHBOARD");
}

TEST_F(LanguageTableTest, OutOfRangeLookupsGiveEmptyText)
{
    put(LANGUAGE_ENGLISH, 1, L"English");
    put(LANGUAGE_SPANISH, 69, L"Falta la contrase\u00f1a");
    language = LANGUAGE_ENGLISH;
    EXPECT_STREQ(languageText(0), L"");
    EXPECT_STREQ(languageText(70), L"");
    EXPECT_STREQ(languageText(-1), L"");
    language = 5;
    EXPECT_STREQ(languageText(1), L"");
    EXPECT_STREQ(languageTableText(5, 1), L"");
    EXPECT_STREQ(languageTableText(LANGUAGE_SPANISH, 69), L"Falta la contrase\u00f1a");
}

} // namespace

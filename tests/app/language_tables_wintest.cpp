// Language files written to and read from the temporary directory. TMP and
// TEMP point at a private folder for each test, so the user's temporary
// directory is never touched and tests running at once do not meet.
#include "app/language_tables_win.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const int RESOURCE_IDS[5] = {IDR_LANGUAGE_ENGLISH, IDR_LANGUAGE_GERMAN, IDR_LANGUAGE_FRENCH,
                             IDR_LANGUAGE_ITALIAN, IDR_LANGUAGE_SPANISH};

Bytes utf16File(const std::wstring& text)
{
    Bytes bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return bytes;
}

bool writeBytes(const std::wstring& path, const Bytes& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

bool readBytes(const std::wstring& path, Bytes* bytes)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr)
        return false;
    bytes->clear();
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes->push_back(static_cast<std::uint8_t>(c));
    fclose(file);
    return true;
}

// The bytes of a language resource as the exe carries it.
Bytes resourceBytes(int id, const wchar_t* type)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr)
        return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    return Bytes(data, data + SizeofResource(module, found));
}

std::wstring sampleText(int table, int n) { return L"text " + std::to_wstring(table) + L"/" + std::to_wstring(n); }

int filledEntries(std::uint32_t table)
{
    int filled = 0;
    for (int n = 1; n <= LANGUAGE_KEY_COUNT; ++n)
        filled += languageTableText(table, n)[0] != L'\0' ? 1 : 0;
    return filled;
}

class LanguageFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = std::wstring(temp) + L"aerovane-lang-" + std::to_wstring(GetCurrentProcessId());
        removeFolder();
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        saveVariable(L"TMP", &savedTmp);
        saveVariable(L"TEMP", &savedTemp);
        SetEnvironmentVariableW(L"TMP", (folder + L"\\").c_str());
        SetEnvironmentVariableW(L"TEMP", (folder + L"\\").c_str());
        for (int number = 1; number <= 5; ++number)
            clearLanguageTable(number);
    }

    void TearDown() override
    {
        SetEnvironmentVariableW(L"TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
        SetEnvironmentVariableW(L"TEMP", savedTemp.empty() ? nullptr : savedTemp.c_str());
        removeFolder();
        for (int number = 1; number <= 5; ++number)
            clearLanguageTable(number);
    }

    static void saveVariable(const wchar_t* name, std::wstring* value)
    {
        wchar_t buffer[1024];
        const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
        *value = length > 0 && length < 1024 ? buffer : L"";
    }

    void removeFolder()
    {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring path = folder + L"\\" + found.cFileName;
                if (found.cFileName[0] == L'.')
                    continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryW(path.c_str());
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring pathOf(int number) const { return folder + L"\\" + languageFileName(number); }

    // A language file in the resources' layout: section line, then the
    // keys in order, CR LF lines, UTF-16LE with a byte-order mark.
    void writeLanguageFile(int number, const wchar_t* section, int missingKey = 0)
    {
        std::wstring text = std::wstring(L"[") + section + L"]\r\n";
        for (int n = 1; n <= LANGUAGE_KEY_COUNT; ++n)
            if (n != missingKey)
                text += L"l" + std::to_wstring(n) + L"=" + sampleText(number, n) + L"\r\n";
        ASSERT_TRUE(writeBytes(pathOf(number), utf16File(text)));
    }

    std::wstring folder;
    std::wstring savedTmp;
    std::wstring savedTemp;
};

TEST_F(LanguageFilesTest, EveryKeyOfAFileFillsItsEntry)
{
    writeLanguageFile(1, L"english");
    writeLanguageFile(5, L"spanish");
    EXPECT_EQ(loadLanguageTable(1), 69);
    EXPECT_EQ(loadLanguageTable(5), 69);
    for (int n = 1; n <= LANGUAGE_KEY_COUNT; ++n) {
        EXPECT_EQ(std::wstring(languageTableText(LANGUAGE_ENGLISH, n)), sampleText(1, n));
        EXPECT_EQ(std::wstring(languageTableText(LANGUAGE_SPANISH, n)), sampleText(5, n));
    }
    // Only the loaded tables were filled.
    EXPECT_EQ(filledEntries(LANGUAGE_GERMAN), 0);
}

TEST_F(LanguageFilesTest, AKeyMissingFromAFileLeavesOnlyThatEntryEmpty)
{
    writeLanguageFile(3, L"france", 25);
    EXPECT_EQ(loadLanguageTable(3), 68);
    EXPECT_STREQ(languageTableText(LANGUAGE_FRENCH, 25), L"");
    EXPECT_EQ(std::wstring(languageTableText(LANGUAGE_FRENCH, 24)), sampleText(3, 24));
    EXPECT_EQ(std::wstring(languageTableText(LANGUAGE_FRENCH, 26)), sampleText(3, 26));
    EXPECT_EQ(filledEntries(LANGUAGE_FRENCH), 68);
}

TEST_F(LanguageFilesTest, AMissingFileEmptiesTheTable)
{
    writeLanguageFile(4, L"italy");
    ASSERT_EQ(loadLanguageTable(4), 69);
    DeleteFileW(pathOf(4).c_str());
    // A reload without the file must not keep the earlier texts.
    EXPECT_EQ(loadLanguageTable(4), 0);
    EXPECT_EQ(filledEntries(LANGUAGE_ITALIAN), 0);
}

TEST_F(LanguageFilesTest, KeysAreReadFromTheLanguagesOwnSection)
{
    writeLanguageFile(2, L"english"); // German file with the wrong section
    EXPECT_EQ(loadLanguageTable(2), 0);
    EXPECT_EQ(filledEntries(LANGUAGE_GERMAN), 0);
}

TEST_F(LanguageFilesTest, ATextLongerThanAnEntryIsCutInsideIt)
{
    const std::wstring longText(400, L'w');
    std::wstring text = L"[english]\r\nl1=" + longText + L"\r\nl2=next\r\n";
    ASSERT_TRUE(writeBytes(pathOf(1), utf16File(text)));
    EXPECT_EQ(loadLanguageTable(1), 2);
    EXPECT_EQ(std::wstring(languageTableText(LANGUAGE_ENGLISH, 1)),
              std::wstring(LANGUAGE_TEXT_SIZE - 1, L'w'));
    EXPECT_STREQ(languageTableText(LANGUAGE_ENGLISH, 2), L"next");
}

TEST_F(LanguageFilesTest, AnUnknownTemporaryDirectoryLeavesTablesEmpty)
{
    writeLanguageFile(1, L"english");
    // A directory text longer than the 260-character buffer cannot be used.
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'x') + L"\\";
    SetEnvironmentVariableW(L"TMP", tooLong.c_str());
    SetEnvironmentVariableW(L"TEMP", tooLong.c_str());
    EXPECT_EQ(extractLanguageFile(IDR_LANGUAGE_ENGLISH, L"english", 1), 0);
    EXPECT_EQ(loadLanguageTable(1), 0);
    EXPECT_EQ(filledEntries(LANGUAGE_ENGLISH), 0);

    // A directory that fits, but not with the file name after it.
    const std::wstring deep = L"C:\\" + std::wstring(250, L'd') + L"\\";
    SetEnvironmentVariableW(L"TMP", deep.c_str());
    SetEnvironmentVariableW(L"TEMP", deep.c_str());
    EXPECT_EQ(extractLanguageFile(IDR_LANGUAGE_ENGLISH, L"english", 1), 0);
    EXPECT_EQ(loadLanguageTable(1), 0);
}

TEST_F(LanguageFilesTest, EachResourceIsWrittenUnchangedToItsFile)
{
    // An earlier, longer file is replaced, not overwritten in part.
    ASSERT_TRUE(writeBytes(pathOf(1), Bytes(100000, 'x')));
    for (int number = 1; number <= 5; ++number)
        ASSERT_EQ(extractLanguageFile(RESOURCE_IDS[number - 1], languageSection(number), number), 1);
    for (int number = 1; number <= 5; ++number) {
        const Bytes expected = resourceBytes(RESOURCE_IDS[number - 1], languageSection(number));
        ASSERT_GT(expected.size(), 2u) << "resource missing for language " << number;
        Bytes written;
        ASSERT_TRUE(readBytes(pathOf(number), &written));
        EXPECT_EQ(written, expected) << "language " << number;
        EXPECT_EQ(written[0], 0xFF);
        EXPECT_EQ(written[1], 0xFE);
    }
}

TEST_F(LanguageFilesTest, StartUpFillsAllFiveTables)
{
    prepareLanguageTables();
    for (std::uint32_t table = 0; table < LANGUAGE_COUNT; ++table)
        EXPECT_EQ(filledEntries(table), 69) << "table " << table;
    EXPECT_STREQ(languageTableText(LANGUAGE_ENGLISH, 1), L"English");
    EXPECT_STREQ(languageTableText(LANGUAGE_GERMAN, 1), L"Deutsch");
    EXPECT_STREQ(languageTableText(LANGUAGE_FRENCH, 1), L"Fran\u00e7ais");
    EXPECT_STREQ(languageTableText(LANGUAGE_ITALIAN, 1), L"Italiano");
    EXPECT_STREQ(languageTableText(LANGUAGE_SPANISH, 1), L"Espa\u00f1ol");
    EXPECT_STREQ(languageTableText(LANGUAGE_ENGLISH, 4), L"DASHBOARD");
    EXPECT_STREQ(languageTableText(LANGUAGE_ENGLISH, 5), L"EXPORT && SETUP");
    EXPECT_STREQ(languageTableText(LANGUAGE_ENGLISH, 55), L"USB connected");
    EXPECT_STREQ(languageTableText(LANGUAGE_ENGLISH, 69), L"Missing password");

    const std::uint32_t saved = language;
    language = LANGUAGE_GERMAN;
    EXPECT_STREQ(languageText(1), L"Deutsch");
    language = saved;
}

TEST_F(LanguageFilesTest, AFileThatCannotBeWrittenLeavesOnlyItsTableEmpty)
{
    // A directory where the German file belongs: opening it for writing fails.
    ASSERT_TRUE(CreateDirectoryW(pathOf(2).c_str(), nullptr));
    EXPECT_EQ(extractLanguageFile(IDR_LANGUAGE_GERMAN, L"germany", 2), 1);
    prepareLanguageTables();
    EXPECT_EQ(filledEntries(LANGUAGE_GERMAN), 0);
    EXPECT_EQ(loadLanguageTable(2), 0);
    EXPECT_EQ(filledEntries(LANGUAGE_ENGLISH), 69);
    EXPECT_EQ(filledEntries(LANGUAGE_SPANISH), 69);
    EXPECT_STREQ(languageTableText(LANGUAGE_FRENCH, 1), L"Fran\u00e7ais");
}

TEST_F(LanguageFilesTest, AMissingResourceWritesNothing)
{
    EXPECT_EQ(extractLanguageFile(999, L"english", 1), 0);
    EXPECT_EQ(extractLanguageFile(IDR_LANGUAGE_GERMAN, L"english", 1), 0); // right id, wrong type
    EXPECT_EQ(GetFileAttributesW(pathOf(1).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(extractLanguageFile(IDR_LANGUAGE_ENGLISH, L"english", 0), 0);
    EXPECT_EQ(extractLanguageFile(IDR_LANGUAGE_ENGLISH, L"english", 6), 0);
    EXPECT_EQ(loadLanguageTable(6), 0);
}

} // namespace

#include "app/language_tables.h"

#include <cstring>
#include <cwchar>

#include "settings/settings_layout.h"

// The stored "ls" value names one of these tables.
static_assert(STORED_LANGUAGE_COUNT == LANGUAGE_COUNT);

wchar_t languageTables[LANGUAGE_COUNT][LANGUAGE_KEY_COUNT][LANGUAGE_TEXT_SIZE];
std::uint32_t language = LANGUAGE_ENGLISH;

namespace {

struct LanguageFile {
    const wchar_t* section;
    const wchar_t* fileName;
};

const LanguageFile LANGUAGE_FILES[LANGUAGE_COUNT] = {
    {L"english", L"english1.ini"}, {L"germany", L"germany1.ini"}, {L"france", L"france1.ini"},
    {L"italy", L"italy1.ini"},     {L"spanish", L"spanish1.ini"},
};

bool validNumber(int number) { return number >= 1 && number <= static_cast<int>(LANGUAGE_COUNT); }

} // namespace

const wchar_t* languageTableText(std::uint32_t table, int n)
{
    if (table >= LANGUAGE_COUNT || n < 1 || n > LANGUAGE_KEY_COUNT)
        return L"";
    return languageTables[table][n - 1];
}

const wchar_t* languageText(int n) { return languageTableText(language, n); }

const wchar_t* languageSection(int number)
{
    return validNumber(number) ? LANGUAGE_FILES[number - 1].section : nullptr;
}

const wchar_t* languageFileName(int number)
{
    return validNumber(number) ? LANGUAGE_FILES[number - 1].fileName : nullptr;
}

void clearLanguageTable(int number)
{
    if (validNumber(number))
        std::memset(languageTables[number - 1], 0, sizeof languageTables[number - 1]);
}

int languageKeyName(int n, wchar_t* out, std::size_t capacity)
{
    if (capacity > 0)
        out[0] = L'\0';
    if (n < 1 || n > LANGUAGE_KEY_COUNT || capacity == 0)
        return 0;
    const int length = std::swprintf(out, capacity, L"l%d", n);
    if (length < 0 || static_cast<std::size_t>(length) >= capacity) {
        out[0] = L'\0';
        return 0;
    }
    return 1;
}

int temporaryFilePath(const wchar_t* tempDirectory, const wchar_t* fileName, wchar_t* out,
                      std::size_t capacity)
{
    if (capacity > 0)
        out[0] = L'\0';
    if (tempDirectory == nullptr || fileName == nullptr || tempDirectory[0] == L'\0')
        return 0;
    std::size_t directoryLength = std::wcslen(tempDirectory);
    const wchar_t* lastSeparator = std::wcsrchr(tempDirectory, L'\\');
    if (lastSeparator != nullptr)
        directoryLength = static_cast<std::size_t>(lastSeparator - tempDirectory);
    // One separator, however many the system text ended with.
    while (directoryLength > 0 && tempDirectory[directoryLength - 1] == L'\\')
        --directoryLength;
    const std::size_t nameLength = std::wcslen(fileName);
    if (directoryLength + 1 + nameLength + 1 > capacity)
        return 0;
    std::wmemcpy(out, tempDirectory, directoryLength);
    out[directoryLength] = L'\\';
    std::wmemcpy(out + directoryLength + 1, fileName, nameLength);
    out[directoryLength + 1 + nameLength] = L'\0';
    return 1;
}

#include "app/language_tables_win.h"

#include <windows.h>

#include <cstdio>

#include "resources/resource_ids.h"

namespace {

// The five language resources, in table order.
const int LANGUAGE_RESOURCE_IDS[LANGUAGE_COUNT] = {
    IDR_LANGUAGE_ENGLISH, IDR_LANGUAGE_GERMAN, IDR_LANGUAGE_FRENCH,
    IDR_LANGUAGE_ITALIAN, IDR_LANGUAGE_SPANISH,
};

// The full path of the INI file being read, set before each table is loaded.
wchar_t profilePath[LANGUAGE_PATH_SIZE];

constexpr DWORD TEMP_PATH_SIZE = 260;

int languageFilePath(int number, wchar_t* out)
{
    wchar_t tempDirectory[TEMP_PATH_SIZE];
    const DWORD length = GetTempPathW(TEMP_PATH_SIZE, tempDirectory);
    // A result as large as the buffer is the size it would have needed; the
    // buffer then holds nothing usable.
    if (length == 0 || length >= TEMP_PATH_SIZE) {
        out[0] = L'\0';
        return 0;
    }
    return temporaryFilePath(tempDirectory, languageFileName(number), out, LANGUAGE_PATH_SIZE);
}

} // namespace

int extractLanguageFile(int resourceId, const wchar_t* section, int number)
{
    if (section == nullptr || languageFileName(number) == nullptr)
        return 0;
    // The resources are in the exe itself, whose module handle is the
    // instance handle the program was started with.
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), section);
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* text = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;

    wchar_t path[LANGUAGE_PATH_SIZE];
    if (!languageFilePath(number, path))
        return 0;
    if (text == nullptr)
        return 0;

    FILE* file = _wfopen(path, L"wb");
    if (file != nullptr) {
        const bool written = std::fwrite(text, 1, size, file) == size;
        if (std::fclose(file) != 0 || !written)
            _wremove(path);
    }
    FreeResource(loaded);
    return 1;
}

int loadLanguageTable(int number)
{
    const wchar_t* section = languageSection(number);
    if (section == nullptr)
        return 0;
    clearLanguageTable(number);
    if (!languageFilePath(number, profilePath))
        return 0;
    // Without the file every key would come back empty anyway; stop early.
    const HANDLE file = CreateFileW(profilePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);

    int filled = 0;
    for (int n = 1; n <= LANGUAGE_KEY_COUNT; ++n) {
        wchar_t key[8];
        languageKeyName(n, key, 8);
        wchar_t* entry = languageTables[number - 1][n - 1];
        GetPrivateProfileStringW(section, key, L"", entry, LANGUAGE_TEXT_SIZE, profilePath);
        if (entry[0] != L'\0')
            ++filled;
    }
    return filled;
}

void prepareLanguageTables()
{
    for (int number = 1; number <= static_cast<int>(LANGUAGE_COUNT); ++number)
        extractLanguageFile(LANGUAGE_RESOURCE_IDS[number - 1], languageSection(number), number);
    for (int number = 1; number <= static_cast<int>(LANGUAGE_COUNT); ++number)
        loadLanguageTable(number);
}

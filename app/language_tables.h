// The interface texts in five languages: one table of 69 texts per language,
// filled once at start-up from the language files and only read afterwards.
// Languages are numbered two ways: `language` and table indexes run 0..4,
// the extract/load operations take the language number 1..5 (table order).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t LANGUAGE_COUNT = 5;
constexpr int LANGUAGE_KEY_COUNT = 69;          // keys l1 .. l69
constexpr std::size_t LANGUAGE_TEXT_SIZE = 260; // characters, terminator included
constexpr std::size_t LANGUAGE_PATH_SIZE = 260; // the temporary file's full path

constexpr std::uint32_t LANGUAGE_ENGLISH = 0;
constexpr std::uint32_t LANGUAGE_GERMAN = 1;
constexpr std::uint32_t LANGUAGE_FRENCH = 2;
constexpr std::uint32_t LANGUAGE_ITALIAN = 3;
constexpr std::uint32_t LANGUAGE_SPANISH = 4;

// Entry n - 1 of a table holds key ln; a key a file lacks stays empty.
extern wchar_t languageTables[LANGUAGE_COUNT][LANGUAGE_KEY_COUNT][LANGUAGE_TEXT_SIZE];

// The language the pages show (0 English .. 4 Spanish). Read from the "ls"
// setting at start-up and changed by the header bar's language list; it
// lives here because every label lookup goes through it.
extern std::uint32_t language;

// Key n (1..69) of the table of the current `language`. An n or `language`
// out of range gives an empty text rather than a read outside the tables.
const wchar_t* languageText(int n);
// Key n of the table with index `table` (0..4), e.g. each language's own
// name l1 for the language list; empty when out of range.
const wchar_t* languageTableText(std::uint32_t table, int n);

// Per language number 1..5: the INI section, which is also the resource
// type ("english", "germany", "france", "italy", "spanish"), and the file
// written to the temporary directory ("english1.ini" ...). Null outside 1..5.
const wchar_t* languageSection(int number);
const wchar_t* languageFileName(int number);

// Sets all 69 entries of table `number` (1..5) to zeros; nothing otherwise.
void clearLanguageTable(int number);

// The key name of entry n: "l1" .. "l69". Returns 1, or 0 (out empty when
// capacity allows) when n is out of range or out is too small.
int languageKeyName(int n, wchar_t* out, std::size_t capacity);

// The full path of a file in the temporary directory, from the text the
// system gives as that directory: cut at its last backslash, so the path
// ends in exactly one separator, then the file name. Backslashes left
// before the cut are removed too ("C:\Temp\\" gives "C:\Temp\name"); a text
// without any backslash is taken whole as the directory. Returns 1, or 0
// (out empty when capacity allows) for an empty directory or when the path
// does not fit `capacity` characters with its terminator.
int temporaryFilePath(const wchar_t* tempDirectory, const wchar_t* fileName, wchar_t* out,
                      std::size_t capacity);

// Writing the language resources to the temporary directory and reading
// them back into the language tables with the profile-string reader.
#pragma once

#include "app/language_tables.h"

// Writes the resource `resourceId` of type `section` from the program's own
// module, unchanged (UTF-16LE with its byte-order mark), to the temporary
// file of language `number` (1..5), replacing an earlier file. Returns 1 when
// done, also when the file could not be opened (nothing is written then);
// 0 when the temporary directory cannot be determined, the path does not
// fit, the number is out of range or the resource is missing. A file whose
// write or close fails is removed, so a later load finds no half file.
int extractLanguageFile(int resourceId, const wchar_t* section, int number);

// Clears table `number` (1..5) and fills keys l1..l69 from its temporary
// file. Returns how many entries received a non-empty text: 69 for a
// complete file, 0 when the file is missing or cannot be read.
int loadLanguageTable(int number);

// Start-up: the five files extracted in table order, then the five tables
// loaded in the same order. Every failure leaves empty texts, nothing more.
void prepareLanguageTables();

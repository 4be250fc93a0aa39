// The observation table's columns and the choice of one row per time and
// pass, shared by the archive and the outbox that reads it.
#pragma once

#include <string>

// The date and time fields make the key; they have no value column.
bool isKeyField(int field);

// The value columns, comma-separated, each name after `prefix`: every field
// but the date and time.
std::string valueColumns(const char* prefix, bool withTypes);

// One row per time and pass, "o" the table's alias: the console's record
// where both sources hold one. A WHERE clause to go on with AND.
extern const char OBSERVATIONS_SQL[];

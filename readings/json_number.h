// A reading's text as a JSON number. The console writes plain decimals, but
// a text from outside may hold "+3", "05", ".5" or "1e400": each is either
// brought into JSON's form or refused, never copied into the output as is.
#pragma once

#include <string>

// Appends the number that `text` (ASCII digits, one optional leading sign,
// one optional decimal point, nothing else) stands for, in JSON's form: no
// "+", no leading zeros, a digit on both sides of the point ("5." gives
// "5", ".5" gives "0.5", "-0" stays "-0"). Returns false and appends nothing
// for any other text, empty or a lone sign or point included.
bool appendJsonNumber(std::string& out, const wchar_t* text);

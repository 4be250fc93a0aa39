// Numbers read from and written to wide text, with the same result on every
// C runtime: neither direction goes through the runtime's scanf/printf
// family, whose rounding and wide-text handling differ between platforms.
#pragma once

#include <cstddef>

// Reads a decimal number the way strtod does and rounds it to single
// precision: ASCII white space is skipped, then an optional sign, digits with
// an optional decimal point, and an optional exponent; reading stops at the
// first character that does not fit. No number (or a null text) reads as 0.
// The decimal value is rounded to double first and then to float, as
// strtod followed by a cast would do. Too large a value gives infinity.
// Correctly rounded for up to 40 significant digits; later digits only
// break ties.
float readDecimalNumber(const wchar_t* text);

// Reads a whole number the way atoi does: ASCII white space, an optional
// sign, then digits up to the first non-digit. No digits (or a null text)
// read as 0; a value beyond the range of int is held at INT_MIN or INT_MAX.
int readWholeNumber(const wchar_t* text);

// Writes value with `decimals` digits after the point (0 to 3; others are
// held to that range), like "%.1f" or "%.2f" but rounding an exact half away
// from zero: the digits are those of the exact binary value, so 0.125 gives
// "0.13" while 0.15 (stored as 0.1499999...) gives "0.1". A negative value
// keeps its sign even when it rounds to zero ("-0.0"), as printf does.
// Infinities and NaN are written "inf", "-inf" and "nan".
// Returns the number of characters written before the terminator. When the
// text and its terminator do not fit in capacity, writes an empty text and
// returns 0. Any value of at most 1e40 in size needs fewer than 48.
std::size_t formatFixed(double value, int decimals, wchar_t* out, std::size_t capacity);

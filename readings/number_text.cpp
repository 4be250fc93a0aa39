#include "readings/number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

bool isAsciiSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

const wchar_t* skipSpace(const wchar_t* p)
{
    while (isAsciiSpace(*p))
        ++p;
    return p;
}

// Enough digits to round every double correctly except at exact ties, which
// the sticky digit below settles.
constexpr int MAX_SIGNIFICANT = 40;
// Far beyond any double; keeps the exponent arithmetic from overflowing.
constexpr long EXPONENT_LIMIT = 100000;

// IEEE rounding of a double to float, written out so that a value beyond
// the float range is not an out-of-range conversion in C++ terms.
float narrowToFloat(double value)
{
    const double largest = std::numeric_limits<float>::max();
    const double magnitude = std::fabs(value);
    if (magnitude <= largest || std::isnan(value))
        return static_cast<float>(value);
    // Half an ulp above the largest float rounds to infinity (its mantissa is
    // odd, so the tie goes up too).
    const double toInfinity = largest + std::ldexp(1.0, 103);
    const float result = magnitude >= toInfinity ? std::numeric_limits<float>::infinity()
                                                 : std::numeric_limits<float>::max();
    return value < 0 ? -result : result;
}

} // namespace

float readDecimalNumber(const wchar_t* text)
{
    if (text == nullptr)
        return 0.0f;
    const wchar_t* p = skipSpace(text);
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }

    // Significant digits without leading zeros; the value is
    // digits x 10^exponent. Digits past MAX_SIGNIFICANT only matter as "was
    // anything non-zero dropped".
    char digits[MAX_SIGNIFICANT + 1 + 16];
    int count = 0;
    long exponent = 0;
    bool droppedNonZero = false;
    bool anyDigit = false;

    for (; isDigit(*p); ++p) {
        anyDigit = true;
        if (count == 0 && *p == L'0')
            continue;
        if (count < MAX_SIGNIFICANT) {
            digits[count++] = static_cast<char>(*p);
        } else {
            if (exponent < EXPONENT_LIMIT)
                ++exponent;
            droppedNonZero = droppedNonZero || *p != L'0';
        }
    }
    if (*p == L'.') {
        ++p;
        for (; isDigit(*p); ++p) {
            anyDigit = true;
            if (count == 0 && *p == L'0') {
                if (exponent > -EXPONENT_LIMIT)
                    --exponent;
                continue;
            }
            if (count < MAX_SIGNIFICANT) {
                digits[count++] = static_cast<char>(*p);
                --exponent;
            } else {
                droppedNonZero = droppedNonZero || *p != L'0';
            }
        }
    }
    if (!anyDigit)
        return 0.0f;

    if (*p == L'e' || *p == L'E') {
        const wchar_t* q = p + 1;
        bool exponentNegative = false;
        if (*q == L'+' || *q == L'-') {
            exponentNegative = *q == L'-';
            ++q;
        }
        if (isDigit(*q)) {
            long written = 0;
            for (; isDigit(*q); ++q) {
                if (written < EXPONENT_LIMIT)
                    written = written * 10 + (*q - L'0');
            }
            exponent += exponentNegative ? -written : written;
        }
    }

    if (count == 0)
        return negative ? -0.0f : 0.0f;
    // Few digits and a small exponent: both the digits and the power of ten
    // are exact doubles, so one IEEE multiply or divide rounds correctly.
    if (count <= 15 && exponent >= -22 && exponent <= 22) {
        static constexpr double EXACT_POWERS[] = {
            1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
        };
        std::uint64_t whole = 0;
        for (int i = 0; i < count; ++i)
            whole = whole * 10 + static_cast<std::uint64_t>(digits[i] - '0');
        const double value = exponent >= 0 ? static_cast<double>(whole) * EXACT_POWERS[exponent]
                                           : static_cast<double>(whole) / EXACT_POWERS[-exponent];
        const float single = narrowToFloat(value);
        return negative ? -single : single;
    }

    if (droppedNonZero) {
        digits[count++] = '1';
        --exponent;
    }

    char number[sizeof digits + 24];
    std::memcpy(number, digits, static_cast<std::size_t>(count));
    char* end = number + count;
    *end++ = 'e';
    end = std::to_chars(end, number + sizeof number, exponent).ptr;

    double value = 0.0;
    const std::from_chars_result result = std::from_chars(number, end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // The leading digit stands at 10^(exponent + count - 1).
        value = exponent + count > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    const float single = narrowToFloat(value);
    return negative ? -single : single;
}

int readWholeNumber(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    const wchar_t* p = skipSpace(text);
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }
    // One past INT_MAX in size, so INT_MIN itself is still exact.
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - L'0');
        if (magnitude > limit)
            magnitude = limit;
    }
    if (negative)
        return static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

namespace {

constexpr std::uint64_t POWERS_OF_TEN[] = {1, 10, 100, 1000};
constexpr std::uint32_t LIMB_BASE = 1000000000; // nine decimal digits per limb

// Writes n in decimal at p, padded with zeros to at least minDigits; returns
// the end.
char* writeDecimal(char* p, std::uint64_t n, int minDigits)
{
    char reversed[24];
    int length = 0;
    do {
        reversed[length++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (length < minDigits)
        reversed[length++] = '0';
    while (length > 0)
        *p++ = reversed[--length];
    return p;
}

// Writes mantissa x 2^shift (an integer of up to 309 digits) in decimal.
char* writeLargeInteger(char* p, std::uint64_t mantissa, int shift)
{
    // Base 10^9 limbs, least significant first: 2^1024 needs 35.
    std::uint32_t limbs[40];
    int count = 0;
    do {
        limbs[count++] = static_cast<std::uint32_t>(mantissa % LIMB_BASE);
        mantissa /= LIMB_BASE;
    } while (mantissa != 0);

    while (shift > 0) {
        // A limb is below 2^30, so a step of 29 bits keeps limb x 2^step
        // plus the carry within 64 bits.
        const int step = shift < 29 ? shift : 29;
        std::uint64_t carry = 0;
        for (int i = 0; i < count; ++i) {
            const std::uint64_t v = (static_cast<std::uint64_t>(limbs[i]) << step) + carry;
            limbs[i] = static_cast<std::uint32_t>(v % LIMB_BASE);
            carry = v / LIMB_BASE;
        }
        while (carry != 0) {
            limbs[count++] = static_cast<std::uint32_t>(carry % LIMB_BASE);
            carry /= LIMB_BASE;
        }
        shift -= step;
    }

    p = writeDecimal(p, limbs[count - 1], 1);
    for (int i = count - 2; i >= 0; --i)
        p = writeDecimal(p, limbs[i], 9);
    return p;
}

std::size_t widen(const char* text, std::size_t length, wchar_t* out, std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    if (length + 1 > capacity) {
        out[0] = L'\0';
        return 0;
    }
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<wchar_t>(text[i]);
    out[length] = L'\0';
    return length;
}

} // namespace

std::size_t formatFixed(double value, int decimals, wchar_t* out, std::size_t capacity)
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 3)
        decimals = 3;

    // Sign, 309 integer digits, point, three decimals.
    char text[320];
    char* p = text;
    if (std::isnan(value))
        return widen("nan", 3, out, capacity);
    if (std::signbit(value))
        *p++ = '-';
    if (std::isinf(value)) {
        std::memcpy(p, "inf", 3);
        p += 3;
        return widen(text, static_cast<std::size_t>(p - text), out, capacity);
    }

    // |value| = mantissa x 2^exponent, exactly.
    std::uint64_t bits = 0;
    const double magnitude = std::fabs(value);
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent;
    if (biased == 0) {
        exponent = -1074; // subnormal
    } else {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }

    const std::uint64_t scale = POWERS_OF_TEN[decimals];
    if (exponent >= 0) {
        // A whole number: every decimal is zero.
        p = writeLargeInteger(p, mantissa, exponent);
        if (decimals > 0) {
            *p++ = '.';
            for (int i = 0; i < decimals; ++i)
                *p++ = '0';
        }
    } else {
        // mantissa < 2^53 and scale <= 1000 < 2^10, so this fits in 63 bits.
        const std::uint64_t scaled = mantissa * scale;
        const int shift = -exponent;
        std::uint64_t rounded = 0;
        if (shift < 64) {
            rounded = scaled >> shift;
            const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            if (rest >= half)
                ++rounded; // an exact half goes away from zero
        }
        // With shift >= 64 the value is below 2^-11 and rounds to zero.
        p = writeDecimal(p, rounded / scale, 1);
        if (decimals > 0) {
            *p++ = '.';
            p = writeDecimal(p, rounded % scale, decimals);
        }
    }
    return widen(text, static_cast<std::size_t>(p - text), out, capacity);
}

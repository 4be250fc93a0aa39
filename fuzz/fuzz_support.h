// Shared by the fuzz targets: a check that holds in optimised builds too,
// and a reader that takes bytes off the front of a fuzzer input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

// assert() is compiled out of release builds; a broken invariant must stop
// the fuzzer in every build so that it keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size;
};

// The next byte, 0 once the input is used up.
inline std::uint8_t takeByte(FuzzInput& input)
{
    if (input.size == 0)
        return 0;
    const std::uint8_t byte = input.data[0];
    ++input.data;
    --input.size;
    return byte;
}

// Up to `count` bytes; returns how many were taken.
inline std::size_t takeBytes(FuzzInput& input, std::size_t count, const std::uint8_t** bytes)
{
    if (count > input.size)
        count = input.size;
    *bytes = input.data;
    input.data += count;
    input.size -= count;
    return count;
}

// A text of at most `maxLength` characters whose length comes from the
// input's next byte, copied into `out` and terminated there.
inline std::size_t takeText(FuzzInput& input, std::size_t maxLength, char* out)
{
    const std::uint8_t* bytes = nullptr;
    const std::size_t length = takeBytes(input, takeByte(input) % (maxLength + 1), &bytes);
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<char>(bytes[i]);
    out[length] = '\0';
    return length;
}

// Length of a wide text that must end within `capacity` characters;
// capacity when it does not.
inline std::size_t boundedWideLength(const wchar_t* text, std::size_t capacity)
{
    std::size_t n = 0;
    while (n < capacity && text[n] != L'\0')
        ++n;
    return n;
}

// Buffers are handed to the code under test with guard characters behind
// the room it was given; a write past the room changes them.
constexpr wchar_t GUARD_CHAR = static_cast<wchar_t>(0x5A5A);

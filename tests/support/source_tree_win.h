// Files of the source tree, for tests that compare what the build made with
// what it was made from instead of keeping a copy of their own.
#pragma once

#include <cstdint>
#include <vector>

// The bytes of a file given by its path in the source tree
// ("resources/languages/english.txt"); empty when it cannot be read.
std::vector<std::uint8_t> sourceFileBytes(const char* pathInTree);

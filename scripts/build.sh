#!/bin/sh
# Configures and builds both trees: build/native (host) and build/win (MinGW).
set -e
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
[ -f build/native/build.ninja ] || cmake -S . -B build/native -G Ninja >/dev/null
cmake --build build/native -j "$jobs"
[ -f build/win/build.ninja ] || cmake -S . -B build/win -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-posix.cmake >/dev/null
cmake --build build/win -j "$jobs"

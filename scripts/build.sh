#!/bin/sh
# Configures what is not configured yet and builds both trees: build/native
# (host) and build/win (MinGW). Given target names, it builds only those, of
# the Windows tree: the run command builds the program, the simulator and
# the help document this way, without the tests.
#   scripts/build.sh [windows-target...]
set -e
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
if [ $# -eq 0 ]; then
  [ -f build/native/build.ninja ] || cmake -S . -B build/native -G Ninja >/dev/null
  cmake --build build/native -j "$jobs"
fi
[ -f build/win/build.ninja ] || cmake -S . -B build/win -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-posix.cmake >/dev/null
if [ $# -eq 0 ]; then
  cmake --build build/win -j "$jobs"
else
  cmake --build build/win -j "$jobs" --target "$@"
fi

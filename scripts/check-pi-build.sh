#!/bin/sh
# Builds the Linux program alone the way README's Raspberry Pi section does
# (build/pi, -DAEROVANE_TESTS=OFF), with GoogleTest and Google Benchmark
# hidden from CMake, so the program can never quietly come to need them;
# then installs it into a staging folder and starts the installed copy.
# Prints one line; the log is build/pi-build.log.
#   scripts/check-pi-build.sh
cd "$(dirname "$0")/.." || exit 1
jobs=$(nproc 2>/dev/null || echo 2)
log=build/pi-build.log
stage=$PWD/build/pi-stage
mkdir -p build
start=$(date +%s)
# A fresh cache every time, so nothing an earlier configure found carries
# over; the objects stay, so an unchanged tree is not rebuilt.
rm -f build/pi/CMakeCache.txt
rm -rf "$stage"
# GOOGLETEST_SOURCE points nowhere: cmake/GoogleTestFromSource.cmake would
# otherwise build GoogleTest from /usr/src without asking find_package.
if cmake -S . -B build/pi -DAEROVANE_TESTS=OFF --no-warn-unused-cli \
     -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
     -DGOOGLETEST_SOURCE="$PWD/build/pi/no-googletest" >"$log" 2>&1 &&
   cmake --build build/pi -j "$jobs" >>"$log" 2>&1 &&
   ctest --test-dir build/pi -N 2>&1 | tee -a "$log" | grep -q 'Total Tests: 0$' &&
   DESTDIR=$stage cmake --install build/pi >>"$log" 2>&1 &&
   version=$("$stage/usr/local/bin/aerovane" --version 2>>"$log"); then
  echo "Linux program alone (build/pi, no test libraries): $version built and installed in $(($(date +%s) - start)) s"
else
  echo "Linux program alone (build/pi, no test libraries): FAILED, see $log"
  tail -n 20 "$log"
  exit 1
fi

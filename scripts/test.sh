#!/bin/sh
# Builds both trees and runs every test: the core natively (with sanitizers),
# then the core again and the Win32 tests under Wine, then each fuzz target
# for 30 s; and builds the Linux program alone, as on a Raspberry Pi, with
# the test libraries hidden, and builds and checks the amd64 Debian
# package; cross-builds for a Pi's arm64 and runs the core's and the
# archive's tests and the packaged program's export under qemu-user.
# Exits non-zero when anything fails or a fuzz target finds a fault.
cd "$(dirname "$0")/.." || exit 1
scripts/setup.sh || exit 1
scripts/build.sh || exit 1
jobs=$(nproc 2>/dev/null || echo 2)

echo "== the Linux program alone, without the test libraries =="
pi_result=$(scripts/check-pi-build.sh)
pi=$?
printf '%s\n' "$pi_result"

echo "== the Debian package =="
package_result=$(scripts/check-package.sh)
package=$?
printf '%s\n' "$package_result"

echo "== the Raspberry Pi's arm64, cross-built, under qemu-user =="
arm64_result=$(scripts/check-cross-tests.sh arm64 && scripts/package.sh arm64 && scripts/check-cross-packages.sh arm64)
arm64=$?
printf '%s\n' "$arm64_result"

echo "== native tests =="
ctest --test-dir build/native -j "$jobs" --output-on-failure > build/native-ctest.log 2>&1
native=$?
grep -vE '^ *[0-9]+/[0-9]+ Test +#' build/native-ctest.log | tail -n 40

echo "== Windows tests under Wine =="
scripts/wine-tests.sh "$jobs" > build/win-ctest.log 2>&1
win=$?
cat build/win-ctest.log | tail -n 60

echo "== fuzz targets, 30 s each =="
scripts/fuzz.sh 30 > build/fuzz-run.log 2>&1
fuzz=$?
cat build/fuzz-run.log

echo
echo "== summary =="
grep -E '^fuzz' build/fuzz-run.log
printf 'native: '; grep -E 'tests passed|tests failed' build/native-ctest.log | tail -n 1
printf 'Windows (Wine): '; grep -E 'tests passed|tests failed' build/win-ctest.log | tail -n 1
printf '%s\n' "$pi_result" | head -n 1
printf '%s\n' "$package_result" | head -n 1
printf '%s\n' "$arm64_result"
[ $arm64 -eq 0 ] && [ $native -eq 0 ] && [ $win -eq 0 ] && [ $fuzz -eq 0 ] && [ $pi -eq 0 ] && [ $package -eq 0 ]

#!/bin/sh
# Cross-builds the portable core's and the archive's tests for a Raspberry
# Pi's architecture and runs them under qemu-user: the core on a machine
# whose char is unsigned, and on armhf whose long and time_t are 32 bits.
# The tree is build/cross-ARCH (no sanitizers, no benchmarks); the log is
# build/cross-ARCH.log. Prints one line per test program.
#   scripts/check-cross-tests.sh [arm64|armhf]...     (default arm64)
cd "$(dirname "$0")/.." || exit 1
. scripts/cross-arch.sh
[ $# -gt 0 ] || set -- arm64
cross_setup "$@" || exit 1

status=0
for arch in "$@"; do
  cross_names "$arch" || exit 2
  tree=build/cross-$arch
  log=$PWD/build/cross-$arch.log
  : > "$log"
  if ! cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
         -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR="${triplet%%-*}" \
         -DCMAKE_C_COMPILER="$triplet-gcc" -DCMAKE_CXX_COMPILER="$triplet-g++" \
         -DPKG_CONFIG_EXECUTABLE="/usr/bin/$triplet-pkg-config" \
         -DCMAKE_CROSSCOMPILING_EMULATOR="$(echo "$emulator" | tr ' ' ';')" \
         -DAEROVANE_TEST_SANITIZERS=OFF -DAEROVANE_BENCHMARKS=OFF >>"$log" 2>&1 ||
     ! cmake --build "$tree" -j "$(nproc)" --target core_tests archive_tests >>"$log" 2>&1; then
    echo "$arch tests: FAILED to build, see $log"; status=1; continue
  fi
  for program in core_tests archive_tests; do
    start=$(date +%s)
    if TZ=UTC timeout 900 $emulator "$tree/$program" --gtest_brief=1 >>"$log" 2>&1; then
      passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -n 1)
      echo "$arch $program under $qemu: $passed passed in $(($(date +%s) - start)) s"
    else
      echo "$arch $program under $qemu: FAILED, see $log"; status=1
    fi
  done
done
exit $status

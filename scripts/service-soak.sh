#!/bin/sh
# A scripted bad day for the Linux service: `aerovane run` against the native
# console simulator and a loopback upload server through a stalled download,
# the console vanishing and coming back, an upload server refusing
# connections for a while, a record dated years ahead, the autumn night and
# a SIGKILL in the middle of a merge. Prints one table; the logs stay in
# build/service-soak/. Takes a few minutes; not part of the test command
# (each fault has its own test there).
#   scripts/service-soak.sh
cd "$(dirname "$0")/.." || exit 1
scripts/setup.sh || exit 1
[ -f build/native/build.ninja ] || cmake -S . -B build/native -G Ninja >/dev/null || exit 1
cmake --build build/native -j "$(nproc 2>/dev/null || echo 2)" --target aerovane aerovane-sim || exit 1
exec python3 scripts/service_soak.py build/native build/service-soak

#!/bin/sh
# Runs the Windows tree's tests under Wine with one wineserver for the whole
# run (started here, stopped at the end), on the display given by the caller.
prefix="$PWD/build/win/wineprefix"
scripts/wine-prefix.sh "$prefix" || exit 1
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p
# Start the prefix's services now, detached from ctest's output pipes.
WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
ctest --test-dir build/win -j "${1:-2}" --output-on-failure
status=$?
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null
exit $status

#!/bin/sh
# Runs the Windows tree's tests under Wine on a private virtual display, with
# one wineserver for the whole run: started here and stopped when the run
# ends, fails or is stopped (Ctrl-C, kill), so no server of the run's prefix
# is left behind.
#   scripts/wine-tests.sh [parallel jobs] [ctest options, e.g. -R Export]
cd "$(dirname "$0")/.." || exit 1
if [ -z "$DISPLAY" ] || [ "$DISPLAY" != "$AEROVANE_PRIVATE_DISPLAY" ]; then
  exec scripts/private-display.sh "$0" "$@"
fi
export WINEPREFIX="$PWD/build/win/wineprefix"
scripts/wine-prefix.sh "$WINEPREFIX" || exit 1

tests=""
stop() {
  [ -n "$tests" ] && kill "$tests" 2>/dev/null
  /usr/lib/wine/wineserver -k 2>/dev/null
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

/usr/lib/wine/wineserver -p
# Start the prefix's services now, detached from ctest's output pipes.
WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
# In the background, so a signal reaches the trap at once instead of after
# the whole run.
jobs=${1:-2}
[ $# -gt 0 ] && shift
ctest --test-dir build/win -j "$jobs" --output-on-failure "$@" &
tests=$!
wait "$tests"
status=$?
tests=""
exit $status

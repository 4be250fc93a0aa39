#!/bin/sh
# Starts the console simulator and Aerovane connected to it, on the current
# display, in a Wine prefix of the demo's own: the program lets one copy run
# per prefix, and a demo left open must not stop the tests' copies in
# theirs. Given a file name, it saves a screenshot there after a few seconds
# and ends both programs; otherwise it runs until the user closes the
# window. Called by scripts/run.sh.
cd "$(dirname "$0")/.." || exit 1
export WINEPREFIX="$PWD/build/win/demo-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scripts/wine-prefix.sh "$WINEPREFIX" || exit 1
wine=/usr/lib/wine/wine64
pipe='\\.\pipe\aerovane-demo'
log="$PWD/build/aerovane-sim.log"
screenshot="$1"

# --once: the simulator ends by itself when the program lets go of the pipe.
$wine build/win/aerovane-sim.exe --pipe="$pipe" --once --live-interval=5000 >"$log" 2>&1 &
sim=$!
tries=0
until grep -q listening "$log" 2>/dev/null || [ $tries -ge 100 ]; do
  sleep 0.2
  tries=$((tries + 1))
done

if [ -z "$screenshot" ]; then
  $wine build/win/aerovane.exe --console="$pipe"
  status=$?
else
  $wine build/win/aerovane.exe --console="$pipe" &
  app=$!
  sleep 8
  import -window root "$screenshot"
  status=$?
  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
fi

# Give the simulator a moment to notice, then end it if it has not.
tries=0
while kill -0 "$sim" 2>/dev/null && [ $tries -lt 25 ]; do
  sleep 0.2
  tries=$((tries + 1))
done
kill "$sim" 2>/dev/null
wait "$sim" 2>/dev/null
exit $status

#!/bin/sh
# Builds what the demo runs (the program, the console simulator and the help
# document its help button opens; not the tests), then runs the program
# under Wine connected to the console simulator, so it shows live readings
# without a station. Without a display it runs on a virtual one (Xvfb),
# saves a screenshot after a few seconds and says where.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh aerovane aerovane-sim help_document
if [ -n "$DISPLAY" ]; then
  echo "Aerovane runs connected to the console simulator; close its window to end."
  exec scripts/run-demo.sh
fi
screenshot="$PWD/build/aerovane-screenshot.png"
echo "No display: running Aerovane on a virtual one for a few seconds..."
# Wine's helper processes complain when the virtual display goes away at
# the end; their messages are kept in a file and shown only on failure.
errors="$PWD/build/run-demo.err"
if ! scripts/private-display.sh scripts/run-demo.sh "$screenshot" 2>"$errors"; then
  cat "$errors" >&2
  exit 1
fi
echo "Screenshot of the running program: $screenshot"

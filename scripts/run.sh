#!/bin/sh
# Builds what is missing and runs the program.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
scripts/wine-prefix.sh "$PWD/build/win/wineprefix"
echo
echo "Aerovane is built (build/win). Its main window is not there yet:"
echo "this build has the console link and its tests; run scripts/test.sh to see them pass."

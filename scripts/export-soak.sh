#!/bin/sh
# The full-store export from end to end, repeatable by hand: the console
# simulator serves 60,000 history records (some packets damaged), the
# program downloads them with its reader thread and exports them, and every
# row of the file must be the record the simulator logged as sent, in
# order. Takes a few minutes under Wine.
#   scripts/export-soak.sh [records]   (default 60000, at most 65535)
cd "$(dirname "$0")/.." || exit 1
records=${1:-60000}
[ -f build/win/build.ninja ] || scripts/build.sh || exit 1
cmake --build build/win -j 2 --target export_simulator_wintest aerovane-sim || exit 1
echo "Exporting $records records from the simulator..."
start=$(date +%s)
AEROVANE_EXPORT_RECORDS=$records build/win/wine-run.sh build/win/export_simulator_wintest.exe \
  --gtest_filter='*EveryRecordInOrder*'
status=$?
echo "$records records: $( [ $status -eq 0 ] && echo passed || echo FAILED ) in $(( $(date +%s) - start )) s"
exit $status

#!/bin/sh
# The full-store export from end to end, repeatable by hand: the console
# simulator serves 60,000 history records, the program downloads them with
# its reader thread and exports them, and every row of the file must be the
# record the simulator logged as sent, in order. Two runs: with damaged
# packets only (every record arrives), then with 2% damaged packets and a
# packet lost from every 250th record (those records are missing from the
# file and counted, so the download still completes). Takes several minutes
# under Wine.
#   scripts/export-soak.sh [records]   (default 60000, at most 65535)
cd "$(dirname "$0")/.." || exit 1
records=${1:-60000}
[ -f build/win/build.ninja ] || scripts/build.sh || exit 1
cmake --build build/win -j 2 --target export_simulator_wintest export_faults_wintest aerovane-sim || exit 1

echo "Exporting $records records from the simulator, damaged packets..."
start=$(date +%s)
AEROVANE_EXPORT_RECORDS=$records build/win/wine-run.sh build/win/export_simulator_wintest.exe \
  --gtest_filter='*EveryRecordInOrder*'
damaged=$?
echo "$records records, damaged packets: $( [ $damaged -eq 0 ] && echo passed || echo FAILED ) in $(( $(date +%s) - start )) s"

echo "Exporting $records records from the simulator, 2% damaged and some lost packets..."
start=$(date +%s)
AEROVANE_SOAK_RECORDS=$records build/win/wine-run.sh build/win/export_faults_wintest.exe \
  --gtest_filter='*DamagedAndLostPackets*'
lost=$?
echo "$records records, damaged and lost packets: $( [ $lost -eq 0 ] && echo passed || echo FAILED ) in $(( $(date +%s) - start )) s"
[ $damaged -eq 0 ] && [ $lost -eq 0 ]

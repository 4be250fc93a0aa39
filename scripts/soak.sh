#!/bin/sh
# The fault soak, repeatable by hand: runs the long items that CI leaves out
# (a 60,000-record download through damaged and lost packets, 200 connect
# and disconnect cycles) and the fault tests CI runs too (console vanishing,
# a console that never answers, upload servers that misbehave, export files
# that cannot be written), then prints one table of their figures. Each
# item is a Wine test of the Windows tree; the whole run takes several
# minutes.
#   scripts/soak.sh [records] [cycles]   (default 60000 and 200)
cd "$(dirname "$0")/.." || exit 1
records=${1:-60000}
cycles=${2:-200}
[ -f build/win/build.ninja ] || scripts/build.sh || exit 1
cmake --build build/win -j 2 --target export_faults_wintest connection_cycles_wintest \
  upload_faults_wintest aerovane-sim || exit 1
logs=build/soak
mkdir -p "$logs"
failed=0

# run NAME TEST-EXE [gtest filter] [VAR=value]: output kept in $logs/NAME.log
run() {
  name=$1 exe=$2 filter=$3
  shift 3
  echo "== $name"
  start=$(date +%s)
  env "$@" build/win/wine-run.sh "build/win/$exe.exe" --gtest_filter="$filter" > "$logs/$name.log" 2>&1
  status=$?
  grep -E '^\[  (PASSED|FAILED) |Failure' "$logs/$name.log"
  echo "   $( [ $status -eq 0 ] && echo passed || echo FAILED ) in $(( $(date +%s) - start )) s"
  [ $status -eq 0 ] || failed=1
}

run download export_faults_wintest '*DamagedAndLostPackets*' AEROVANE_SOAK_RECORDS="$records"
run cycles connection_cycles_wintest '*' AEROVANE_SOAK_CYCLES="$cycles"
run faults export_faults_wintest '*-*DamagedAndLostPackets*'
run upload upload_faults_wintest '*'

# The figure lines the tests print, picked out by their first words.
figure() { grep -h -m 1 "$2" "$logs/$1.log" | tr -d '\r'; }
result() { grep -q "^\[       OK \] [A-Za-z]*\.$2 " "$logs/$1.log" && echo passed || echo FAILED; }

echo
echo "Fault soak figures"
printf '%-44s | %-7s | %s\n' "Item" "Result" "Figures"
printf '%-44s-+-%-7s-+-%s\n' "--------------------------------------------" "-------" "-------"
row() { printf '%-44s | %-7s | %s\n' "$1" "$2" "$3"; }
row "History download, 2% damaged + lost packets" "$(result download DamagedAndLostPacketsLoseNoAcknowledgedRecord)" \
  "$(figure download ' records: ')"
row "$cycles connect/disconnect cycles" "$(result cycles ManyConnectionsLeaveHandlesThreadsAndMemoryAsTheyWere)" \
  "$(figure cycles ' cycles in ')"
row "Console vanishes in the download" "$(result faults ConsoleVanishingInTheDownloadLeavesNoFileAndTheNextConsoleWorks)" \
  "$(figure faults 'vanished in the download'); no file; $(figure faults 'reconnected')"
row "Console vanishes while the file is written" "$(result faults ConsoleVanishingWhileTheFileIsWrittenDeletesIt)" \
  "$(figure faults 'vanished while'); partial file deleted; next console exports"
row "Console never answers the history request" "$(result faults ConsoleThatNeverAnswersHistoryLeavesTheWindowResponsive)" \
  "$(figure faults 'window answered'); Export taken again"
for fault in "never answers" "dribbles for ever" "slow, byte by byte" "resets" "sends 10 MB" "fails with 500" \
             "refuses"; do
  case $fault in
    "never answers") test=ServerThatNeverAnswersIsTriedThreeTimes ;;
    "dribbles for ever") test=ReplyDribbledForEverIsCutOffAtTheTimeOut ;;
    "slow, byte by byte") test=SlowReplyThatEndsInTimeCounts ;;
    "resets") test=ResetWithoutReplyIsTriedThreeTimes ;;
    "fails with 500") test=ServerErrorIsTriedThreeTimes ;;
    "refuses") test=RefusalIsSentOnce ;;
    *) test=TenMegabyteReplyIsReadOnlyUpToTheCap ;;
  esac
  row "Upload server $fault" "$(result upload $test)" "$(figure upload "^$fault: " | sed "s/^$fault: //")"
done
row "Export file cannot be written" "$(result faults FileThatCannotBeWrittenSaysSoAndLeavesNoFile)" \
  "\"write file failed !\", no file (missing folder, disk full mid-file); also ExportJob.WriteFailure* in CI"
echo "Logs: $logs/"
exit $failed

#!/bin/sh
# Builds the fuzz tree (build/fuzz: clang, libFuzzer, AddressSanitizer,
# UBSan) and runs every fuzz target for the given seconds (default 300), two
# at a time, each on a copy of its seed corpus (fuzz/corpus/<target>) plus
# its regression inputs (fuzz/regressions/<target>). Prints one line per
# target with its executions; exits non-zero when a target finds a fault,
# whose input stays in build/fuzz/findings/<target>/ (logs in
# build/fuzz/runs/<pid>/).
#   scripts/fuzz.sh [seconds] [target...]
cd "$(dirname "$0")/.." || exit 1
seconds=${1:-300}
[ $# -gt 0 ] && shift
targets=${*:-"report_reader history_model station_record export_row upload_request reply_classification settings_value"}

scripts/setup.sh || exit 1
if [ ! -f build/fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DAEROVANE_FUZZ=ON >/dev/null || exit 1
fi
# Work corpora and logs of this run only, so two runs in one tree do not mix.
run=build/fuzz/runs/$$
rm -rf "$run"
mkdir -p "$run"
trap 'rm -rf "$run/work"' EXIT
cmake --build build/fuzz -j 2 >"$run/build.log" 2>&1 || { cat "$run/build.log"; exit 1; }
# Every seed and regression input once, before any fuzzing.
ctest --test-dir build/fuzz --output-on-failure >"$run/replay.log" 2>&1 || {
  echo "fuzz: a seed or regression input fails:"
  grep -E 'invariant broken|ERROR: |SUMMARY: |runtime error|Failed' "$run/replay.log" | head -n 20
  exit 1
}

# Longest input per target: the reader's holds about 120 reports, enough
# for a few multi-packet messages and a small download; the model's, about
# ten choices a record, a few downloads of up to 300 records.
max_len() {
  case $1 in
    report_reader) echo 8192 ;;
    history_model) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

# Runs one target; its result line goes to $run/<target>.result.
run_target() {
  name=$1
  work=$run/work/$name
  findings=build/fuzz/findings/$name
  log=$run/$name.log
  mkdir -p "$work" "$findings"
  cp fuzz/corpus/"$name"/* "$work"/
  regressions=""
  [ -d fuzz/regressions/"$name" ] && regressions=fuzz/regressions/$name
  build/fuzz/"${name}_fuzz" -max_total_time="$seconds" -max_len="$(max_len "$name")" \
    -print_final_stats=1 -timeout=10 -artifact_prefix="$findings/" \
    "$work" $regressions >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if [ $status -eq 0 ]; then
    printf 'fuzz %-21s %11s runs in %4s s, %7s runs/s, no finding\n' \
      "$name" "${runs:-?}" "$seconds" "${rate:-?}" >"$run/$name.result"
  else
    {
      printf 'fuzz %-21s FINDING after %s runs (exit %s); input in %s, log %s\n' \
        "$name" "${runs:-?}" "$status" "$findings" "$log"
      grep -E 'invariant broken|ERROR: |SUMMARY: |runtime error' "$log" | head -n 5 | sed 's/^/    /'
    } >"$run/$name.result"
  fi
  return $status
}

failed=0
set -- $targets
while [ $# -gt 0 ]; do
  first=$1
  shift
  run_target "$first" &
  pid_first=$!
  pid_second=""
  if [ $# -gt 0 ]; then
    second=$1
    shift
    run_target "$second" &
    pid_second=$!
  fi
  wait $pid_first || failed=1
  cat "$run/$first.result"
  if [ -n "$pid_second" ]; then
    wait $pid_second || failed=1
    cat "$run/$second.result"
  fi
done
exit $failed

#!/bin/sh
# Runs every benchmark and prints its figures (benchmarks are not tests:
# nothing here passes or fails on a time):
#  - the core natively, with Google Benchmark, median of 5 repetitions: the
#    reader's per-report algorithm, parsing and converting records, and the
#    export of a full 60,000-record store against one buffered write of the
#    same bytes;
#  - the real program under Wine with the console simulator: start-up to the
#    first painted live dashboard, and memory, at rest and after an export
#    (which fills the history store);
#  - the reader thread under Wine with nothing to read (a silent and a
#    vanished console): CPU time while it waits, and how soon it ends once
#    readerStop is set.
#  - the Linux program against the native simulator: idle CPU of the service
#    over a minute, its memory at rest and in an export, and download speed
#    natively against the Windows program's under Wine;
#  - the service's HTTPS transport: requests a second to a loopback server.
#   sh scripts/bench.sh [--runs=N] [--export=RECORDS]
# Defaults: 10 start-ups and an export of 2,000 records (every export clears
# the whole store first, so the memory peak does not depend on the count;
# the download itself runs at the simulator's pace under Wine, about a
# minute per 5,000 records).
set -e
cd "$(dirname "$0")/.."
runs=10
records=2000
for argument in "$@"; do
  case "$argument" in
    --runs=*) runs=${argument#--runs=} ;;
    --export=*) records=${argument#--export=} ;;
    *) echo "usage: scripts/bench.sh [--runs=N] [--export=RECORDS]" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
[ -f build/native/build.ninja ] && [ -f build/win/build.ninja ] || scripts/build.sh
build_log="build/bench-build.log"
if ! { cmake --build build/native -j 2 --target report_reader_bench readings_bench export_bench archive_bench \
         report_page_bench https_transport_bench &&
       cmake --build build/win -j 2 --target aerovane aerovane-sim startup_bench reader_idle_bench; } >"$build_log" 2>&1; then
  cat "$build_log" >&2
  exit 1
fi

echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
  "$(/usr/lib/wine/wine64 --version 2>/dev/null)"
echo

results=$(mktemp -d "${TMPDIR:-/tmp}/aerovane-bench.XXXXXX")
trap 'rm -rf "$results"' EXIT
for bench in report_reader_bench readings_bench export_bench; do
  build/native/$bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$results/$bench.json" 2>/dev/null
done
python3 - "$results" <<'EOF'
import json, os, sys

def medians(name):
    with open(os.path.join(sys.argv[1], name + ".json")) as f:
        runs = json.load(f)["benchmarks"]
    return {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}

reader = medians("report_reader_bench")["BM_HandleInputReport"]
print("Per-report algorithm (checksum, ACK/NAK, assembly, history slots):")
print("  %12.0f reports/s   (a full-speed USB console sends at most 1,000 a second)"
      % reader["items_per_second"])

readings = medians("readings_bench")
print("Parse a record and convert every converted field:")
for run, label in (("BM_ParseAndConvertRecord", "into F, in, inHg, mph"),
                   ("BM_ParseAndConvertRecordOtherUnits", "into mmHg, knots"),
                   ("BM_ParseRecordNativeUnits", "parse only")):
    print("  %12.0f records/s   (%s)" % (readings[run]["items_per_second"], label))

export = medians("export_bench")
full = export["BM_ExportFullStore/real_time"]
write = export["BM_SameBytesOneWrite/real_time"]
print("Export of 60,000 full records (every data set, converting units):")
print("  %12.1f ms          (%.1f MB file)" % (full["real_time"], write["file_bytes"] / 1048576))
print("  %12.1f ms          one buffered write of the same bytes" % write["real_time"])
print("  %12.2f x           export / one write" % (full["real_time"] / write["real_time"]))
EOF

echo
echo "The archive and the report page, a year of five-minute observations (bench/archive_bench.cpp):"
build/native/archive_bench 2>/dev/null | sed -n 's/^BM_/  BM_/p'
build/native/report_page_bench 2>/dev/null | sed -n 's/^BM_/  BM_/p'

echo
echo "HTTPS requests to the loopback test server, each thread keeping its connection (bench/https_transport_bench.cpp):"
build/native/https_transport_bench 2>/dev/null | sed -n 's/^BM_/  BM_/p'

echo
echo "Start-up and memory of aerovane.exe under Wine ($runs start-ups, then an export of $records records):"
prefix="$PWD/build/win/bench-prefix"
scripts/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
command="/usr/lib/wine/wine64 build/win/startup_bench.exe --runs=$runs --export=$records"
# On a private virtual display, whatever the caller's is. Wine's helper
# processes complain on stderr when it goes away; the figures are on stdout.
status=0
scripts/private-display.sh $command 2>"$results/wine.err" || status=$?
echo
scripts/private-display.sh /usr/lib/wine/wine64 build/win/reader_idle_bench.exe 2>>"$results/wine.err" || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
[ $status -eq 0 ] || exit $status

echo
echo "The Linux program (bench/linux_program_bench.py: idle service, memory, download natively and under Wine):"
cmake --build build/native -j 2 --target aerovane aerovane-sim >"$build_log" 2>&1 &&
  cmake --build build/win -j 2 --target cross_export_probe >>"$build_log" 2>&1 || { cat "$build_log" >&2; exit 1; }
python3 bench/linux_program_bench.py

echo
echo "The networks' deliveries (bench/delivery_bench.py: back-fill to a loopback HTTPS server, at rest with all on):"
python3 bench/delivery_bench.py

echo
echo "MQTT (bench/mqtt_bench.py: live observation to its state at a subscriber, at rest with and without MQTT):"
python3 bench/mqtt_bench.py

#!/bin/sh
# Proves the Raspberry Pi's packages without a Pi, under qemu-user: the
# arm64 and armhf aerovane, unpacked from build/packages/, each export the
# history of the amd64 native simulator over its socket, and the files
# equal the amd64 program's export of the same history byte for byte.
# Run by scripts/package.sh all, after the packages are built. Prints one
# line per architecture; the log is build/deb/cross-check.log.
#   scripts/check-cross-packages.sh [arm64|armhf]...     (default both)
cd "$(dirname "$0")/.." || exit 1
. scripts/cross-arch.sh
scratch=$PWD/build/deb/cross-check
log=$PWD/build/deb/cross-check.log
version=$(dpkg-parsechangelog -S Version)
rm -rf "$scratch"
mkdir -p "$scratch"
: > "$log"

cmake -S . -B build/native -G Ninja >>"$log" 2>&1 &&
  cmake --build build/native -j "$(nproc)" --target aerovane aerovane-sim >>"$log" 2>&1 || {
    echo "cross check: FAILED: the native program and simulator did not build, see $log"; exit 1; }

# One simulator, a fixed clock and seed, serving every export in turn.
socket=$scratch/console
build/native/aerovane-sim --socket="$socket" --now=2026-03-29T12:00 --seed=7 --history=3000 \
  --history-interval=5 --live-interval=0 --upload-interval=0 --clock-interval=0 >>"$log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null' EXIT
for _ in $(seq 100); do [ -S "$socket" ] && break; sleep 0.1; done

export_with() {
  TZ=Europe/Berlin timeout 600 "$@" --console="$socket" export --whole-period -o "$out" >>"$log" 2>&1
}
out=$scratch/amd64.xls
export_with build/native/aerovane || { echo "cross check: FAILED: the amd64 export, see $log"; exit 1; }

status=0
[ $# -gt 0 ] || set -- arm64 armhf
for arch in "$@"; do
  cross_names "$arch"
  deb=build/packages/aerovane_${version}_$arch.deb
  root=$scratch/$arch-root
  dpkg-deb -x "$deb" "$root" || { echo "$arch under qemu: FAILED: no $deb"; status=1; continue; }
  program="$emulator $root/usr/bin/aerovane"
  file -b "$root/usr/bin/aerovane" >>"$log"
  out=$scratch/$arch.xls
  start=$(date +%s)
  if ! shown=$($program --version 2>>"$log") || ! export_with $program; then
    echo "$arch under qemu: FAILED: the export, see $log"; status=1; continue
  fi
  if cmp "$scratch/amd64.xls" "$out" >>"$log" 2>&1; then
    echo "$arch under qemu ($qemu): $shown exported the amd64 simulator's history, $(stat -c %s "$out") bytes equal to the amd64 export, in $(($(date +%s) - start)) s"
  else
    echo "$arch under qemu: FAILED: its export differs from the amd64 program's, see $log"; status=1
  fi
done
exit $status

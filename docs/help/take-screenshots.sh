#!/bin/sh
# Takes the help document's screenshots (docs/help/images/*.png) from the
# real program, run under Wine on a virtual display with the console
# simulator and a local stand-in for the weather services that accepts every
# upload. Repeat it when the program's look changes, check the pictures, and
# commit them; the build only converts them.
#   sh docs/help/take-screenshots.sh [BUILD_DIR]     (default build/win)
# Installs what it needs first (scripts/setup.sh: xdotool among the rest)
# and runs the program in a prefix set up as the tests' is
# (scripts/wine-prefix.sh: Arial is Liberation Sans, 96 DPI).
# Clicks go to window positions of the 1008 x 578 main window; the pages'
# layouts are fixed by their dialog templates.
set -e
cd "$(dirname "$0")/../.."
build=$(cd "${1:-build/win}" && pwd)
images="$PWD/docs/help/images"
# On a private virtual display, so the pictures do not depend on the
# caller's screen.
if [ -z "$DISPLAY" ] || [ "$DISPLAY" != "$AEROVANE_PRIVATE_DISPLAY" ]; then
  scripts/setup.sh
  exec scripts/private-display.sh sh "$0" "$build"
fi
command -v xdotool >/dev/null || { echo "xdotool is missing: run scripts/setup.sh" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/aerovane-shots.XXXXXX")
# A fresh prefix: default units and language, nothing stored.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
port=18$(($$ % 900 + 100))
pipe='\\.\pipe\aerovane-screenshots'
pids=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
scripts/wine-prefix.sh "$WINEPREFIX"

# Answers every request the way Weather Underground accepts an upload.
python3 - "$port" >"$work/server.log" 2>&1 <<'EOF' &
import socket, sys, threading
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(8)
def answer(client):
    client.settimeout(5)
    request = b""
    try:
        while b"\r\n\r\n" not in request:
            chunk = client.recv(4096)
            if not chunk:
                break
            request += chunk
        client.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nsuccess\n")
    finally:
        client.close()
while True:
    client, _ = server.accept()
    threading.Thread(target=answer, args=(client,), daemon=True).start()
EOF
pids="$pids $!"

$wine "$build/aerovane-sim.exe" --pipe="$pipe" --once --live-interval=4000 --upload-interval=4000 \
  --history=20000 >"$work/sim.log" 2>&1 &
pids="$pids $!"
tries=0
until grep -q listening "$work/sim.log" 2>/dev/null || [ $tries -ge 100 ]; do
  sleep 0.2
  tries=$((tries + 1))
done
# Started in the scratch folder: the save dialog opens there, so the export
# file it writes goes away with it.
(cd "$work" && exec $wine "$build/aerovane.exe" --console="$pipe" --wu-host=127.0.0.1:$port \
  --wc-host=127.0.0.1:$port >"$work/app.log" 2>&1) &
pids="$pids $!"

window=""
tries=0
until [ -n "$window" ] || [ $tries -ge 100 ]; do
  sleep 0.2
  window=$(xdotool search --onlyvisible --name '^AEROVANE$' 2>/dev/null | head -n 1)
  tries=$((tries + 1))
done
[ -n "$window" ] || { echo "the program's window did not appear" >&2; exit 1; }
sleep 6
eval "$(xdotool getwindowgeometry --shell "$window")"
geometry="${WIDTH}x${HEIGHT}+${X}+${Y}"
echo "main window: $geometry"

# shot NAME [CROP]: the window, or a part of it (WxH+X+Y in the window).
shot() {
  import -window root "$work/root.png"
  convert "$work/root.png" -crop "$geometry" +repage "$work/window.png"
  if [ -n "$2" ]; then
    convert "$work/window.png" -crop "$2" +repage "$images/$1.png"
  else
    cp "$work/window.png" "$images/$1.png"
  fi
  echo "docs/help/images/$1.png"
}
click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.5
}

shot dashboard

click 330 15 # EXPORT & SETUP tab
click 880 114 # station ID
xdotool type --delay 40 KXYZAERO7
click 880 139 # station key
xdotool type --delay 40 a7Rk29QpW
click 558 165 # Auto Upload
sleep 12 # the simulator hands over upload texts every 4 s
click 605 308 # Whole period
click 95 504 # Select All
shot setup-page
shot weather-server 446x152+548+40

# The export: the status bar's strip changes when the progress appears.
progress_strip=640x40+0+538
shot idle-strip "$progress_strip" >/dev/null
mv "$images/idle-strip.png" "$work/idle-strip.png"
click 581 504 # Export
timeout 30 xdotool search --sync --onlyvisible --name '^Save' >/dev/null ||
  { echo "the save dialog did not appear" >&2; exit 1; }
sleep 1
xdotool type --delay 40 history.csv
xdotool key Return
tries=0
while :; do
  sleep 1
  shot export-progress "$progress_strip" >/dev/null
  changed=$(compare -metric AE "$images/export-progress.png" "$work/idle-strip.png" null: 2>&1 || true)
  [ "${changed%%.*}" -gt 100 ] 2>/dev/null && break
  tries=$((tries + 1))
  [ $tries -lt 30 ] || { echo "no export progress appeared" >&2; exit 1; }
done
sleep 2
shot export-progress "$progress_strip"

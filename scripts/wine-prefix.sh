#!/bin/sh
# Creates a private 64-bit Wine prefix once: no Mono/Gecko prompt, no crash
# dialog (a crashing test must fail, not wait for a click). Safe to call from
# parallel tests: the first one creates it under a lock, the rest wait.
prefix="$1"
[ -f "$prefix/.aerovane-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.aerovane-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
echo "Creating the Wine prefix $prefix (once)..." >&2
$wine wineboot -i >/dev/null 2>&1
$wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$prefix/.aerovane-ready"

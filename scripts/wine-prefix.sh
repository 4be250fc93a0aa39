#!/bin/sh
# Sets up a private 64-bit Wine prefix once, the same on every machine: no
# Mono/Gecko prompt, no crash dialog (a crashing test must fail, not wait for
# a click), 96 DPI whatever the display says, and the faces the program names
# mapped to the installed fonts with their metrics, so texts measure and look
# as designed instead of taking whatever face Wine falls back to.
# Safe to call from parallel tests: the first one sets it up under a lock,
# the rest wait.
#   scripts/wine-prefix.sh PREFIX
prefix="$1"
[ -n "$prefix" ] || { echo "usage: wine-prefix.sh PREFIX" >&2; exit 2; }
# The marker holds the version of the set-up below; raise it when the set-up
# changes, and prefixes made by an older one are set up again.
version=2
marker="$prefix/.aerovane-ready"
ready() { [ "$(cat "$marker" 2>/dev/null)" = "$version" ]; }
ready && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
ready && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
echo "Setting up the Wine prefix $prefix (once)..." >&2
rm -f "$marker"

# reg KEY NAME TYPE DATA
reg() {
  $wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1 ||
    { printf 'wine-prefix.sh: could not set %s\\%s\n' "$1" "$2" >&2; return 1; }
}
fonts='HKCU\Software\Wine\Fonts\Replacements'
# Arial: the dialogs' font and every font the program creates. Tahoma: what
# Wine's message boxes and file dialogs use ("MS Shell Dlg"); Debian's Wine 8
# does not find its own copy, so it is named here rather than left to Wine's
# search for a fallback.
if ! { $wine wineboot -i >/dev/null 2>&1 &&
       reg 'HKCU\Software\Wine\WineDbg' ShowCrashDialog REG_DWORD 0 &&
       reg 'HKCU\Control Panel\Desktop' LogPixels REG_DWORD 96 &&
       reg "$fonts" Arial REG_SZ 'Liberation Sans' &&
       reg "$fonts" Tahoma REG_SZ 'Liberation Sans'; }; then
  echo "wine-prefix.sh: setting up $prefix failed" >&2
  /usr/lib/wine/wineserver -k 2>/dev/null
  exit 1
fi
# The registry reaches the disk when the prefix's wineserver ends.
/usr/lib/wine/wineserver -w
echo "$version" >"$marker.tmp" && mv "$marker.tmp" "$marker"

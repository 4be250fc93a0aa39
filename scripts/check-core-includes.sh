#!/bin/sh
# Both front ends sit on one core: no core or platform file may include a
# front-end header (*_win.h, *_linux.h), and no core file a system header of
# one side (windows.h, winsock2.h, the POSIX socket headers, hidapi); those
# belong in the shells and in the platform files (*_windows.cpp, *_posix.cpp).
# Prints each offending line; exits 1 when there is one.
cd "$(dirname "$0")/.." || exit 2
status=0
for dir in app link readings dashboard export settings upload report sim; do
  for file in "$dir"/*.cpp "$dir"/*.h; do
    [ -e "$file" ] || continue
    case "$file" in
      *_win.cpp|*_win.h|*_linux.cpp|*_linux.h) continue ;;
    esac
    if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*_(win|linux)\.h"' "$file" |
         sed "s|^|$file: front-end header: |" | grep .; then
      status=1
    fi
    case "$file" in
      *_windows.cpp|*_posix.cpp) continue ;;
    esac
    if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|winsock2|ws2tcpip|sys/socket|netdb|netinet/in|unistd|hidapi/hidapi)\.h>' "$file" |
         sed "s|^|$file: system header: |" | grep .; then
      status=1
    fi
    if grep -nE '^[[:space:]]*#[[:space:]]*if(def)?[[:space:]].*(_WIN32|__linux__|_MSC_VER|__MINGW)' "$file" |
         sed "s|^|$file: platform #if: |" | grep .; then
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "core includes: no front-end or system header, no platform #if"
exit $status

#!/bin/sh
# Installs the Debian packages that building, running and testing need, and
# only those that are missing, so a second run is quick.
set -e
packages="cmake ninja-build g++ make googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 xvfb xauth imagemagick python3 clang libclang-rt-14-dev"
# The help document (groff -ms, Ghostscript's ps2pdf, netpbm for its
# screenshots, poppler's pdftotext to check it) and the release zip.
packages="$packages groff ghostscript netpbm poppler-utils zip"
# The Linux program's console access (hidapi, hidraw back end).
packages="$packages libhidapi-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null

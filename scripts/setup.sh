#!/bin/sh
# Installs the Debian packages that building, running and testing need (and
# those given as arguments: scripts/package.sh's cross-building ones), and
# only those that are missing, so a second run is quick. Everything is named
# here: installs run without recommended packages, so nothing may arrive
# only as one.
set -e
packages="cmake ninja-build g++ make googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 xvfb xauth imagemagick python3 clang libclang-rt-14-dev"
# What Wine only recommends but the program relies on: Liberation Sans, the
# face with Arial's metrics, which the prefix gives the dialogs and every
# font the program creates (scripts/wine-prefix.sh; its Narrow cut draws the
# button images), and the X extensions Wine's X11 driver opens at run time
# for drawing (XRender) and the screen's size (XRandR, Xinerama). Wine's own
# faces (fonts-wine) are left out: Debian's Wine 8 does not look for them.
packages="$packages fonts-liberation libxrender1 libxrandr2 libxinerama1"
# The help document (groff -ms, Ghostscript's ps2pdf, netpbm for its
# screenshots, poppler's pdftotext to check it), the release zip, and
# xdotool, which docs/help/take-screenshots.sh clicks the program with.
packages="$packages groff ghostscript netpbm poppler-utils zip xdotool"
# The Linux program's console access (hidapi, hidraw back end), its archive
# (SQLite) and the browser that loads its report page in the tests (headless
# Chromium, driven through ChromeDriver).
packages="$packages libhidapi-dev libsqlite3-dev chromium chromium-driver"
# The service's word to systemd (libsystemd's sd_notify: readiness, status
# line, watchdog), found by CMake through pkg-config.
packages="$packages libsystemd-dev pkgconf"
# libcurl (OpenSSL flavour), the service's HTTPS to the weather networks with
# certificate checks; openssl, which makes the tests' private authority.
packages="$packages libcurl4-openssl-dev openssl"
# libmosquitto, the service's MQTT client for home-automation hubs; the
# mosquitto broker and its clients (mosquitto_passwd), the tests' broker.
packages="$packages libmosquitto-dev mosquitto mosquitto-clients"
# systemd-analyze, which checks the service's unit and scores its sandbox
# offline (no running systemd needed).
packages="$packages systemd"
# man, which lays out the manual pages in their test as a reader's man does.
packages="$packages man-db"
# The time-zone rules the archive's tests read (Europe/Berlin's and
# America/New_York's autumn nights).
packages="$packages tzdata"
# The Debian package (scripts/package.sh): debhelper and lintian to check
# it (its build dependencies are above; pkgconf provides pkg-config).
packages="$packages dpkg-dev debhelper lintian"
# What a caller needs besides (scripts/package.sh: cross toolchains and
# foreign-architecture libraries).
packages="$packages $*"
# A package counts as installed only for the architecture asked for (this
# machine's unless the name says another): the cross builds' arm64 copy of
# a library does not stand in for the native one.
native=$(dpkg --print-architecture)
missing=""
for p in $packages; do
  case "$p" in
    *:*) arch=${p#*:} ;;
    *) arch=$native ;;
  esac
  dpkg-query -W -f='${Status} ${Architecture}\n' "$p" 2>/dev/null | grep -qE "ok installed ($arch|all)\$" \
    || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $missing >/dev/null

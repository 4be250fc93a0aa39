#!/bin/sh
# Builds the amd64 Debian package (scripts/package.sh) and checks it:
# lintian with no error or warning, exactly the expected files, the
# configuration a conffile, the libraries' dependencies computed; then,
# unpacked into a scratch root, systemd accepts the unit (its ExecStart=
# found in that root) and scores its sandbox at most 2.0; the manual pages,
# once the tree has them, open without a warning.
# Prints one line; the log is build/package-check.log.
#   scripts/check-package.sh
cd "$(dirname "$0")/.." || exit 1
log=$PWD/build/package-check.log
root=$PWD/build/package-root
mkdir -p build
: > "$log"
start=$(date +%s)

fail() {
  echo "Debian package: FAILED: $1, see $log"
  tail -n 20 "$log"
  exit 1
}

scripts/package.sh amd64 >>"$log" 2>&1 || fail "the build"
version=$(dpkg-parsechangelog -S Version)
deb=build/packages/aerovane_${version}_amd64.deb

# Until the manual pages are in the tree, lintian's note that there is none
# is expected.
lintian_options="--fail-on error,warning"
[ -d docs/man ] || lintian_options="$lintian_options --suppress-tags no-manual-page"
lintian $lintian_options "$deb" >>"$log" 2>&1 || fail "lintian"

expected="/etc/aerovane.conf
/lib/systemd/system/aerovane.service
/lib/udev/rules.d/60-aerovane.rules
/usr/bin/aerovane
/usr/lib/sysusers.d/aerovane.conf
/usr/share/doc/aerovane/aerovane.conf.example
/usr/share/doc/aerovane/changelog.Debian.gz
/usr/share/doc/aerovane/copyright
/usr/share/lintian/overrides/aerovane"
[ -d docs/man ] && expected="$expected
/usr/share/man/man1/aerovane.1.gz
/usr/share/man/man5/aerovane.conf.5.gz"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -tf - | grep -v '/$' | sed 's|^\.||' | LC_ALL=C sort)
expected=$(printf '%s\n' "$expected" | LC_ALL=C sort)
if [ "$files" != "$expected" ]; then
  printf 'files in the package:\n%s\nexpected:\n%s\n' "$files" "$expected" >>"$log"
  fail "its file list"
fi
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles)" = /etc/aerovane.conf ] || fail "its conffiles"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends" >>"$log"
for library in libhidapi-hidraw0 libsqlite3-0 libcurl4 libmosquitto1 libc6; do
  case $depends in *"$library "*) ;; *) fail "no dependency on $library" ;; esac
done

rm -rf "$root"
dpkg-deb -x "$deb" "$root" || fail "unpacking"
systemd-analyze verify --man=no --recursive-errors=no --root="$root" aerovane.service >>"$log" 2>&1 ||
  fail "systemd-analyze verify"
audit=$(systemd-analyze security --offline=true --no-pager --root="$root" aerovane.service 2>>"$log")
exposure=$(printf '%s\n' "$audit" | sed -n 's/.*Overall exposure level for aerovane.service: \([0-9.]*\).*/\1/p')
echo "exposure: $exposure" >>"$log"
[ -n "$exposure" ] && awk "BEGIN { exit !($exposure <= 2.0) }" || fail "the unit's exposure ${exposure:-unknown} (at most 2.0)"
if [ -d docs/man ]; then
  for page in "$root"/usr/share/man/man1/aerovane.1.gz "$root"/usr/share/man/man5/aerovane.conf.5.gz; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$warnings" >>"$log"; fail "warnings in $(basename "$page")"; }
  done
fi
size=$(($(stat -c %s "$deb") / 1024))
echo "Debian package: $(basename "$deb") ($size KiB) lintian clean, files as expected, unit verified, exposure $exposure, in $(($(date +%s) - start)) s"

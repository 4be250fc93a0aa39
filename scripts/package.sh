#!/bin/sh
# Builds the Debian package for amd64 (this machine), or cross-built for a
# Raspberry Pi's arm64 or armhf, or all three (then proves the Pi's under
# qemu-user: the cross-built tests, scripts/check-cross-tests.sh, and the
# packaged program's export, scripts/check-cross-packages.sh). Leaves the .deb files and
# SHA256SUMS in build/packages/; each build's log is build/deb/ARCH.log.
#   scripts/package.sh [amd64|arm64|armhf|all]     (default amd64)
set -e
cd "$(dirname "$0")/.."
target=${1:-amd64}
case $target in
  all) arches="amd64 arm64 armhf" ;;
  amd64|arm64|armhf) arches=$target ;;
  *) echo "usage: scripts/package.sh [amd64|arm64|armhf|all]" >&2; exit 2 ;;
esac
. scripts/cross-arch.sh
if [ "$arches" = "$(dpkg --print-architecture)" ]; then
  scripts/setup.sh
else
  cross_setup $arches
fi

version=$(dpkg-parsechangelog -S Version)
program=$(sed -n 's/^#define AEROVANE_VERSION_TEXT "\(.*\)"$/\1/p' resources/resource_ids.h)
if [ "${version%-*}" != "$program" ]; then
  echo "debian/changelog says $version, the program $program: add a changelog entry" >&2
  exit 1
fi

jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p build/deb build/packages
for arch in $arches; do
  # dpkg-buildpackage writes into the source's parent: a copy of the
  # working tree (what git tracks or would) in a scratch folder of its own.
  scratch=build/deb/$arch
  rm -rf "$scratch"
  mkdir -p "$scratch/aerovane-$program"
  git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$scratch/aerovane-$program"
  options="-b -us -uc"
  [ "$arch" = "$(dpkg --print-architecture)" ] || options="$options -a $arch -Pcross,nocheck"
  start=$(date +%s)
  if ! (cd "$scratch/aerovane-$program" && DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage $options) \
       > "build/deb/$arch.log" 2>&1; then
    tail -n 30 "build/deb/$arch.log"
    echo "$arch package: FAILED, see build/deb/$arch.log" >&2
    exit 1
  fi
  rm -f build/packages/aerovane_*_"$arch".deb
  cp "$scratch"/aerovane_"$version"_"$arch".deb build/packages/
  echo "$arch package: build/packages/aerovane_${version}_$arch.deb in $(($(date +%s) - start)) s"
done
(cd build/packages && sha256sum aerovane_*.deb > SHA256SUMS)

if [ "$target" = all ]; then
  scripts/check-cross-tests.sh arm64 armhf
  scripts/check-cross-packages.sh
fi
exit 0

# Sourced, from the project folder, by the scripts that cross-build for a Raspberry Pi's architecture
# (package.sh, check-cross-tests.sh, check-cross-packages.sh).

# cross_setup ARCH...: adds each foreign architecture to dpkg and installs
# its cross toolchain, the libraries the program links (multiarch), and
# qemu-user to run what was built.
cross_setup() {
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  cross="qemu-user"
  for arch in "$@"; do
    [ "$arch" = "$(dpkg --print-architecture)" ] && continue
    dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
    cross="$cross crossbuild-essential-$arch libhidapi-dev:$arch libsqlite3-dev:$arch libsystemd-dev:$arch libcurl4-openssl-dev:$arch libmosquitto-dev:$arch"
    # libstdc++6 and libgcc-s1 of that architecture, which dpkg-shlibdeps
    # reads (the cross toolchain's own copies are not searched); pkgconf of
    # that architecture brings its TRIPLET-pkg-config.
    cross="$cross libstdc++6:$arch libgcc-s1:$arch pkgconf:$arch"
  done
  scripts/setup.sh $cross
}

# cross_names ARCH: sets triplet, qemu, and emulator: what runs a program
# of that architecture here. The dynamic loader and every library come from
# the multiarch packages in / (as on a Pi): with the cross toolchain's
# prefix (-L /usr/TRIPLET) its loader would load the multiarch libc of
# another build, and the first thread never starts.
cross_names() {
  case $1 in
    arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64 ;;
    armhf) triplet=arm-linux-gnueabihf qemu=qemu-arm ;;
    *) echo "no cross build for $1" >&2; return 1 ;;
  esac
  emulator="/usr/bin/$qemu -L /"
}

#!/usr/bin/env bash
# Installs the Debian packages a step needs, by group, skipping what is present; says what
# it installs and for what before it does.
#   install-deps.sh GROUP...
#     build    compiling the programs and the default build's unit tests
#     demo     the demo run without a display
#     package  the .deb and the tarball
#     windows  the 32-bit Windows programs (cross compiler) and their zip
#     test     the test bench, and every group above: wine (with the i386 architecture),
#              the test VM, the sanitizers and fuzzers, the package and desktop-file
#              checks, signing
# VELT_DEPS_DRY_RUN=1 says what it would do and changes nothing.
set -euo pipefail

declare -A purpose packages
purpose[build]="building the programs"
packages[build]="build-essential cmake pkg-config googletest libgtest-dev libgmock-dev
    qt6-base-dev libgl-dev libcli11-dev nlohmann-json3-dev libssl-dev"
purpose[demo]="the demo without a display"
packages[demo]="xvfb xauth fonts-liberation"
purpose[package]="the .deb and the tarball"
packages[package]="dpkg-dev file"
purpose[windows]="the Windows programs"
packages[windows]="g++-mingw-w64-i686-posix zip"
purpose[test]="the test bench"
packages[test]="qemu-system-x86 busybox-static cpio xz-utils udev
    desktop-file-utils appstream xdotool x11-utils imagemagick
    clang libclang-rt-14-dev llvm lintian man-db
    wine wine32:i386 osslsigncode openssl"

[ $# -gt 0 ] || set -- build
# The test bench runs everything else too: the build, the demo, the packages, the Windows
# programs.
[[ " $* " != *" test "* ]] || set -- build demo package windows test

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for group in "$@"; do
    [ -n "${packages[$group]:-}" ] || { echo "install-deps: unknown group $group" >&2; exit 2; }
    wanted=()
    for p in ${packages[$group]}; do
        installed "$p" || wanted+=("$p")
    done
    [ ${#wanted[@]} -gt 0 ] || continue
    echo "install-deps: for ${purpose[$group]}: ${wanted[*]}"
    missing+=("${wanted[@]}")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
[ -z "${VELT_DEPS_DRY_RUN:-}" ] || sudo="echo would run:"
export DEBIAN_FRONTEND=noninteractive
# wine runs the 32-bit Windows programs with 32-bit libraries: only the test bench adds
# the architecture.
if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "install-deps: adding the i386 architecture for wine's 32-bit libraries"
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

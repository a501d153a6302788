#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; skips what is present.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    googletest libgtest-dev libgmock-dev
    qt6-base-dev libgl-dev
    libcli11-dev libssl-dev
    xvfb xauth fonts-liberation
    qemu-system-x86 busybox-static cpio xz-utils file udev
    desktop-file-utils appstream xdotool x11-utils imagemagick
    clang libclang-rt-14-dev llvm
    dpkg-dev lintian man-db
    g++-mingw-w64-i686-posix wine wine32:i386 osslsigncode openssl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# wine runs the 32-bit Windows programs with 32-bit libraries.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

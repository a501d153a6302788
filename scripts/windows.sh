#!/usr/bin/env bash
# The 32-bit Windows build, cross-compiled with MinGW-w64 into build-windows/:
#   windows.sh build     the three programs in build-windows/bin/
#   windows.sh package   and build-windows/velt-usb-firmware-<version>-windows-x86.zip
#   windows.sh test      and its tests under wine
# Without the cross compiler it prints "skipped: ..." and succeeds, never a silent pass.
set -euo pipefail
cd "$(dirname "$0")/.."

compiler=i686-w64-mingw32-g++-posix
if ! command -v "$compiler" >/dev/null 2>&1; then
    echo "skipped: the Windows build needs $compiler (scripts/install-deps.sh installs it)"
    exit 0
fi

cmake --preset windows >/dev/null
cmake --build --preset windows
case "${1:-build}" in
build) ;;
package) (cd build-windows && cpack -G ZIP) ;;
test) ctest --preset windows ;;
*) echo "windows.sh: unknown step $1" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# The 32-bit Windows build, cross-compiled with MinGW-w64 into build-windows/:
#   windows.sh build     the three programs in build-windows/bin/
#   windows.sh package   and build-windows/velt-usb-firmware-<version>-windows-x86.zip,
#                        with its SHA-256 in build-windows/SHA256SUMS
#   windows.sh test      and its tests under wine: on this host where it runs 32-bit
#                        programs, else all of them in one boot of the test VM, whose
#                        kernel does (VELT_WINDOWS_TESTS=vm asks for the VM anyway)
#   windows.sh test-vm   where this host runs them, the tests once more in the test VM,
#                        so that both ways are proven; elsewhere test took the VM already
# Without the cross compiler it prints "skipped: ..." and succeeds, never a silent pass.
set -euo pipefail
cd "$(dirname "$0")/.."

compiler=i686-w64-mingw32-g++-posix
if ! command -v "$compiler" >/dev/null 2>&1; then
    echo "skipped: the Windows build needs $compiler (scripts/install-deps.sh installs it)"
    exit 0
fi

# The whole Windows suite in one boot of the test VM; its kernel and its USB gadget come
# from the Linux build.
in_vm() {
    cmake --preset default >/dev/null
    tests/vm/run-wine --suite build-windows
}

cmake --preset windows >/dev/null
cmake --build --preset windows
case "${1:-build}" in
build) ;;
package) (cd build-windows && cpack -G ZIP) ;;
test)
    . tests/windows/wine-host.sh
    if wine_host_can_run; then
        echo "windows.sh: the Windows tests run under wine on this host: $wine_host_why"
        ctest --preset windows
    else
        echo "windows.sh: the Windows tests run in the test VM: $wine_host_why"
        in_vm
    fi
    ;;
test-vm)
    . tests/windows/wine-host.sh
    if ! wine_host_can_run; then
        echo "windows.sh: the Windows tests ran in the test VM already (make test): $wine_host_why"
        exit 0
    fi
    echo "windows.sh: the Windows tests run in the test VM as well"
    in_vm
    ;;
*) echo "windows.sh: unknown step $1" >&2; exit 2 ;;
esac

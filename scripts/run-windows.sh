#!/bin/sh
# Runs one program of the Windows build (build-windows/bin) under wine: on this host where
# it runs 32-bit programs, else inside the test VM, whose kernel does. Its standard output,
# standard error and exit status come back as its own; relative paths in its arguments
# mean the same as for any program started here (the VM starts it in this folder). In the
# VM it gets no standard input and an X display of its own, and the first run makes the
# build's wine prefix (minutes under software emulation).
#   scripts/run-windows.sh PROGRAM.exe [ARG...]
#   e.g. scripts/run-windows.sh velt-usb-flash.exe --simulate --yes flash build-windows/bin/demo-image/Velt-USB.bin
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || { sed -n '2,9p' "$0" >&2; exit 2; }
program=$1
shift
case "$program" in */*) ;; *) program=$repo/build-windows/bin/$program ;; esac
[ -f "$program" ] || { echo "run-windows: no $program (make windows builds the programs)" >&2; exit 2; }

. "$repo/tests/windows/wine-host.sh"
if wine_host_can_run; then
    exec "$repo/tests/windows/wine-run" "$program" "$@"
fi
echo "run-windows: in the test VM: $wine_host_why" >&2
exec "$repo/tests/vm/run-wine" --windows-bin "$(dirname "$program")" --program "$(pwd)" "$program" "$@"

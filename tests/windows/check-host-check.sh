#!/bin/sh
# The choice between this host and the test VM for the Windows tests: a loader the kernel
# refuses, one that fails otherwise and one that runs, each faked; and the variable that
# forces either way whatever the loader does.
#   check-host-check.sh WORK_DIR
set -u
work=$1
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" || exit 1
. "$here/wine-host.sh"
failures=0

# expect STATUS WORDS LOADER [VELT_WINDOWS_TESTS]: the check answers STATUS, saying WORDS.
expect() {
    VELT_WINE_LOADER=$3 VELT_WINDOWS_TESTS=${4:-}
    export VELT_WINE_LOADER VELT_WINDOWS_TESTS
    wine_host_can_run
    status=$?
    case "$status:$wine_host_why" in
    "$1:"*"$2"*) echo "ok: $wine_host_why" ;;
    *) echo "FAIL: expected $1 and '$2', got $status: $wine_host_why"; failures=$((failures + 1)) ;;
    esac
}

# A file the kernel cannot execute (no ELF, no #! line): as a 32-bit program is on a
# kernel without 32-bit emulation.
printf '\177ELF\001\001\001\000garbage' >"$work/refused"
chmod 755 "$work/refused"
printf '#!/bin/sh\necho "wine-8.0 (Debian 8.0~repack-4)"\n' >"$work/runs"
printf '#!/bin/sh\necho "wine: could not load ntdll.so" >&2\nexit 1\n' >"$work/broken"
chmod 755 "$work/runs" "$work/broken"

expect 1 '"Exec format error"' "$work/refused"
expect 0 'runs here (wine-8.0' "$work/runs"
expect 1 'failed with status 1: wine: could not load ntdll.so' "$work/broken"
expect 0 'is not installed' "$work/missing"
expect 1 'VELT_WINDOWS_TESTS=vm' "$work/runs" vm
expect 0 'VELT_WINDOWS_TESTS=host' "$work/refused" host

[ $failures -eq 0 ] && echo "host check: 6 passed, 0 failed"
[ $failures -eq 0 ]

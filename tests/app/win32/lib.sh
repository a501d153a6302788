# Shared by the window tests under wine: each script sources it with
#   WINE_RUN  the wrapper that runs a Windows program under wine (empty: run it directly)
#   PREFIX    the wine prefix these tests keep to themselves
# and gets an X server of its own, a scratch folder $work, and these helpers.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

skip() {
    echo "skipped: $*"
    exit 0
}

# A path as the Windows program sees it: drive Z: is the root of the file system.
windows_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}

# Starts the Windows program with its arguments in the background; its stdout and stderr
# go to $work/out and $work/err (carriage returns removed) once finish has waited for it
# and set $status.
start() {
    "$@" >"$work/out.raw" 2>"$work/err.raw" &
    pid=$!
}

finish() {
    status=0
    wait "$pid" || status=$?
    tr -d '\r' <"$work/out.raw" >"$work/out"
    tr -d '\r' <"$work/err.raw" >"$work/err"
    if grep -q '^skipped: ' "$work/out"; then
        skip "$(sed -n 's/^skipped: //p' "$work/out" | head -n 1)"
    fi
}

run() {
    start "$@"
    finish
}

# window_appears NAME: status 0 once a window whose name matches NAME is there; 1 when
# the program started last has ended without one, or after 120 s (wine starts slowly
# under emulation).
window_appears() {
    for _ in $(seq 240); do
        xdotool search --name "$1" >/dev/null 2>&1 && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    xdotool search --name "$1" >/dev/null 2>&1
}

# Fails unless file $1 has the exact line $2.
expect_line() {
    grep -qxF -- "$2" "$1" || {
        echo "--- $1:" >&2
        cat "$1" >&2
        fail "no line '$2'"
    }
}

command -v wine >/dev/null 2>&1 || skip "wine is not installed"
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed"
# Where wine cannot start, say so now rather than wait for a window that never comes.
. "$(dirname "$0")/../../windows/wine-host.sh"
wine_host_can_run || fail "wine cannot start here: $wine_host_why (scripts/windows.sh test runs the Windows tests in the test VM then)"

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    # Under set -e a failing step would end the cleanup there (wineserver -k fails when
    # the server has already gone), and leave the X server behind.
    set +e
    # This prefix's programs (wine's desktop process among them) go with the X server.
    WINEPREFIX=$PREFIX wineserver -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# Xvfb picks a free display number and writes it to the descriptor it is given.
# Its output goes nowhere: a server left running must not hold ctest's pipe open.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 300); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || skip "Xvfb did not start"
# A test killed outright at its time limit runs no trap: a watcher then ends the X server
# and the prefix's programs.
script_pid=$$
(
    set +e
    trap '' TERM INT HUP
    while kill -0 "$script_pid" 2>/dev/null; do sleep 1; done
    WINEPREFIX=$PREFIX wineserver -k 2>/dev/null
    kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
) </dev/null >/dev/null 2>&1 &
export DISPLAY=":$(cat "$work/display")"
export VELT_WINE_PREFIX=$PREFIX LC_ALL=C.UTF-8

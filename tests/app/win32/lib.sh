# Shared by the window tests under wine: each script sources it with
#   WINE_RUN  the wrapper that runs a Windows program under wine (empty: run it directly)
#   TEMPLATE  the build's template wine prefix
# and gets a scratch folder $work, an X server and a wine prefix of its own ($PREFIX, made
# from the template, with one wine server kept for the whole script), and these helpers.
# When the script ends, what it started has ended: its programs, their wine server and
# the X server, so that the next script starts on a clean slate however soon it follows.

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
PREFIX=$work/prefix
xvfb_pid=""
watcher_pid=""

# Ends what this script started, and only that: the wine server of its own prefix (and
# with it every program the script ran under wine, wine's desktop and services), then its
# X server; returns once they have gone. wineserver -k only signals the server, -w waits.
end_started() {
    if [ -d "$PREFIX" ]; then
        WINEPREFIX=$PREFIX wineserver -k 2>/dev/null
        WINEPREFIX=$PREFIX wineserver -w 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        for _ in $(seq 50); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
    fi
    # In the test VM the prefix is an overlay on the template.
    if mountpoint -q "$PREFIX" 2>/dev/null; then
        umount "$PREFIX"
    fi
}

cleanup() {
    # Under set -e a failing step would end the cleanup there (wineserver -k fails when
    # the server has already gone), and leave the X server behind.
    set +e
    # The watcher must not outlive the script: its work is done here.
    [ -n "$watcher_pid" ] && kill -KILL "$watcher_pid" 2>/dev/null
    end_started
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
# A test killed outright at its time limit runs no trap: a watcher then ends what the
# script started.
script_pid=$$
(
    set +e
    trap '' TERM INT HUP
    while kill -0 "$script_pid" 2>/dev/null; do sleep 1; done
    end_started
    rm -rf "$work"
) </dev/null >/dev/null 2>&1 &
watcher_pid=$!
export DISPLAY=":$(cat "$work/display")"
export VELT_WINE_PREFIX=$PREFIX VELT_WINE_TEMPLATE=$TEMPLATE LC_ALL=C.UTF-8
# One wine server for the whole script, kept until its end: otherwise each command starts
# wine's own services afresh, tens of seconds each under emulation.
"$(dirname "$0")/../../windows/wine-prefix" "$PREFIX" "$TEMPLATE" || fail "no wine prefix"
WINEPREFIX=$PREFIX wineserver -p || fail "wineserver -p failed"

#!/bin/sh
# Two window scripts side by side: when one ends, the other's window goes on. A clean-up
# that reached beyond what its own script started (the other's wine server, say) would end
# the other's window, as back-to-back scripts once ended each other's.
#   isolation.sh WINE_RUN TEMPLATE DEMO.exe
# It runs itself twice more, as the neighbour and as the script that ends first.
set -eu
WINE_RUN=$1 TEMPLATE=$2 demo=$3 role=${4:-} signals=${5:-}

if [ -z "$role" ]; then
    signals=$(mktemp -d)
    neighbour=""
    trap '[ -z "$neighbour" ] || { kill "$neighbour"; wait "$neighbour"; }; rm -rf "$signals"' EXIT
    trap 'exit 143' TERM INT HUP
    "$0" "$WINE_RUN" "$TEMPLATE" "$demo" neighbour "$signals" >"$signals/neighbour.out" 2>&1 &
    neighbour=$!
    for _ in $(seq 480); do
        [ -e "$signals/ready" ] && break
        kill -0 "$neighbour" 2>/dev/null || break
        sleep 0.5
    done
    if [ ! -e "$signals/ready" ]; then
        status=0
        wait "$neighbour" || status=$?
        neighbour=""
        if [ $status -eq 0 ] && grep -q '^skipped: ' "$signals/neighbour.out"; then
            grep '^skipped: ' "$signals/neighbour.out"
            exit 0
        fi
        cat "$signals/neighbour.out" >&2
        echo "FAIL: the neighbour's window did not come up" >&2
        exit 1
    fi
    "$0" "$WINE_RUN" "$TEMPLATE" "$demo" first "$signals" ||
        { echo "FAIL: the first script failed" >&2; exit 1; }
    # A watcher left behind once struck up to a second after its script had gone.
    sleep 2
    touch "$signals/check"
    status=0
    wait "$neighbour" || status=$?
    neighbour=""
    cat "$signals/neighbour.out"
    [ $status -eq 0 ] || { echo "FAIL: the neighbour ended with status $status" >&2; exit 1; }
    echo "one script ended; its neighbour's window went on"
    exit 0
fi

. "$(dirname "$0")/lib.sh"
command -v xdotool >/dev/null 2>&1 || skip "xdotool is not installed"
start $WINE_RUN "$demo"
window_appears '^Velt-USB Firmware Update$' || fail "$role: no window appeared"
# The first script ends here, and with it all it started.
[ "$role" = neighbour ] || exit 0

touch "$signals/ready"
for _ in $(seq 1200); do
    [ -e "$signals/check" ] && break
    sleep 0.5
done
[ -e "$signals/check" ] || fail "no word from the first script"
kill -0 "$pid" 2>/dev/null || fail "the neighbour's demo ended when the other script did"
xdotool search --name '^Velt-USB Firmware Update$' >/dev/null ||
    fail "the neighbour's window went when the other script ended"
echo "neighbour: the window is still there"

# Helpers for the guest cases; sourced by each case script.
CASE_NAME=$(basename "$0" .sh)
IMAGE=/data/image-8000.bin
# --yes: nobody is there to answer its question.
FLASH=velt-usb-flash
FLASH_OPTIONS=--yes
GADGETS=
CLEANUP=:

log() { echo "$*"; }

# at_end COMMAND: runs COMMAND when the case ends, whatever the verdict, after the
# gadgets are stopped (later additions first).
at_end() { CLEANUP="$1; $CLEANUP"; }

stop_all_gadgets() {
    for name in $GADGETS; do
        stop_gadget "$name" >/dev/null 2>&1
    done
    eval "$CLEANUP" >/dev/null 2>&1
    CLEANUP=:
}

pass() {
    stop_all_gadgets
    echo "CASE $CASE_NAME PASS $*"
    exit 0
}

fail() {
    echo "--- failure: $*"
    for name in $GADGETS; do
        echo "--- gadget $name stderr"
        cat "/tmp/gadget-$name.err" 2>/dev/null
    done
    stop_all_gadgets
    echo "--- dmesg"
    dmesg | tail -n 25
    echo "CASE $CASE_NAME FAIL $*"
    exit 1
}

skip() {
    stop_all_gadgets
    echo "CASE $CASE_NAME SKIP $*"
    exit 0
}

# start_gadget NAME ARGS...: starts velt-usb-gadget and waits until it is on the bus.
# The gadget writes the payload of every record it takes to /tmp/gadget-NAME.records.
start_gadget() {
    name=$1
    shift
    rm -f "/tmp/ready-$name" "/tmp/stop-$name" "/tmp/gadget-$name.out" "/tmp/gadget-$name.err" \
        "/tmp/gadget-$name.records"
    extra=
    [ "${VELT_VM_VERBOSE:-0}" != 0 ] && extra=--verbose
    velt-usb-gadget --name "$name" --stop-file "/tmp/stop-$name" \
        --ready-file "/tmp/ready-$name" --records-file "/tmp/gadget-$name.records" $extra "$@" \
        >"/tmp/gadget-$name.out" 2>"/tmp/gadget-$name.err" &
    eval "GADGET_PID_$name=$!"
    GADGETS="$GADGETS $name"
    i=0
    while [ ! -e "/tmp/ready-$name" ]; do
        if ! kill -0 "$(eval echo \$GADGET_PID_$name)" 2>/dev/null; then
            fail "gadget $name did not start: $(cat /tmp/gadget-$name.err)"
        fi
        i=$((i + 1))
        [ $i -gt 100 ] && fail "gadget $name not ready after 10 s"
        sleep 0.1
    done
}

# stop_gadget NAME: stops it; its summary lines stay in /tmp/gadget-NAME.out, the
# "gadget:" line completed with the digest of the records it took (add_records_digest).
stop_gadget() {
    name=$1
    pid=$(eval echo "\$GADGET_PID_$name")
    [ -n "$pid" ] || return 0
    touch "/tmp/stop-$name"
    i=0
    while [ -d "/proc/$pid" ] && ! grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then
            kill -9 "$pid" 2>/dev/null
            break
        fi
        sleep 0.1
    done
    wait "$pid" 2>/dev/null
    add_records_digest "$name"
    eval "GADGET_PID_$name="
    GADGETS=$(echo "$GADGETS" | sed "s/ $name\$//; s/ $name / /")
    cat "/tmp/gadget-$name.out"
}

# add_records_digest NAME: the gadget counts the records it takes and writes their
# payloads down; their SHA-256 is computed here and appended to its "gadget:" line as
# " sha256=<hex>". A file that does not hold exactly the bytes the gadget counted gives
# "sha256=?" and what it holds instead, which no case expects.
add_records_digest() {
    out=/tmp/gadget-$1.out
    records=/tmp/gadget-$1.records
    counted=$(sed -n 's/^gadget: .* bytes=\([0-9]*\)$/\1/p' "$out")
    [ -n "$counted" ] || return 0
    held=
    [ -f "$records" ] && held=$(wc -c <"$records" | tr -d ' ')
    if [ "$held" = "$counted" ]; then
        digest=$(sha256sum "$records" | cut -d' ' -f1)
    else
        digest="? (the records file holds ${held:-no} bytes)"
    fi
    sed -i "s/^gadget: .* bytes=[0-9]*\$/& sha256=$digest/" "$out"
}

# hidraw_of VID PID: the hidrawN whose HID device has these IDs (4 hex digits each).
hidraw_of() {
    want="HID_ID=0003:0000$(echo "$1" | tr a-f A-F):0000$(echo "$2" | tr a-f A-F)"
    for dir in /sys/class/hidraw/hidraw*; do
        [ -e "$dir/device/uevent" ] || continue
        if grep -qx "$want" "$dir/device/uevent"; then
            basename "$dir"
            return 0
        fi
    done
    return 1
}

# wait_hidraw VID PID: waits up to 10 s for the node, prints hidrawN.
wait_hidraw() {
    i=0
    while ! hidraw_of "$1" "$2" >/dev/null; do
        i=$((i + 1))
        [ $i -gt 100 ] && return 1
        sleep 0.1
    done
    # The node in /dev comes a moment after the sysfs entry.
    node=$(hidraw_of "$1" "$2")
    i=0
    while [ ! -c "/dev/$node" ] && [ $i -lt 50 ]; do
        i=$((i + 1))
        sleep 0.1
    done
}

# run_tool [--as USER] ARGS...: runs the flasher with a time limit; sets TOOL_STATUS and
# leaves the output in /tmp/tool.out.
run_tool() {
    user=
    if [ "$1" = --as ]; then
        user=$2
        shift 2
    fi
    if [ -n "$user" ]; then
        # busybox su: root needs no password; the arguments here hold no spaces.
        log "\$ su $user: $FLASH $FLASH_OPTIONS $*"
        timeout "${TOOL_TIMEOUT:-40}" su -s /bin/sh -c "exec /usr/bin/$FLASH $FLASH_OPTIONS $*" \
            "$user" </dev/null >/tmp/tool.out 2>&1
    else
        log "\$ $FLASH $FLASH_OPTIONS $*"
        timeout "${TOOL_TIMEOUT:-40}" $FLASH $FLASH_OPTIONS "$@" </dev/null >/tmp/tool.out 2>&1
    fi
    TOOL_STATUS=$?
    sed 's/^/  tool| /' /tmp/tool.out
    log "exit status $TOOL_STATUS"
    if [ $TOOL_STATUS -eq 124 ] || [ $TOOL_STATUS -eq 143 ]; then
        fail "$FLASH did not finish within ${TOOL_TIMEOUT:-40} s"
    fi
}

expect_status() {
    [ "$TOOL_STATUS" -eq "$1" ] || fail "$FLASH exited with $TOOL_STATUS, expected $1"
}

# expect_output TEXT: the tool's output holds TEXT (fixed string).
expect_output() {
    grep -qF -- "$1" /tmp/tool.out || fail "the output lacks \"$1\""
}

# expect_gadget NAME PREFIX TEXT: the gadget's line starting with PREFIX is TEXT.
expect_gadget() {
    line=$(grep "^$2" "/tmp/gadget-$1.out")
    [ "$line" = "$2 $3" ] || fail "gadget $1 said \"$line\", expected \"$2 $3\""
}

image_sha256() { sha256sum "$IMAGE" | cut -d' ' -f1; }

# run_window [--as USER] [--click]: runs the window's logic on hidraw with a scripted
# window (velt-vm-window) and the test image as Velt-USB.bin beside it; sets
# WINDOW_STATUS and leaves what the window was asked to do in /tmp/window.out.
run_window() {
    user=
    if [ "$1" = --as ]; then
        user=$2
        shift 2
    fi
    mkdir -p /tmp/window
    cp "$IMAGE" /tmp/window/Velt-USB.bin
    chmod -R a+rX /tmp/window
    if [ -n "$user" ]; then
        log "\$ su $user: velt-vm-window /tmp/window $*"
        timeout 40 su -s /bin/sh -c "exec /usr/bin/velt-vm-window /tmp/window $*" "$user" \
            </dev/null >/tmp/window.out 2>&1
    else
        log "\$ velt-vm-window /tmp/window $*"
        timeout 40 velt-vm-window /tmp/window "$@" </dev/null >/tmp/window.out 2>&1
    fi
    WINDOW_STATUS=$?
    sed 's/^/  window| /' /tmp/window.out
    log "exit status $WINDOW_STATUS"
    [ $WINDOW_STATUS -ne 124 ] || fail "the window logic did not finish within 40 s"
}

# expect_window LINE: /tmp/window.out holds exactly this line.
expect_window() {
    grep -qxF "$1" /tmp/window.out || fail "the window was not asked: $1"
}

# window_order LINE...: these lines come in this order in /tmp/window.out.
window_order() {
    at=0
    for line in "$@"; do
        n=$(awk -v from="$at" -v want="$line" 'NR > from && $0 == want { print NR; exit }' \
            /tmp/window.out)
        [ -n "$n" ] || fail "the window was not asked, in order: $line"
        at=$n
    done
}

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

# stop_gadget NAME...: stops each; its summary lines stay in /tmp/gadget-NAME.out, the
# "gadget:" line completed with the digest of the records it took (add_records_digest).
stop_gadget() {
    for each in "$@"; do
        stop_one_gadget "$each"
    done
}

stop_one_gadget() {
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

# expect_flashed NAME...: each stopped gadget took one mode switch and exactly the image,
# nothing malformed, meant for another device or late.
expect_flashed() {
    for name in "$@"; do
        expect_gadget "$name" gadget: "mode-switches=1 records=200 bytes=8000 sha256=$(image_sha256)"
        expect_gadget "$name" gadget-detail: "bad=0 other=0 late=0"
    done
}

# expect_station_record RECORD SHOT STATION SERIAL...: the production window's record holds
# one entry per serial, each a success with the image, written by STATION; its screenshot
# SHOT is a PNG.
expect_station_record() {
    record=$1 shot=$2 station=$3
    shift 3
    [ -f "$record" ] || fail "no record at $record"
    [ "$(grep -c . "$record")" -eq $# ] || fail "the record has not $# entries"
    for serial in "$@"; do
        n=$(grep -E "\"serial\": *\"$serial\"" "$record" | grep -E '"result": *"success"' |
            grep -E "\"sha256\": *\"$(image_sha256)\"" | grep -cE "\"station\": *\"$station\"")
        [ "$n" -eq 1 ] ||
            fail "the record has $n success entries for $serial with the image and the station, expected 1"
    done
    [ "$(head -c 4 "$shot" 2>/dev/null | tail -c 3)" = PNG ] || fail "no PNG screenshot at $shot"
}

# expect_untouched NAME: the stopped gadget took no mode switch and no record.
expect_untouched() {
    expect_gadget "$1" gadget: "mode-switches=0 records=0 bytes=0 sha256=$(sha256sum </dev/null | cut -d' ' -f1)"
}

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

# --- Several devices at once ---

# usb_location SERIAL: the sysfs name of the USB device with this serial number, its port
# path (1-1): the kernel's own answer, to hold the flasher's locations against. Waits up to
# 10 s, since a gadget is ready before the host has enumerated it (or while it is away at
# its mode switch).
usb_location() {
    i=0
    while [ $i -le 100 ]; do
        for dir in /sys/bus/usb/devices/*; do
            [ -f "$dir/serial" ] || continue
            if [ "$(cat "$dir/serial" 2>/dev/null)" = "$1" ]; then
                basename "$dir"
                return 0
            fi
        done
        i=$((i + 1))
        sleep 0.1
    done
    return 1
}

# hidraw_count VID PID: how many hidraw nodes have these IDs.
hidraw_count() {
    want="HID_ID=0003:0000$(echo "$1" | tr a-f A-F):0000$(echo "$2" | tr a-f A-F)"
    n=0
    for dir in /sys/class/hidraw/hidraw*; do
        [ -e "$dir/device/uevent" ] || continue
        grep -qx "$want" "$dir/device/uevent" && [ -c "/dev/$(basename "$dir")" ] && n=$((n + 1))
    done
    echo $n
}

# wait_hidraw_count VID PID N: waits up to 10 s until N nodes with these IDs are in /dev.
wait_hidraw_count() {
    i=0
    while [ "$(hidraw_count "$1" "$2")" -lt "$3" ]; do
        i=$((i + 1))
        [ $i -gt 100 ] && return 1
        sleep 0.1
    done
}

# records_held NAME: the bytes gadget NAME has taken so far, by its records file.
records_held() {
    if [ -f "/tmp/gadget-$1.records" ]; then
        wc -c <"/tmp/gadget-$1.records" | tr -d ' '
    else
        echo 0
    fi
}

# follow_two_transfers A B: while the background flasher runs, samples what gadgets A and
# B hold every 0.1 s. OVERLAP=yes once both were part-way at one moment, which one
# transfer after the other never is; TIMELINE says when each took its first and its last
# record and when the flasher ended, from this call on.
follow_two_transfers() {
    since=$(uptime_s)
    OVERLAP=no
    first_a='' first_b='' done_a='' done_b=''
    running=yes
    while [ $running = yes ]; do
        tool_running || running=no  # one sample more after its end
        now=$(uptime_s)
        held_a=$(records_held "$1")
        held_b=$(records_held "$2")
        [ -z "$first_a" ] && [ "$held_a" -gt 0 ] && first_a=$now
        [ -z "$first_b" ] && [ "$held_b" -gt 0 ] && first_b=$now
        [ -z "$done_a" ] && [ "$held_a" -ge 8000 ] && done_a=$now
        [ -z "$done_b" ] && [ "$held_b" -ge 8000 ] && done_b=$now
        if [ "$held_a" -gt 0 ] && [ "$held_a" -lt 8000 ] && [ "$held_b" -gt 0 ] &&
            [ "$held_b" -lt 8000 ]; then
            OVERLAP=yes
        fi
        [ $running = no ] || sleep 0.1
    done
    rel() { [ -n "$1" ] && awk "BEGIN { printf \"%.1f s\", $1 - $since }" || echo never; }
    TIMELINE="$1 records $(rel "$first_a") to $(rel "$done_a"), $2 $(rel "$first_b") to $(rel "$done_b"), exit $(rel "$(uptime_s)"); overlap: $OVERLAP"
}

uptime_s() { cut -d' ' -f1 /proc/uptime; }

# holds_image NAME...: every named gadget has taken the whole image by now.
holds_image() {
    for name in "$@"; do
        [ "$(records_held "$name")" -ge 8000 ] || return 1
    done
}

# poll_tool TRIES ENDED COMMAND...: runs COMMAND every 0.1 s until it succeeds; fails the
# case with ENDED when the background flasher ends first; status 1 after TRIES tries.
poll_tool() {
    tries=$1 ended=$2
    shift 2
    i=0
    until "$@"; do
        tool_running || { finish_tool; fail "$ended"; }
        i=$((i + 1))
        [ $i -le "$tries" ] || return 1
        sleep 0.1
    done
}

# start_tool ARGS...: starts the flasher in the background with a time limit; its output
# goes to /tmp/tool.out, its process is TOOL_PID (busybox timeout execs it in place).
start_tool() {
    log "\$ $FLASH $FLASH_OPTIONS $* &"
    timeout "${TOOL_TIMEOUT:-40}" $FLASH $FLASH_OPTIONS "$@" </dev/null >/tmp/tool.out 2>&1 &
    TOOL_PID=$!
    at_end "kill -9 $TOOL_PID"
}

# finish_tool: waits for the background flasher; sets TOOL_STATUS and shows its output.
finish_tool() {
    wait "$TOOL_PID"
    TOOL_STATUS=$?
    sed 's/^/  tool| /' /tmp/tool.out
    log "exit status $TOOL_STATUS"
    if [ $TOOL_STATUS -eq 124 ] || [ $TOOL_STATUS -eq 143 ]; then
        fail "$FLASH did not finish within ${TOOL_TIMEOUT:-40} s"
    fi
}

# tool_running: the background flasher has not ended yet.
tool_running() {
    [ -d "/proc/$TOOL_PID" ] && ! grep -q '^State:.*Z' "/proc/$TOOL_PID/status" 2>/dev/null
}

# listens_for_uevents PID: the process holds a kernel uevent socket (NETLINK_KOBJECT_UEVENT,
# protocol 15 in /proc/net/netlink), so it hears devices arrive rather than polling.
listens_for_uevents() {
    inodes=$(ls -l "/proc/$1/fd" 2>/dev/null | sed -n 's/.*socket:\[\([0-9]*\)\].*/\1/p')
    [ -n "$inodes" ] || return 1
    for inode in $inodes; do
        awk -v inode="$inode" 'NR > 1 && $2 == 15 && $NF == inode { found = 1 }
            END { exit !found }' /proc/net/netlink && return 0
    done
    return 1
}

# expect_row LOCATION SERIAL RESULT RECORDS: a line of the tool's output whose first field is
# LOCATION and which holds SERIAL, RESULT and RECORDS as fields of their own.
expect_row() {
    awk -v loc="$1" -v serial="$2" -v result="$3" -v records="$4" '
        $1 == loc { s = r = n = 0
            for (i = 2; i <= NF; i++) { s += $i == serial; r += $i == result; n += $i == records }
            if (s && r && (records == "" || n)) found = 1 }
        END { exit !found }' /tmp/tool.out ||
        fail "no line for $1 with $2, $3 ${4:+and $4}"
}

# expect_fields WORD...: a line of the tool's output holds every WORD as a field of its own
# (commas, colons and brackets around a field aside).
expect_fields() {
    awk -v words="$*" 'BEGIN { n = split(words, want, " ") }
        { hits = 0
          for (w = 1; w <= n; w++)
              for (i = 1; i <= NF; i++) {
                  field = $i; gsub(/^[[(]+|[]),:;)]+$/, "", field)
                  if (field == want[w]) { hits++; break } }
          if (hits == n) found = 1 }
        END { exit !found }' /tmp/tool.out || fail "no line of the output holds: $*"
}

# usb_events [SINCE]: the kernel's own record of USB arrivals, hidraw nodes and departures,
# with its timestamps (seconds of uptime), from SINCE on (the start of the case).
CASE_START=$(cut -d' ' -f1 /proc/uptime)
usb_events() {
    dmesg | grep -E 'usb [0-9]+-[0-9.]+: (new .*USB device|USB disconnect)|hidraw[0-9]+: USB HID' |
        awk -v since="${1:-$CASE_START}" '{ t = $0; sub(/^\[ */, "", t); sub(/\].*/, "", t) }
            t + 0 >= since + 0' | sed 's/^/  kernel| /'
}

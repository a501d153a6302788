#!/usr/bin/env bash
# Measures the speed and memory figures of the programs (make bench) and prints them in
# one table, each beside its target and the floor it is measured against. Takes about seven
# minutes, since eight flashes run in real time, and 100 MiB of disk for a flash record.
# Progress goes to standard error.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_BUILD_DIR:-$root/build}
bench=$build/bin/velt-bench
flash=$build/bin/velt-usb-flash
demo=$build/bin/velt-usb-firmware-demo
production=$build/bin/velt-usb-production
title="Velt-USB Firmware Update"
window_runs=5

for program in "$bench" "$flash" "$demo" "$production"; do
    if [ ! -x "$program" ]; then
        echo "bench: $program is missing; build first (make build)" >&2
        exit 1
    fi
done
for command in Xvfb xev xwininfo stdbuf; do
    if ! command -v "$command" >/dev/null; then
        echo "bench: $command is missing (apt-get install xvfb x11-utils)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

note() { echo "bench: $*" >&2; }
fail() {
    echo "bench: $*" >&2
    exit 1
}
# The value of KEY in a line of key=value pairs.
get() {
    awk -v key="$1" '{ for (i = 1; i <= NF; i++) if (index($i, key "=") == 1) {
        print substr($i, length(key) + 2); exit } }' <<<"$2"
}
calc() { awk "BEGIN { printf $1 }"; }

for size in 40 8000 80000 1310679; do
    head -c "$size" /dev/urandom >"$work/image-$size.bin"
done
simulate=(--simulate --yes --product-id b038 flash)

# 1. The flash as a user runs it, in real time: 2,000 records, each followed by the
#    mandated 20 ms. The 40-byte flash is the same program's floor for its memory.
note "flashing 2,000 records to the simulated device in real time (about 40 s)"
flash_floor=$("$bench" transfer "$flash" "${simulate[@]}" "$work/image-40.bin")
flash_run=$("$bench" transfer "$flash" "${simulate[@]}" "$work/image-80000.bin")
for line in "$flash_floor" "$flash_run"; do
    if [ "$(get exit "$line")" != 0 ] || [ "$(get result "$line")" != success ]; then
        fail "the flash did not succeed: $line"
    fi
done
[ "$(get records "$flash_run")" = 2000 ] || fail "the device did not get 2,000 records: $flash_run"
if [ "$(get maxrss_kib "$flash_run")" -le "$(get parent_peak_kib "$flash_run")" ]; then
    note "the flash's peak RSS is no larger than the benchmark's own; it may be the benchmark's"
fi

# 1b. Several devices at once: --all on 1, 2, 4 and 8 simulated devices, each taking its
#     own 2,000 records at its own 20 ms pace, against one device alone; the whole flash
#     from start to exit, mode switch included. Each device's own account (records, SHA-256)
#     is the verdict, not the program's exit status alone.
image_sha256=$(sha256sum "$work/image-80000.bin" | cut -d' ' -f1)
fleet_sizes=(1 2 4 8)
note "one device alone, then 1, 2, 4 and 8 together with --all (about 3.5 min)"
alone=$("$bench" transfer "$flash" --simulate flash -y "$work/image-80000.bin")
if [ "$(get exit "$alone")" != 0 ] || [ "$(get result "$alone")" != success ] ||
    [ "$(get records "$alone")" != 2000 ] || [ "$(get sha256 "$alone")" != "$image_sha256" ]; then
    fail "the flash of one device did not succeed: $alone"
fi
declare -A fleet
for n in "${fleet_sizes[@]}"; do
    fleet[$n]=$("$bench" transfer "$flash" --simulate --devices "$n" flash --all -y \
        "$work/image-80000.bin")
    [ "$(get exit "${fleet[$n]}")" = 0 ] || fail "--all on $n devices failed: ${fleet[$n]}"
    devices=$(grep '^device=' <<<"${fleet[$n]}" || true)
    [ "$(grep -c . <<<"$devices")" = "$n" ] || fail "not $n simulated devices: ${fleet[$n]}"
    [ "$(cut -d' ' -f1 <<<"$devices" | sort -u | grep -c .)" = "$n" ] ||
        fail "$n devices without $n locations: ${fleet[$n]}"
    while read -r line; do
        if [ "$(get records "$line")" != 2000 ] || [ "$(get sha256 "$line")" != "$image_sha256" ] ||
            [ "$(get mode-switches "$line")" != 1 ]; then
            fail "a device did not get the image once, whole: $line"
        fi
    done <<<"$devices"
done

# 2. The update path's memory on a virtual clock, one process per image, and the
#    simulated device alone taking as many records: what it keeps is not the program's.
note "peak memory of the update path (virtual clock)"
declare -A path device
for size in 40 8000 1310679; do
    path[$size]=$("$bench" update-path "$work/image-$size.bin")
    [ "$(get result "${path[$size]}")" = success ] || fail "update failed: ${path[$size]}"
    records=$((size / 40))
    device[$size]=$("$bench" device-only "$records")
    [ "$(get records "${device[$size]}")" = "$records" ] || fail "device: ${device[$size]}"
done

# 3. Discovery over other interfaces with the Velt-USB last.
note "discovery passes"
discovery=$("$bench" discovery 0 16 64)

# 3b. A flash record of 100 MiB, one entry per device, each a success with the image:
#     `history` reads it twice (widths, then rows), and a watch with it as its --record
#     keeps each device done. Both read a piece at a time, whatever the record's size.
note "history of a 100 MiB record, and a watch starting with it"
record_made=$("$bench" make-record "$work/record.jsonl" 100 "$image_sha256")
history_run=$("$bench" run "$flash" history "$work/record.jsonl")
[ "$(get exit "$history_run")" = 0 ] || fail "history failed: $history_run"
watch_run=$("$bench" run --until "Watching for Velt-USBs" "$flash" --simulate --no-device \
    --yes flash --watch --record "$work/record.jsonl" "$work/image-80000.bin")
[ "$(get until_ms "$watch_run")" != -1.000 ] || fail "the watch never started: $watch_run"

# 4. The window: from the start of the demo until the X server maps its window, seen as
#    it happens by an event listener on the root window (no window manager: mapped is
#    shown). A private Xvfb, so that its own start is not counted.
note "window start-up under Xvfb ($window_runs runs)"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
unset WAYLAND_DISPLAY
mkfifo "$work/events"
window_ms=()
for run in $(seq "$window_runs"); do
    stdbuf -oL xev -root -event substructure >"$work/events" &
    listener=$!
    exec 4<"$work/events"
    sleep 0.3  # until it listens
    start=$EPOCHREALTIME
    QT_QPA_PLATFORM=xcb "$demo" >/dev/null 2>&1 &
    shown=$!
    mapped=""
    while IFS= read -r -t 10 line <&4; do
        [[ $line == MapNotify* ]] || continue
        at=$EPOCHREALTIME
        IFS= read -r -t 5 line <&4
        id=$(sed -n 's/.* window \(0x[0-9a-f]*\),.*/\1/p' <<<"$line")
        name=$(xwininfo -id "$id" 2>/dev/null | sed -n 's/^xwininfo: Window id: [^ ]* "\(.*\)"$/\1/p')
        if [ "$name" = "$title" ]; then
            mapped=$at
            break
        fi
    done
    kill "$shown" "$listener" 2>/dev/null || true
    wait "$shown" "$listener" 2>/dev/null || true
    exec 4<&-
    [ -n "$mapped" ] || fail "run $run: the window was not shown within 10 s"
    window_ms+=("$(calc "\"%.1f\", ($mapped - $start) * 1000")")
done
note "window runs (ms): ${window_ms[*]}"
window_median=$(printf '%s\n' "${window_ms[@]}" | sort -n | sed -n "$(((window_runs + 1) / 2))p")

# 5. The production window as an operator runs it, on the same X server: armed at once
#    with the 2,000-record image, its simulated devices present at the start, each switched,
#    back in its bootloader, written at its own 20 ms pace and recorded; the program saves
#    its window once every tile has its result and exits. Start-up and that last screenshot
#    are the same for one device and for eight, well under 1 % of the time.
production_sizes=(1 8)
note "the production window with 1 device, then 8 (about 1.5 min)"
declare -A station
for n in "${production_sizes[@]}"; do
    record=$work/production-$n.jsonl
    station[$n]=$(QT_QPA_PLATFORM=xcb "$bench" transfer "$production" --simulate --devices "$n" \
        --record "$record" --station bench --arm --screenshot "$work/production-$n.png" \
        "$work/image-80000.bin")
    [ "$(get exit "${station[$n]}")" = 0 ] || fail "the station on $n devices failed: ${station[$n]}"
    devices=$(grep '^device=' <<<"${station[$n]}" || true)
    [ "$(grep -c . <<<"$devices")" = "$n" ] || fail "not $n simulated devices: ${station[$n]}"
    while read -r line; do
        if [ "$(get records "$line")" != 2000 ] || [ "$(get sha256 "$line")" != "$image_sha256" ] ||
            [ "$(get mode-switches "$line")" != 1 ]; then
            fail "a device did not get the image once, whole: $line"
        fi
    done <<<"$devices"
    [ "$(grep -c '"result":"success"' "$record")" = "$n" ] ||
        fail "the record has not $n successes: $(cat "$record")"
done

# The table.
status() { [ "$(calc "\"%d\", ($1) ? 1 : 0")" = 1 ] && echo ok || echo MISS; }
row() { printf '%-46s %-10s %-11s %-22s %s\n' "$@" | sed 's/ *$//'; }
mib() { calc "\"%.2f\", $1 / 1024"; }
thousands() { sed ':a;s/\B[0-9]\{3\}\b/,&/;ta' <<<"$1"; }

transfer_ms=$(get transfer_ms "$flash_run")
wall_ms=$(get wall_ms "$flash_run")
cpu_ms=$(get cpu_ms "$flash_run")
ratio=$(calc "\"%.4f\", $transfer_ms / 40000")
share=$(calc "\"%.2f\", 100 * $cpu_ms / $wall_ms")
flash_rss=$(get maxrss_kib "$flash_run")
flash_floor_rss=$(get maxrss_kib "$flash_floor")
flash_limit=$(calc "\"%.2f\", ($flash_floor_rss + 1024 + 80000 / 1024) / 1024")

uptime
row figure measured target floor ""
row "transfer 2,000 records (ratio)" "$ratio" "<= 1.01" "40.000 s" \
    "$(status "$ratio <= 1.01")"
row "CPU share of wall time, that flash" "$share %" "<= 2 %" \
    "$(calc "\"%.3f s wall\", $wall_ms / 1000")" "$(status "$share <= 2")"
row "peak RSS, that flash (MiB)" "$(mib "$flash_rss")" "<= $flash_limit" \
    "$(mib "$flash_floor_rss") 40 B image" "$(status "$(mib "$flash_rss") <= $flash_limit")"

alone_ms=$(get wall_ms "$alone")
row "flash 1 device alone, 2,000 records (s)" "$(calc "\"%.3f\", $alone_ms / 1000")" "-" \
    "40.000 s paced" ""
for n in "${fleet_sizes[@]}"; do
    noun=devices
    [ "$n" = 1 ] && noun=device
    fleet_ratio=$(calc "\"%.4f\", $(get wall_ms "${fleet[$n]}") / $alone_ms")
    per_device=$(calc "\"%.2f\", 100 * $(get cpu_ms "${fleet[$n]}") / $(get wall_ms "${fleet[$n]}") / $n")
    row "flash $n $noun with --all (ratio to alone)" "$fleet_ratio" "<= 1.05" \
        "$(calc "\"%.3f s alone\", $alone_ms / 1000")" "$(status "$fleet_ratio <= 1.05")"
    row "  CPU per device, $n $noun (of wall time)" "$per_device %" "<= 2 %" \
        "$(calc "\"%.3f s wall\", $(get wall_ms "${fleet[$n]}") / 1000")" \
        "$(status "$per_device <= 2")"
done

base=$(get peak_rss_kib "${path[40]}")
device_base=$(get peak_rss_kib "${device[40]}")
row "peak RSS, update path, 40 B image (MiB)" "$(mib "$base")" "-" \
    "$(mib "$device_base") device alone" ""
for size in 8000 1310679; do
    label=$(thousands "$size")
    row "peak RSS, update path, $label B (MiB)" "$(mib "$(get peak_rss_kib "${path[$size]}")")" \
        "-" "$(mib "$base") baseline" ""
done
for size in 8000 1310679; do
    label=$(thousands "$size")
    kept=$(($(get peak_rss_kib "${device[$size]}") - device_base))
    above=$(($(get peak_rss_kib "${path[$size]}") - base - kept))
    limit=$(calc "\"%.2f\", 1 + $size / 1048576")
    row "  simulated device keeps, $label B (MiB)" "$(mib "$kept")" "-" "-" ""
    row "  program above baseline, $label B (MiB)" "$(mib "$above")" "<= $limit" \
        "$(mib "$base") baseline" "$(status "$(mib "$above") <= $limit")"
done
row "heap held by a loaded 8,000 B image (KiB)" "$(get image_heap_kib "${path[8000]}")" "-" \
    "7.8 image size" ""

while read -r line; do
    interfaces=$(get interfaces "$line")
    us=$(calc "\"%.2f\", $(get ms_per_pass "$line") * 1000")
    limit=$(calc "\"%.0f\", 20 * $interfaces")
    noun=interfaces
    [ "$interfaces" = 1 ] && noun=interface
    row "discovery pass, $interfaces $noun (us)" "$us" "<= $limit" "-" \
        "$(status "$us <= $limit")"
done <<<"$discovery"

entries=$(thousands "$(get entries "$record_made")")
row "history, 100 MiB record (s)" "$(calc "\"%.2f\", $(get wall_ms "$history_run") / 1000")" "-" \
    "$entries entries" ""
row "  peak RSS, that history (MiB)" "$(mib "$(get maxrss_kib "$history_run")")" "<= 64" "-" \
    "$(status "$(get maxrss_kib "$history_run") <= 65536")"
row "watch started on that record (s)" "$(calc "\"%.2f\", $(get until_ms "$watch_run") / 1000")" \
    "-" "$entries done" ""
row "  peak RSS, that watch (MiB)" "$(mib "$(get maxrss_kib "$watch_run")")" "<= 64" "-" \
    "$(status "$(get maxrss_kib "$watch_run") <= 65536")"

row "window shown after start (ms, median of $window_runs)" "$window_median" "<= 300" "-" \
    "$(status "$window_median <= 300")"

one_ms=$(get wall_ms "${station[1]}")
eight_ms=$(get wall_ms "${station[8]}")
station_ratio=$(calc "\"%.4f\", $eight_ms / $one_ms")
row "production window, 1 device (s)" "$(calc "\"%.3f\", $one_ms / 1000")" "-" \
    "40.000 s paced" ""
row "production window, 8 devices (s)" "$(calc "\"%.3f\", $eight_ms / 1000")" "-" \
    "40.000 s paced" ""
row "  8 devices to 1 (ratio)" "$station_ratio" "<= 1.05" \
    "$(calc "\"%.3f s one\", $one_ms / 1000")" "$(status "$station_ratio <= 1.05")"

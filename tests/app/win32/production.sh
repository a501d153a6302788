#!/bin/sh
# The production window under wine on a simulated bus, armed from its command line:
# 1. three Velt-USBs plugged in at the start and a fourth 3 s later are all flashed: four
#    PASS tiles, one record line for each device, exit status 0, and a picture of the
#    window with the four green tiles in it. A PNG copy of it is kept for people to look at;
# 2. a Velt-USB that refuses one of the image's records ends on a FAIL tile with its reason;
# 3. not armed, --close-after-ms saves the window then and asks it to close, and with
#    nothing being written it does: exit status 0, the tiles free;
# 4. the close box (Alt+F4) asks the window to close, which it does with nothing written;
# 5. worked with the keyboard, the station's name and the expected count typed in and
#    "Arm" pressed: the device is flashed and its record line names the station.
#   production.sh WINE_RUN TEMPLATE PRODUCTION.exe IMAGE COPY.png
set -eu
WINE_RUN=$1 TEMPLATE=$2 program=$3 image=$4 copy=$5
. "$(dirname "$0")/lib.sh"

# Runs the production window on the simulated bus with the options given, armed, with the
# record $work/$1.jsonl, saving the window to $work/$1.png.
production() {
    name=$1
    shift
    run $WINE_RUN "$program" --simulate "$@" --record "$(windows_path "$work/$name.jsonl")" \
        --arm "$(windows_path "$image")" --screenshot "$(windows_path "$work/$name.png")"
    [ -s "$work/$name.png" ] || { cat "$work/out" "$work/err" >&2; fail "no picture of $name"; }
    [ "$(head -c 4 "$work/$name.png" | tail -c 3)" = PNG ] || fail "$name.png is not a PNG file"
}

production line --devices 3 --plug-ms 3000
[ "$status" -eq 0 ] || { cat "$work/out" "$work/err" >&2; fail "exit status $status, expected 0"; }
for k in 1 2 3 4; do
    expect_line "$work/out" "tile 1-$k: PASS"
    # One line for each device, its own serial number in it: device 1's counted up.
    lines=$(grep -c "\"location\": *\"1-$k\"" "$work/line.jsonl" || true)
    [ "$lines" -eq 1 ] || { cat "$work/line.jsonl" >&2; fail "$lines record lines for 1-$k"; }
    grep "\"location\": *\"1-$k\"" "$work/line.jsonl" | grep -q "\"serial\": *\"VU-00012$((k + 2))\"" ||
        fail "the record line of 1-$k has not its serial number VU-00012$((k + 2))"
done
[ "$(grep -c '^tile ' "$work/out")" -eq 4 ] || fail "not four tiles: $(grep '^tile ' "$work/out")"
[ "$(wc -l <"$work/line.jsonl")" -eq 4 ] || fail "not four record lines"
echo "four devices flashed: four PASS tiles, four record lines, exit status 0"

production refused --devices 1 --refuse-record 5
grep -q '^tile 1-1: FAIL: .' "$work/out" || { cat "$work/out" >&2; fail "no FAIL tile with its reason"; }
echo "a device refusing a record: $(grep '^tile 1-1:' "$work/out"), exit status $status"

run $WINE_RUN "$program" --simulate --devices 2 --close-after-ms 3000 \
    --screenshot "$(windows_path "$work/idle.png")" "$(windows_path "$image")"
[ "$status" -eq 0 ] || { cat "$work/out" "$work/err" >&2; fail "exit status $status, idle"; }
[ -s "$work/idle.png" ] || fail "no picture at --close-after-ms"
if grep '^tile ' "$work/out" | grep -v ': Free$'; then
    fail "a tile other than Free while not armed"
fi
echo "not armed: the picture at --close-after-ms, then closed with status 0"

if command -v xdotool >/dev/null 2>&1; then
    start $WINE_RUN "$program" --simulate --devices 1 "$(windows_path "$image")"
    window_appears '^Velt-USB Production$' || { finish; fail "no production window"; }
    for _ in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || break
        xdotool key alt+F4 2>/dev/null || true
        sleep 1
    done
    kill -0 "$pid" 2>/dev/null && fail "the window did not close on Alt+F4"
    finish
    [ "$status" -eq 0 ] || fail "exit status $status after Alt+F4, expected 0"
    echo "the close box closes the window when nothing is written: exit status 0"

    # Tab order: image, "Choose…", SHA-256, record, station, expected count, "Arm".
    start $WINE_RUN "$program" --simulate --devices 1 --record "$(windows_path "$work/keys.jsonl")" \
        --screenshot "$(windows_path "$work/keys.png")" "$(windows_path "$image")"
    window_appears '^Velt-USB Production$' || { finish; fail "no production window"; }
    sleep 1
    xdotool key Tab Tab Tab Tab && xdotool type 'Bench 7' && xdotool key Tab &&
        xdotool type 1 && xdotool key Tab space || fail "xdotool cannot type"
    for _ in $(seq 60); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 1
    done
    kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "not armed from the keyboard, or not done"; }
    finish
    [ "$status" -eq 0 ] || { cat "$work/out" "$work/err" >&2; fail "exit status $status, keys"; }
    expect_line "$work/out" "tile 1-1: PASS"
    grep -q '"station": *"Bench 7"' "$work/keys.jsonl" ||
        { cat "$work/keys.jsonl" >&2; fail "the record does not name the station typed in"; }
    echo "set up and armed from the keyboard: the record names station Bench 7"
fi

if ! command -v convert >/dev/null 2>&1; then
    echo "the pictures are not checked: ImageMagick is not installed"
    exit 0
fi
# The share of the picture in the tiles' colour for PASS (FAIL).
share() {
    convert "$work/$1.png" -fill black -fuzz 4% +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:mean]' info:
}
pass=$(share line 'rgb(27,122,46)')
# Four tiles take a good part of the window; a blank or unpainted picture has none.
awk "BEGIN { exit !($pass > 0.15) }" || fail "PASS green covers $pass of the picture"
refused=$(share refused 'rgb(190,30,30)')
awk "BEGIN { exit !($refused > 0.03) }" || fail "FAIL red covers $refused of the picture"
mkdir -p "$(dirname "$copy")"
cp "$work/line.png" "$copy"
echo "pictures: PASS green covers $pass, FAIL red $refused; copy in $copy"

#!/bin/sh
# The window program itself under wine, worked with the keyboard:
# 1. with no Velt-USB.bin beside it, the "File Error" box comes up and is drawn (not left a
#    solid black); Return answers it and the program exits with status 1;
# 2. with Velt-USB.bin beside it, the main window comes up instead; Alt+F4 asks it to
#    close, and with no update running it does: exit status 0.
#   window.sh WINE_RUN TEMPLATE PROGRAM.exe
set -eu
WINE_RUN=$1 TEMPLATE=$2 program=$3
. "$(dirname "$0")/lib.sh"
command -v xdotool >/dev/null 2>&1 || skip "xdotool is not installed"
mkdir "$work/app"
cp "$program" "$work/app/"
copy="$work/app/$(basename "$program")"

appears() {
    window_appears "$1" && return 0
    kill "$pid" 2>/dev/null || true
    finish
    cat "$work/out" "$work/err" >&2
    fail "no window '$1' appeared (the program ended with status $status)"
}

# Presses the keys $1 (the window has the focus: there is no window manager) until the
# program has ended.
press_until_gone() {
    for _ in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || return 0
        xdotool key "$1" 2>/dev/null || true
        sleep 1
    done
    fail "the program did not end on $1"
}

# True once the inside of the window named $1 (below its caption, within its border) shows
# more than one colour: drawn, not a solid block.
drawn() {
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && import -window "$id" "$work/shot.png" 2>/dev/null &&
        [ "$(convert "$work/shot.png" -gravity South -crop 100%x70%+0+0 +repage -shave 8x8 \
            -format %k info:)" -gt 1 ]
}

start $WINE_RUN "$copy"
appears '^File Error$'
if command -v import >/dev/null 2>&1 && command -v convert >/dev/null 2>&1; then
    # Slow as wine is under emulation, a box drawn at all is drawn within seconds.
    for _ in $(seq 30); do
        drawn '^File Error$' && break
        sleep 1
    done
    drawn '^File Error$' || fail "the File Error box is still one solid colour after 30 s"
    echo "the File Error box is drawn"
fi
press_until_gone Return
finish
[ "$status" -eq 1 ] || fail "exit status $status after the File Error box, expected 1"
echo "without the image: File Error box, answered with Return; exit status 1"

echo "an image" >"$work/app/Velt-USB.bin"
start $WINE_RUN "$copy"
appears '^Velt-USB Firmware Update$'
sleep 1
if xdotool search --name '^File Error$' >/dev/null; then
    fail "File Error shown although Velt-USB.bin is beside the program"
fi
press_until_gone alt+F4
finish
[ "$status" -eq 0 ] || fail "exit status $status after Alt+F4, expected 0"
echo "with the image: main window, closed with Alt+F4; exit status 0"

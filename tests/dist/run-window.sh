#!/bin/sh
# The unpacked window program, started from another folder on an X server (Xvfb):
# 1. with no Velt-USB.bin beside it (only one in the current folder) it shows the
#    "File Error" box and, once the box is answered, exits with status 1;
# 2. with Velt-USB.bin beside it, it opens its main window instead.
# A modal box cannot be answered on the offscreen platform, hence X and xdotool.
#   run-window.sh PROGRAM
set -eu
. "$(dirname "$0")/lib.sh"
program=$1

if [ -z "${VELT_UNDER_XVFB:-}" ]; then
    for tool in xvfb-run xdotool; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    VELT_UNDER_XVFB=1 exec xvfb-run -a "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb

work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# A copy of the whole unpacked folder, so that the image can be put beside the program.
mkdir "$work/cwd"
cp -a "$(dirname "$program")" "$work/app"
cd "$work/cwd"
echo "not beside the program" >Velt-USB.bin

"$work/app/$(basename "$program")" &
pid=$!
boxes=$(timeout 20 xdotool search --sync --name '^File Error$') ||
    fail "no File Error box appeared"
box=$(printf '%s\n' "$boxes" | head -n 1)
kill -0 "$pid" 2>/dev/null || fail "the program did not wait for the box to be answered"
# The box is gone between key press and release, so xdotool may report an error.
xdotool key --window "$box" Return || true
status=0
timeout 20 sh -c "while kill -0 $pid 2>/dev/null; do sleep 0.1; done" ||
    fail "the program did not exit after the box was answered"
wait "$pid" || status=$?
pid=""
[ "$status" -eq 1 ] || fail "exit status $status after the File Error box, expected 1"
echo "File Error shown, exit status 1"

mv Velt-USB.bin "$work/app/"
"$work/app/$(basename "$program")" &
pid=$!
timeout 20 xdotool search --sync --name '^Velt-USB Firmware Update' >/dev/null ||
    fail "the main window did not appear with Velt-USB.bin beside the program"
if xdotool search --name '^File Error$' >/dev/null; then
    fail "File Error shown although Velt-USB.bin is beside the program"
fi
echo "main window shown with the image beside the program"

# Helpers for the wine cases, after the usual ones (/tmp/velt/lib.sh): the flasher is the
# Windows build's velt-usb-flash.exe under wine, and the files live where stage2 put them.
. /tmp/velt/lib.sh

IMAGE=/tmp/velt/data/image-8000.bin
FLASH=wine-flash
# wine learns of a device from udev a moment after its hidraw node appears, so the
# cases give flash --wait; a wine command takes seconds under TCG.
FLASH_OPTIONS="--yes"
TOOL_TIMEOUT=150

# The Windows programs as commands of their own, for run_tool and start_tool.
mkdir -p /tmp/velt/bin
for entry in wine-flash=velt-usb-flash.exe "wine-production=Velt-USB Production.exe"; do
    if [ ! -x "/tmp/velt/bin/${entry%%=*}" ]; then
        printf '#!/bin/sh\nexec wine "$VELT_WINE_BIN/%s" "$@"\n' "${entry#*=}" \
            >"/tmp/velt/bin/${entry%%=*}"
        chmod 755 "/tmp/velt/bin/${entry%%=*}"
    fi
done

# windows_path FILE: the name the Windows program is given for a file of the guest (Z: is /).
windows_path() { echo "Z:$1" | tr / '\\'; }

# Windows names hold backslashes, which the shell's echo would take for escapes.
log() { printf '%s\n' "$*"; }

# wine_lists TEXT...: runs list until its output holds every TEXT (wine hears of a device
# from udev a moment after its node appears); fails after 10 tries.
wine_lists() {
    i=0
    while :; do
        run_tool list
        missing=
        for text in "$@"; do
            grep -qF -- "$text" /tmp/tool.out || missing="$missing $text"
        done
        [ -z "$missing" ] && return 0
        i=$((i + 1))
        [ $i -lt 10 ] || fail "wine's list lacks:$missing"
        sleep 2
    done
}

# unix_lines FILE: the Windows program's CRLF line ends made LF, for field-wise checks.
unix_lines() { tr -d '\r' <"$1" >"$1.lf" && mv "$1.lf" "$1"; }

# start_window: the window program given the image, on the VM's display, in the background
# (WINDOW_PID); fails unless its window shows within 120 s.
start_window() {
    log "\$ wine 'Velt-USB Firmware.exe' $(windows_path "$IMAGE")"
    wine "$VELT_WINE_BIN/Velt-USB Firmware.exe" "$(windows_path "$IMAGE")" >/tmp/window.out 2>&1 &
    WINDOW_PID=$!
    at_end "kill $WINDOW_PID"
    timeout 120 xdotool search --sync --name '^Velt-USB Firmware Update$' >/dev/null ||
        fail "no window 'Velt-USB Firmware Update' appeared"
}

# press_until_flashed: Enter in the window (with no window manager the window has the
# focus, and its default button has it within); the window must close itself within 60 s
# with status 0, and the gadget velt, stopped then, hold the image.
press_until_flashed() {
    xdotool key Return
    i=0
    while kill -0 "$WINDOW_PID" 2>/dev/null; do
        i=$((i + 1))
        [ $i -le 120 ] || fail "the window did not close within 60 s of the press"
        sleep 0.5
    done
    wait "$WINDOW_PID"
    status=$?
    sed 's/^/  window| /' /tmp/window.out
    log "exit status $status"
    stop_gadget velt
    [ "$status" -eq 0 ] || fail "the window ended with status $status"
    expect_flashed velt
}

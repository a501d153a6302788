# The window program, "Velt-USB Firmware.exe", on a display in the VM: it finds the
# application-mode Velt-USB at start-up, its button is pressed once (Enter, as the
# default button), and it writes the image and closes itself with status 0.
. /tmp/velt/wine/wine-lib.sh

[ -n "${DISPLAY:-}" ] || skip "no Xvfb in the VM"
command -v xdotool >/dev/null 2>&1 || skip "xdotool is not installed"

start_gadget velt --pid 0x2442
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
# The window looks for the device once, at start-up: wine must have it by then.
i=0
run_tool list
while ! grep -q 'vendor:product: 1209:2442' /tmp/tool.out; do
    i=$((i + 1))
    [ $i -le 10 ] || fail "wine did not list the Velt-USB within 20 s"
    sleep 2
    run_tool list
done

log "\$ wine 'Velt-USB Firmware.exe' $(windows_path "$IMAGE")"
wine "$VELT_WINE_BIN/Velt-USB Firmware.exe" "$(windows_path "$IMAGE")" >/tmp/window.out 2>&1 &
pid=$!
timeout 120 xdotool search --sync --name '^Velt-USB Firmware Update$' >/dev/null ||
    fail "no window 'Velt-USB Firmware Update' appeared"
# No window manager: the window has the focus, and the button has it within the window.
sleep 3
xdotool key Return
i=0
while kill -0 "$pid" 2>/dev/null; do
    i=$((i + 1))
    [ $i -le 120 ] || { kill "$pid"; fail "the window did not close within 60 s of the press"; }
    sleep 0.5
done
wait "$pid"
WINDOW_STATUS=$?
sed 's/^/  window| /' /tmp/window.out
log "exit status $WINDOW_STATUS"
stop_gadget velt
[ "$WINDOW_STATUS" -eq 0 ] || fail "the window ended with status $WINDOW_STATUS"
expect_gadget velt gadget: "mode-switches=1 records=200 bytes=8000 sha256=$(image_sha256)"
expect_gadget velt gadget-detail: "bad=0 other=0 late=0"
pass

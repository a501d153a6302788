# The window program started with no Velt-USB: its value labels are empty; a device
# plugged in afterwards fills them (read from the running window by another program); the
# button, pressed once, writes the image and the window closes itself with status 0.
. /tmp/velt/wine/wine-lib.sh

[ -n "${DISPLAY:-}" ] || skip "no Xvfb in the VM"
command -v xdotool >/dev/null 2>&1 || skip "xdotool is not installed"
[ -f "$VELT_WINE_BIN/window-labels.exe" ] || skip "no window-labels.exe in the Windows build"

# labels: what the window's value labels hold now, in /tmp/labels.out.
labels() {
    timeout 60 wine "$VELT_WINE_BIN/window-labels.exe" 2>&1 | tr -d '\r' >/tmp/labels.out
}
# label NAME: its text, the surrounding spaces and quotes taken off.
label() { sed -n "s/^$1: \"[[:space:]]*\(.*[^[:space:]]\)[[:space:]]*\"\$/\1/p" /tmp/labels.out; }

log "\$ wine 'Velt-USB Firmware.exe' $(windows_path "$IMAGE")"
wine "$VELT_WINE_BIN/Velt-USB Firmware.exe" "$(windows_path "$IMAGE")" >/tmp/window.out 2>&1 &
pid=$!
at_end "kill $pid"
timeout 120 xdotool search --sync --name '^Velt-USB Firmware Update$' >/dev/null ||
    fail "no window 'Velt-USB Firmware Update' appeared"
sleep 2
labels
sed 's/^/  before| /' /tmp/labels.out
grep -q '^lblSerialNumber: ' /tmp/labels.out || fail "the labels could not be read"
[ -z "$(label lblSerialNumber)$(label lblManuf)" ] || fail "the labels are filled with no device"

start_gadget velt --pid 0x2442 --serial VX-0013 --bcd 0x0110
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
plugged=$(uptime_s)
i=0
until [ "$(label lblSerialNumber)" = VX-0013 ]; do
    i=$((i + 1))
    [ $i -le 15 ] || { sed 's/^/  after| /' /tmp/labels.out; fail "the labels were not filled within 30 s of the plug"; }
    sleep 2
    labels
done
sed 's/^/  after| /' /tmp/labels.out
log "labels filled $(awk "BEGIN { printf \"%.1f\", $(uptime_s) - $plugged }") s after the plug"
[ "$(label lblVersion)" = 1.10 ] || fail "the version label is not 1.10"
[ -n "$(label lblManuf)" ] && [ -n "$(label lblProduct)" ] || fail "a name label is empty"

# No window manager: the window has the focus, and the button has it within the window.
xdotool key Return
i=0
while kill -0 "$pid" 2>/dev/null; do
    i=$((i + 1))
    [ $i -le 120 ] || fail "the window did not close within 60 s of the press"
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

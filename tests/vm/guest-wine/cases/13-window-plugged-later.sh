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

start_window
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

press_until_flashed
pass

# The window program, "Velt-USB Firmware.exe", on a display in the VM: it finds the
# application-mode Velt-USB at start-up, its button is pressed once (Enter, as the
# default button), and it writes the image and closes itself with status 0.
. /tmp/velt/wine/wine-lib.sh

[ -n "${DISPLAY:-}" ] || skip "no Xvfb in the VM"
command -v xdotool >/dev/null 2>&1 || skip "xdotool is not installed"

start_gadget velt --pid 0x2442
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
# The window looks for the device once, at start-up: wine must have it by then.
wine_lists "vendor:product: 1209:2442"

start_window
sleep 3
press_until_flashed
pass

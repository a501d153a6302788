# A user who may not open the device node: the tool says so instead of pretending there
# is no device, fails, and the device receives nothing.
. /lib/vm-lib.sh

start_gadget velt --pid 0x2442
wait_hidraw 1209 2442 || fail "the Velt-USB did not show up as a hidraw node"
log "$(ls -l "/dev/$node")"
# The user must be able to run programs at all, or the refusal below proves nothing.
[ "$(su -s /bin/sh -c 'id -u' tester)" = 1000 ] || fail "cannot run programs as tester"
run_tool --as tester flash "$IMAGE"
# The window finds no device, leaves the labels blank and names the node it may not open.
run_window --as tester --click
stop_gadget velt
[ "$TOOL_STATUS" -ne 0 ] || fail "$FLASH succeeded without access to /dev/$node"
grep -q "$node" /tmp/tool.out || fail "the output does not name the refused node $node"
[ "$WINDOW_STATUS" -eq 0 ] || fail "the window ended with status $WINDOW_STATUS"
expect_window "caption lblVersion ' '"
expect_window "outcome none"
grep -q "^box Permission Error: .*/dev/$node" /tmp/window.out ||
    fail "the window did not name the refused node /dev/$node"
expect_untouched velt
pass

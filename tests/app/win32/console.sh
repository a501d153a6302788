#!/bin/sh
# velt-usb-flash.exe in a console, as a user at a prompt runs it: `script` gives wine a
# terminal, which wine makes the program's console. A Cyrillic serial reads as it is, a
# Windows path is echoed as typed, and --all redraws its lines with the console's own calls
# (which wine turns into its terminal's codes), never with the board's escape codes as
# text; its table lines up. Opened on its own it waits for a key.
#   console.sh WINE_RUN TEMPLATE FLASH.exe
set -eu
WINE_RUN=$1 TEMPLATE=$2 flash=$3
. "$(dirname "$0")/lib.sh"
command -v script >/dev/null 2>&1 || skip "script (util-linux) is not installed"

# Runs the program with the arguments in $1 (a shell command line) in a console; $work/out
# holds what the console showed, without the terminal's codes.
in_console() {
    run script -qec "$WINE_RUN '$flash' $1" /dev/null
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/out" >"$work/shown"
}

in_console "--simulate --serial ВУ-000123 list"
[ "$status" -eq 0 ] || fail "list: exit status $status"
expect_line "$work/shown" "  serial:         ВУ-000123"

in_console "--simulate flash 'C:\\temp\\new\\missing.bin'"
grep -q 'velt-usb-flash: Cannot find C:\\temp\\new\\missing.bin\.' "$work/shown" ||
    { cat "$work/shown" >&2; fail "the path is not echoed as typed"; }

head -c 400 /dev/zero >"$work/image.bin"
in_console "--simulate --devices 2 --serial ВУ-000123 --reenumerate-ms 50 -y flash --all \
'$(windows_path "$work/image.bin")'"
[ "$status" -eq 0 ] || { cat "$work/shown" >&2; fail "--all: exit status $status"; }
! grep -q "$(printf '\033')\[[0-9]*F" "$work/out" || fail "the board's escape codes reached the console"
! grep -q '\[[0-9]F' "$work/shown" || fail "escape codes shown as text"
expect_line "$work/shown" "Location  Serial     Result   Records  Time"
expect_line "$work/shown" "1-1       ВУ-000123  success  10/10    0:00"
expect_line "$work/shown" "2 of 2 devices flashed."

# Opened from the file manager, alone in a console that would close at its end: it waits
# for a key rather than end at once. (A key sent through X reaches wine's console window
# unreliably, so the wait is ended by stopping it.)
start $WINE_RUN wineconsole "$flash"
window_appears velt-usb-flash || fail "no console window"
sleep 2
kill -0 "$pid" 2>/dev/null || fail "opened on its own, it did not wait for a key"
echo "a Cyrillic serial, a path as typed and --all's lines in a console; opened on its own, it waits for a key"

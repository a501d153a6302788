#!/bin/sh
# Where the demo looks for Velt-USB.bin (--folder):
# 1. an empty folder: a real "File Error" box comes up (a window with that title), the demo
#    logs it and, unattended, answers it; the program exits with status 1, nothing sent;
# 2. a folder named in Cyrillic that holds the image: the path survives the way from the
#    command line to the file system, and the update runs to the end (status 0).
#   image-folder.sh WINE_RUN TEMPLATE DEMO.exe
set -eu
WINE_RUN=$1 TEMPLATE=$2 demo=$3
. "$(dirname "$0")/lib.sh"
command -v xdotool >/dev/null 2>&1 || skip "xdotool is not installed"
mkdir "$work/empty" "$work/Прошивка"
cp "$(dirname "$demo")/demo-image/Velt-USB.bin" "$work/Прошивка/"

start $WINE_RUN "$demo" --auto-update --folder "$(windows_path "$work/empty")"
shown=yes
window_appears '^File Error$' || shown=no
finish
[ "$shown" = yes ] || fail "no File Error box appeared"
expect_line "$work/err" "message box: File Error: Cannot find Velt-USB.bin"
grep -q '^simulated device: mode-switches=0 records=0 bytes=0 .* result=none$' "$work/out" ||
    fail "unexpected result line: $(cat "$work/out")"
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
echo "empty folder: File Error box shown, logged and answered; exit status 1"

run $WINE_RUN "$demo" --auto-update --folder "$(windows_path "$work/Прошивка")"
grep -q '^simulated device: mode-switches=1 records=200 bytes=8000 .* result=success$' \
    "$work/out" || fail "image in the Cyrillic folder: $(cat "$work/out" "$work/err")"
[ "$status" -eq 0 ] || fail "image in the Cyrillic folder: exit status $status, expected 0"
echo "folder named in Cyrillic: image found and sent; exit status 0"

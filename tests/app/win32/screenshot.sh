#!/bin/sh
# The demo window under wine with a simulated device whose strings need care (an '&', a
# Cyrillic product name): the value labels read back from the controls hold them exactly.
# Its saved image has the client size the layout gives at the screen's DPI (96, then 144)
# and shows the labels; a PNG copy of the 96 DPI image is kept for people to look at.
#   screenshot.sh WINE_RUN TEMPLATE DEMO.exe COPY.png
set -eu
WINE_RUN=$1 TEMPLATE=$2 demo=$3 copy=$4
. "$(dirname "$0")/lib.sh"

# Runs the demo at DPI $1, saving the window to $work/window-$1.bmp.
screenshot() {
    run $WINE_RUN reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f
    run $WINE_RUN "$demo" --manufacturer "Velt & Co" --product "Прибор" --version 010A \
        --screenshot "$(windows_path "$work/window-$1.bmp")"
    [ "$status" -eq 0 ] || { cat "$work/err" >&2; fail "exit status $status at $1 DPI"; }
    [ -s "$work/window-$1.bmp" ] || fail "no image at $1 DPI"
}

# Fails unless the image at DPI $1 is $2 pixels and white inside the manufacturer's value
# label, at ($3, $4), but not on the window face at the left edge.
expect_image() {
    image="$work/window-$1.bmp"
    size=$(convert "$image" -format '%wx%h' info:)
    [ "$size" = "$2" ] || fail "the image at $1 DPI is $size, expected the client area $2"
    label=$(convert "$image" -format "%[pixel:p{$3,$4}]" info:)
    face=$(convert "$image" -format "%[pixel:p{2,$4}]" info:)
    case "$label" in
        srgb\(255,255,255\) | white) ;;
        *) fail "the value label is $label at $1 DPI, not white" ;;
    esac
    [ "$face" != "$label" ] || fail "the window face is white too at $1 DPI: an empty image?"
}

screenshot 96
expect_line "$work/out" 'lblManuf: " Velt & Co"'
expect_line "$work/out" 'lblProduct: " Прибор"'
expect_line "$work/out" 'lblVersion: " 1.A"'
expect_line "$work/out" 'lblSerialNumber: " VU-000123"'
screenshot 144
run $WINE_RUN reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f

if ! command -v convert >/dev/null 2>&1; then
    echo "labels read back; the images are not checked: ImageMagick is not installed"
    exit 0
fi
# 5415 x 2970 twips: 15 twips a pixel at 96 DPI, 10 at 144.
expect_image 96 361x198 330 20
expect_image 144 542x297 495 30
mkdir -p "$(dirname "$copy")"
convert "$work/window-96.bmp" "$copy"
echo "labels read back; images 361x198 at 96 DPI, 542x297 at 144 DPI; copy in $copy"

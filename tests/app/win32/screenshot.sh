#!/bin/sh
# The demo window under wine with a simulated device whose strings need care (an '&', a
# Cyrillic product name): the value labels read back from the controls hold them exactly.
# Its saved image has the client size the layout gives at the screen's DPI (96, then 144)
# and shows the labels; a name ending in .png gets a PNG file, .bmp a BMP file. A PNG copy
# of the 96 DPI image is kept for people to look at.
#   screenshot.sh WINE_RUN TEMPLATE DEMO.exe COPY.png
set -eu
WINE_RUN=$1 TEMPLATE=$2 demo=$3 copy=$4
. "$(dirname "$0")/lib.sh"

# Runs the demo at DPI $1, saving the window to $work/window-$1.$2 (bmp or png).
screenshot() {
    run $WINE_RUN reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f
    run $WINE_RUN "$demo" --manufacturer "Velt & Co" --product "Прибор" --version 010A \
        --screenshot "$(windows_path "$work/window-$1.$2")"
    [ "$status" -eq 0 ] || { cat "$work/err" >&2; fail "exit status $status at $1 DPI"; }
    [ -s "$work/window-$1.$2" ] || fail "no image at $1 DPI"
    case "$2:$(head -c 4 "$work/window-$1.$2" | tail -c 3)" in
        bmp:* | png:PNG) ;;
        *) fail "window-$1.$2 is not a $2 file" ;;
    esac
}

# Fails unless the image file $1 (at DPI $2) is $3 pixels and white inside the
# manufacturer's value label, at ($4, $5), but not on the window face at the left edge.
expect_image() {
    image=$work/$1
    shift
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

screenshot 96 bmp
expect_line "$work/out" 'lblManuf: " Velt & Co"'
expect_line "$work/out" 'lblProduct: " Прибор"'
expect_line "$work/out" 'lblVersion: " 1.A"'
expect_line "$work/out" 'lblSerialNumber: " VU-000123"'
screenshot 144 png
run $WINE_RUN reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f

if ! command -v convert >/dev/null 2>&1; then
    echo "labels read back; the images are not checked: ImageMagick is not installed"
    exit 0
fi
# 5415 x 2970 twips: 15 twips a pixel at 96 DPI, 10 at 144.
expect_image window-96.bmp 96 361x198 330 20
expect_image window-144.png 144 542x297 495 30
mkdir -p "$(dirname "$copy")"
convert "$work/window-96.bmp" "$copy"
echo "labels read back; images 361x198 at 96 DPI, 542x297 at 144 DPI; copy in $copy"

#!/bin/sh
# What Windows reads from a program's resources: the version texts and numbers, the
# product name, its own file name, the copyright, the icon in its four sizes and the
# manifest (each MARKER found in it). Also the icon file itself, on the build machine: its
# images the right way up and in the right colours (the arrow's green at the top).
#   resources.sh WINE_RUN TEMPLATE REPORT.exe PROGRAM.exe ICON.ico VERSION PRODUCT_NAME MARKER...
set -eu
WINE_RUN=$1 TEMPLATE=$2 report=$3 program=$4 icon=$5 version=$6 product=$7
shift 7
. "$(dirname "$0")/lib.sh"

if command -v convert >/dev/null 2>&1; then
    index=0
    for size in 16 32 48 256; do
        image="$icon[$index]"
        unit=$((size / 16))
        found=$(convert "$image" -format '%w %[pixel:p{0,0}] %[pixel:p{'$((7 * unit))',0}]' info:)
        [ "$found" = "$size srgba(0,0,0,0) srgba(0,128,0,1)" ] ||
            fail "icon image $index: '$found', expected a $size px image, clear corner, green arrow"
        index=$((index + 1))
    done
fi

run $WINE_RUN "$report" "$(windows_path "$program")"
[ "$status" -eq 0 ] || { cat "$work/err" >&2; fail "exit status $status"; }
expect_line "$work/out" "FileVersion=$version"
expect_line "$work/out" "ProductVersion=$version"
expect_line "$work/out" "ProductName=$product"
expect_line "$work/out" "OriginalFilename=$(basename "$program")"
grep -q '^LegalCopyright=Copyright (c) 2026 ' "$work/out" || fail "no LegalCopyright"
numbers=$(echo "$version" | awk -F. '{ printf "%d.%d.0.%d", $1, $2, $3 }')
expect_line "$work/out" "FixedFileVersion=$numbers"
expect_line "$work/out" "IconSizes=16 32 48 256"
for marker in "$@"; do
    grep -q "^manifest=.*$marker" "$work/out" || fail "the manifest lacks $marker"
done
echo "$(basename "$program"): version $version ($numbers), $product, icon 16-256 px, manifest checked"

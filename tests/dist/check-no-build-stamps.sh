#!/bin/sh
# The built programs and what the packages hold carry no trace of where or when they were
# built: neither the source nor the build folder, nor the day of the build as __DATE__
# writes it; a Windows program's PE header has no link time, only 0 as the linker leaves
# it or the packages' time (SOURCE_DATE_EPOCH, else the last commit's) where strip wrote
# that. Gzipped files are read unpacked, folders file by file.
#   check-no-build-stamps.sh SOURCE_DIR BUILD_DIR FILE_OR_FOLDER...
set -eu
. "$(dirname "$0")/lib.sh"
# The folders as CMake was given them and as they are on disk.
words=$(printf '%s\n' "$1" "$2" "$(cd "$1" && pwd -P)" "$(cd "$2" && pwd -P)" | sort -u)
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$1" log -1 --format=%ct 2>/dev/null || echo 0)}
shift 2
# The PE header's link time: 4 bytes at 8 past the "PE\0\0" that the offset at 0x3c names.
pe_time() {
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tu4 -j$((offset + 8)) -N4 "$1" | tr -d ' '
}

checked=0
check() {
    checked=$((checked + 1))
    case "$1" in
    *.gz) text() { gzip -dc "$1"; } ;;
    *) text() { cat "$1"; } ;;
    esac
    # The day the file was written, as __DATE__ would give it ("Dec  8 2026").
    day=$(date -r "$1" '+%b %e %Y')
    printf '%s\n%s\n' "$words" "$day" | while IFS= read -r word; do
        if text "$1" | grep -a -q -F -- "$word"; then
            echo "FAIL: $1 holds '$word'"
            exit 1
        fi
    done || exit 1
    if [ "$(head -c2 "$1")" = MZ ]; then
        stamp=$(pe_time "$1")
        [ "$stamp" = 0 ] || [ "$stamp" = "$epoch" ] ||
            fail "$1 has the time $stamp in its PE header"
    fi
}

list=$(mktemp)
trap 'rm -f "$list"' EXIT
for path in "$@"; do
    [ -e "$path" ] || fail "nothing at $path"
    find "$path" -type f >>"$list"
done
while IFS= read -r file; do check "$file"; done <"$list"
[ "$checked" -gt 0 ] || fail "no file to check"
echo "$checked files hold none of: $(printf '%s\n' "$words" | tr '\n' ' ')and no build day"

#!/bin/sh
# Signs Windows programs in place with a code-signing certificate (Authenticode, SHA-256).
#   sign-windows.sh CERT.pem KEY.pem PROGRAM.exe...
# The signing time is SOURCE_DATE_EPOCH (cpack sets it: cmake/CPackProject.cmake), else the
# last commit's, so that one program signed twice with one key gives the same bytes.
set -eu
[ $# -ge 3 ] || { echo "usage: sign-windows.sh CERT.pem KEY.pem PROGRAM.exe..." >&2; exit 2; }
cert=$1 key=$2
shift 2
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || true)}
case "$epoch" in
'' | *[!0-9]*) echo "sign-windows.sh: no SOURCE_DATE_EPOCH and no git history for the signing time" >&2; exit 2 ;;
esac
for program in "$@"; do
    osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Velt-USB Firmware" \
        -time "$epoch" -in "$program" -out "$program.signed" >/dev/null
    mv "$program.signed" "$program"
done

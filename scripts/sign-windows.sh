#!/bin/sh
# Signs Windows programs in place with a code-signing certificate (Authenticode, SHA-256).
#   sign-windows.sh CERT.pem KEY.pem PROGRAM.exe...
set -eu
[ $# -ge 3 ] || { echo "usage: sign-windows.sh CERT.pem KEY.pem PROGRAM.exe..." >&2; exit 2; }
cert=$1 key=$2
shift 2
for program in "$@"; do
    osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Velt-USB Firmware" \
        -in "$program" -out "$program.signed" >/dev/null
    mv "$program.signed" "$program"
done

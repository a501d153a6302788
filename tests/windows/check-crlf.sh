#!/bin/sh
# The zip's text files end every line with CR LF, so that any Notepad shows their lines.
#   check-crlf.sh FILE...
set -eu
for file in "$@"; do
    [ -s "$file" ] || { echo "FAIL: $file is missing or empty"; exit 1; }
    bad=$(awk '!/\r$/ { print NR; exit }' "$file")
    [ -z "$bad" ] || { echo "FAIL: $file line $bad does not end with CR LF"; exit 1; }
done
echo "every line ends with CR LF"

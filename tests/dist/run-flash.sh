#!/bin/sh
# The unpacked command-line program starts from another folder and reports its version.
#   run-flash.sh PROGRAM VERSION
set -eu
. "$(dirname "$0")/lib.sh"
program=$1
version=$2
elsewhere=$(mktemp -d)
trap 'rm -rf "$elsewhere"' EXIT
cd "$elsewhere"
output=$("$program" --version) || fail "$program --version exited with $?"
echo "$output"
printf '%s\n' "$output" | grep -q "\(^\|[^0-9.]\)$(echo "$version" | sed 's/\./\\./g')\($\|[^0-9.]\)" ||
    fail "the version printed is not $version"

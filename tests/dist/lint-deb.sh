#!/bin/sh
# lintian finds no error and no warning in the Debian package (its notes are shown).
#   lint-deb.sh DEB_DIR
set -eu
. "$(dirname "$0")/lib.sh"
need_tools lintian
made_deb "$1"
status=0
lintian --display-info --fail-on error,warning "$deb" || status=$?
[ "$status" -eq 0 ] || fail "lintian exited with status $status"
echo "lintian: no errors or warnings"

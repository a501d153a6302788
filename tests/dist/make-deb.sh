#!/bin/sh
# Builds the Debian package from the build tree into OUT_DIR, as `make deb` does.
#   make-deb.sh BUILD_DIR OUT_DIR
set -eu
. "$(dirname "$0")/lib.sh"
build=$1
out=$2
# Gone first, so that the checks never see a package from an earlier run.
rm -rf "$out"
need_tools dpkg-deb dpkg-shlibdeps
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out"
only_file "$out/*.deb" >/dev/null

#!/bin/sh
# Builds the package from the build tree into OUT_DIR and unpacks it to OUT_DIR/unpacked.
#   make-package.sh BUILD_DIR OUT_DIR
set -eu
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out/unpacked"
cpack --config "$build/CPackConfig.cmake" -G TGZ -B "$out"
set -- "$out"/*.tar.gz
[ $# -eq 1 ] && [ -f "$1" ] || { echo "expected one tarball in $out" >&2; exit 1; }
tar -xzf "$1" -C "$out/unpacked"

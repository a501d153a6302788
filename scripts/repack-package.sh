#!/bin/sh
# Packs a package once more so that the same files always give the same bytes, whoever
# packs them, where, when and with what umask: members in name order, each dated
# SOURCE_DATE_EPOCH and owned by root, folders and programs 755, other files 644, and
# compressors that write no name or time of their own. cmake/RepackReproducibly.cmake
# runs it on what cpack made.
#   SOURCE_DATE_EPOCH=SECONDS repack-package.sh PACKAGE.tar.gz|PACKAGE.zip|PACKAGE.deb
set -eu
package=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
[ -f "$package" ] || { echo "repack-package.sh: no package $1" >&2; exit 2; }
case "${SOURCE_DATE_EPOCH:-}" in
'' | *[!0-9]*) echo "repack-package.sh: SOURCE_DATE_EPOCH must be set, in seconds" >&2; exit 2 ;;
esac
epoch=$SOURCE_DATE_EPOCH
# The zip's times are local times; the sort order and tar's messages are the C locale's.
export TZ=UTC LC_ALL=C
umask 022

work=$(mktemp -d "$(dirname "$package")/repack.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir "$root"

# Modes and times as the package gives them, whatever they were on disk.
normalize() {
    chmod -R u=rwX,go=rX "$root"
    find "$root" -exec touch -h -d "@$epoch" {} +
}

# Every member below the root, parents before children, in byte order.
members() {
    (cd "$root" && find . -mindepth 1 | sed 's|^\./||' | sort)
}

case "$package" in
*.tar.gz)
    tar -xzf "$package" -C "$root"
    normalize
    members | tar -C "$root" --create --no-recursion --files-from=- --format=gnu \
        --owner=root:0 --group=root:0 --mtime="@$epoch" |
        gzip -9 -n >"$work/package"
    ;;
*.zip)
    # cmake reads a zip without unzip; -X keeps the packer's user and group and the
    # extended times out of the zip.
    (cd "$root" && cmake -E tar xf "$package")
    normalize
    members | (cd "$root" && zip -q -X -9 -@ "$work/package.zip")
    mv "$work/package.zip" "$work/package"
    ;;
*.deb)
    dpkg-deb --raw-extract "$package" "$root"
    # md5sums anew, so that its order is ours too.
    (cd "$root" && find . -path ./DEBIAN -prune -o -type f -print | sed 's|^\./||' | sort |
        xargs -r -d '\n' md5sum >DEBIAN/md5sums)
    normalize
    # dpkg-deb sorts the members and dates the ar members with SOURCE_DATE_EPOCH; gzip
    # since xz's output can depend on how many threads compress.
    dpkg-deb --root-owner-group -Zgzip -z9 --build "$root" "$work/package" >/dev/null
    ;;
*) echo "repack-package.sh: not a package this script knows: $package" >&2; exit 2 ;;
esac
mv "$work/package" "$package"

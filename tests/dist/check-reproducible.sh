#!/bin/sh
# A package made again from the same build tree, with another umask, time zone, output
# folder and clock, has the same bytes; its members are owned by root with the modes the
# package gives them, all dated with the packages' time (SOURCE_DATE_EPOCH, else the last
# commit's); SHA256SUMS beside it checks out.
#   check-reproducible.sh BUILD_DIR SOURCE_DIR TGZ|DEB WORK_DIR [FIRST_OUT_DIR]
# FIRST_OUT_DIR holds a package made before (by dist.deb); without it, it is made here.
set -eu
. "$(dirname "$0")/lib.sh"
build=$1 source=$2 generator=$3 work=$4 first=${5:-}
rm -rf "$work"
mkdir -p "$work"
case "$generator" in
TGZ) pattern='*.tar.gz' ;;
DEB) pattern='*.deb'; need_tools dpkg-deb dpkg-shlibdeps ;;
*) fail "unknown generator $generator" ;;
esac

# pack OUT_DIR UMASK TZ
pack() {
    (umask "$2" && TZ=$3 cpack --config "$build/CPackConfig.cmake" -G "$generator" -B "$1") \
        >"$work/$(basename "$1").log" 2>&1 || {
        cat "$work/$(basename "$1").log"
        fail "cpack -G $generator into $1 failed"
    }
}
if [ -z "$first" ]; then
    first=$work/first
    pack "$first" 022 UTC
    sleep 1
elif [ "$generator" = DEB ]; then
    made_deb "$first"
fi
second=$work/second-packing-elsewhere
pack "$second" 077 Pacific/Kiritimati

package=$(only_file "$first/$pattern")
name=$(basename "$package")
cmp "$package" "$second/$name" || fail "$name differs between two packings of one build"
echo "$name: the same bytes twice ($(sha256sum "$package" | cut -d' ' -f1))"
for out in "$first" "$second"; do
    grep -q "  $name\$" "$out/SHA256SUMS" || fail "$out/SHA256SUMS does not list $name"
    (cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "$out/SHA256SUMS does not match"
done

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || true)}
[ -n "$epoch" ] || skip "no git history in $source to date the members by"
stamp=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
if [ "$generator" = DEB ]; then
    listing=$(dpkg-deb --fsys-tarfile "$package" | TZ=UTC tar -tv --numeric-owner --full-time)
else
    listing=$(TZ=UTC tar -tvzf "$package" --numeric-owner --full-time)
fi
printf '%s\n' "$listing" | awk -v stamp="$stamp" '
    $2 != "0/0" { print "owner " $2 ": " $0; bad = 1 }
    $4 " " $5 != stamp { print "not dated " stamp ": " $0; bad = 1 }
    $1 !~ /^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--)$/ { print "mode " $1 ": " $0; bad = 1 }
    END { exit bad }' || fail "members with another owner, time or mode"
# dpkg-deb orders the .deb itself; the tarball is ours: byte order of the paths.
if [ "$generator" = TGZ ]; then
    printf '%s\n' "$listing" | awk '{ print $6 }' | sed 's|/$||' | LC_ALL=C sort -c ||
        fail "the tarball's members are not in name order"
fi
echo "members owned by 0/0, dated $stamp UTC, modes 755 and 644"

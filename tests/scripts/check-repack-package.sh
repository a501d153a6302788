#!/bin/sh
# repack-package.sh makes one set of bytes of one set of files however they were packed:
# a tarball, a zip and a .deb of the same files, made under two umasks, in two time zones,
# with the files written in two orders at two times and packed by two tools' defaults,
# come out the same; a file changed still changes the package.
#   check-repack-package.sh REPACK_SCRIPT WORK_DIR
set -u
repack=$1 work=$2
for tool in zip dpkg-deb; do
    command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# tree ROOT ORDER: the same files, written in ORDER (forward or reverse).
tree() {
    mkdir -p "$1/pkg/sub/deeper" "$1/pkg/DEBIAN"
    if [ "$2" = forward ]; then set -- "$1" a b c; else set -- "$1" c b a; fi
    root=$1
    shift
    for name in "$@"; do
        echo "file $name" >"$root/pkg/$name.txt"
        echo "nested $name" >"$root/pkg/sub/deeper/$name.txt"
    done
    printf '#!/bin/sh\necho run\n' >"$root/pkg/sub/run.sh"
    chmod +x "$root/pkg/sub/run.sh"
    printf 'Package: repack-check\nVersion: 1\nArchitecture: all\nMaintainer: Nobody <nobody@example.invalid>\nDescription: files\n' \
        >"$root/pkg/DEBIAN/control"
}

# variant NAME UMASK TZ ORDER DATE: the three packages of the tree, repacked.
variant() {
    dir=$work/$1
    (
        umask "$2"
        export TZ=$3
        tree "$dir" "$4"
        find "$dir/pkg" -exec touch -d "$5" {} +
        cd "$dir" || exit 1
        tar --exclude=DEBIAN -czf files.tar.gz pkg
        mv pkg/DEBIAN DEBIAN.kept && cmake -E tar cf files.zip --format=zip pkg && mv DEBIAN.kept pkg/DEBIAN
        chmod 755 pkg/DEBIAN
        dpkg-deb --build pkg files.deb >/dev/null
        for package in files.tar.gz files.zip files.deb; do
            SOURCE_DATE_EPOCH=1700000000 "$repack" "$package" || exit 1
        done
    ) || fail "packing or repacking $1"
}

variant one 022 UTC forward "2001-02-03 04:05:06"
variant two 077 Pacific/Kiritimati reverse "2024-06-07 08:09:10"
for package in files.tar.gz files.zip files.deb; do
    if cmp -s "$work/one/$package" "$work/two/$package"; then
        echo "$package: the same bytes from both"
    else
        fail "$package differs between the two variants"
    fi
done

# One changed file must show.
echo changed >"$work/two/pkg/b.txt"
(cd "$work/two" && rm -f files.tar.gz && tar -czf files.tar.gz --exclude=DEBIAN pkg &&
    SOURCE_DATE_EPOCH=1700000000 "$repack" files.tar.gz) || fail "repacking the changed tarball"
cmp -s "$work/one/files.tar.gz" "$work/two/files.tar.gz" && fail "a changed file left the tarball as it was"

# What the repacked tarball says of its members.
listing=$(TZ=UTC tar -tvzf "$work/one/files.tar.gz" --numeric-owner --full-time)
echo "$listing"
echo "$listing" | awk '$2 != "0/0" || $4 " " $5 != "2023-11-14 22:13:20" { bad = 1 } END { exit bad }' ||
    fail "members not owned by 0/0 or not dated 2023-11-14 22:13:20"
echo "$listing" | grep -q '^-rwxr-xr-x .* pkg/sub/run.sh$' || fail "run.sh lost its mode 755"
[ "$failures" -eq 0 ] || exit 1
echo "repacked packages as expected"

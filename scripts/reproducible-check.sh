#!/usr/bin/env bash
# Builds the .deb, the tarball and the Windows zip of one commit twice, from two fresh
# clones in folders of different names, one after the other, with different umasks, time
# zones and locales, and compares the two sets byte for byte (scripts/compare-packages.sh).
#   reproducible-check.sh [COMMIT]     (default: HEAD; `make reproducible-check`)
# Work folder build-reproducible/ (or VELT_REPRO_DIR): the packages of each build in
# first/ and second/; the clones are removed when the packages agree and kept otherwise.
# Uncommitted changes are not built. SOURCE_DATE_EPOCH, when set, is passed to both.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
work=${VELT_REPRO_DIR:-$repo/build-reproducible}
work=$(mkdir -p "$work" && cd "$work" && pwd)
rm -rf "${work:?}"/*
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "reproducible-check: uncommitted changes are left out; this builds $commit"

start=$(date +%s)

# build SOURCE_FOLDER PACKAGES_FOLDER UMASK TZ LOCALE
build() {
    local src=$1 out=$2
    echo "reproducible-check: building $commit in $src (umask $3, TZ=$4, LC_ALL=$5, $(date -u +%H:%M:%S) UTC)"
    (
        umask "$3"
        export TZ=$4 LC_ALL=$5
        # A shared clone reaches every object of this repository, so any commit builds.
        git clone -q --shared --no-checkout "$repo" "$src"
        cd "$src"
        git checkout -q --detach "$commit"
        # The packages hold no test program: the tests stay unbuilt.
        cmake --preset default -DVELT_BUILD_TESTS=OFF >/dev/null
        nice -n 10 cmake --build --preset default >build/build.log
        (cd build && cpack -G TGZ && cpack -G DEB) >build/cpack.log 2>&1
        cmake --preset windows -DVELT_BUILD_TESTS=OFF >/dev/null
        nice -n 10 cmake --build --preset windows >build-windows/build.log
        (cd build-windows && cpack -G ZIP) >build-windows/cpack.log 2>&1
    ) || {
        echo "reproducible-check: the build in $src failed; build.log and cpack.log in its" \
            "build/ and build-windows/ say why"
        exit 1
    }
    mkdir -p "$out/linux" "$out/windows"
    cp "$src"/build/*.deb "$src"/build/*.tar.gz "$src"/build/SHA256SUMS "$out/linux/"
    cp "$src"/build-windows/*.zip "$src"/build-windows/SHA256SUMS "$out/windows/"
    (cd "$out/linux" && sha256sum --quiet -c SHA256SUMS) &&
        (cd "$out/windows" && sha256sum --quiet -c SHA256SUMS) ||
        { echo "reproducible-check: SHA256SUMS does not match the packages in $out"; exit 1; }
}

build "$work/src-a" "$work/first" 022 UTC C.UTF-8
# A clock that has moved on, in a zone 14 hours ahead, a folder name of another length.
sleep 1
build "$work/source-of-the-second-build" "$work/second" 077 Pacific/Kiritimati C

echo "reproducible-check: comparing $work/first with $work/second"
status=0
scripts/compare-packages.sh "$work/first" "$work/second" "$work/diffoscope" || status=$?
elapsed=$(($(date +%s) - start))
if [ "$status" -eq 0 ]; then
    rm -rf "$work/src-a" "$work/source-of-the-second-build"
    echo "reproducible-check: identical, the .deb, the tarball and the zip of $commit" \
        "($((elapsed / 60)) min $((elapsed % 60)) s)"
else
    echo "reproducible-check: the two builds differ; both clones are kept in $work" \
        "($((elapsed / 60)) min $((elapsed % 60)) s)"
fi
exit "$status"

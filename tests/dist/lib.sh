# Shared by the distribution tests.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Fails unless the files under $1 (relative paths, sorted) are exactly the lines of $2.
expect_files() {
    actual=$(cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
    expected=$(printf '%s\n' "$2" | sed '/^$/d' | LC_ALL=C sort)
    if [ "$actual" != "$expected" ]; then
        echo "expected files:" >&2
        echo "$expected" >&2
        echo "found:" >&2
        echo "$actual" >&2
        fail "unexpected contents of $1"
    fi
}

# Fails if the ELF file $1 has a run path that is not relative to its own folder.
expect_relative_runpath() {
    paths=$(readelf -d "$1" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
    echo "$1: run path '${paths}'"
    old_ifs=$IFS
    IFS=:
    for entry in $paths; do
        case "$entry" in
            '$ORIGIN' | '$ORIGIN/'*) ;;
            *) fail "$1 has the run path entry '$entry'" ;;
        esac
    done
    IFS=$old_ifs
}

# Ends a test that cannot run here; CTest counts status 77 as skipped.
skip() {
    echo "skipped: $*"
    exit 77
}

# Skips unless every program named is on PATH.
need_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
}

# The one file matching the pattern $1 (a glob); fails when there are none or several.
only_file() {
    set -- $1
    [ $# -eq 1 ] && [ -f "$1" ] || fail "expected one file, found: $*"
    echo "$1"
}

# Sets deb to the package that dist.deb left in $1; skips when dist.deb was skipped and
# made none.
made_deb() {
    [ -d "$1" ] || skip "no package was made (dist.deb was skipped)"
    deb=$(only_file "$1/*.deb")
}

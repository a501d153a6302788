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

#!/bin/sh
# What install-deps.sh asks for on a machine that has none of the packages (dpkg and
# apt-get stand-ins log what they are asked): the demo gets the build and the demo's
# packages, never the test bench nor a foreign architecture; the test bench gets both.
#   check-install-deps.sh INSTALL-DEPS.sh WORK_DIR
set -u
script=$1 work=$2
rm -rf "$work" && mkdir -p "$work/bin" || exit 1
failures=0

# Stand-ins: nothing is installed, no foreign architecture is added yet.
cat >"$work/bin/dpkg-query" <<'END'
#!/bin/sh
exit 1
END
cat >"$work/bin/dpkg" <<'END'
#!/bin/sh
echo "dpkg $*" >>"$VELT_LOG"
END
cat >"$work/bin/apt-get" <<'END'
#!/bin/sh
echo "apt-get $*" >>"$VELT_LOG"
END
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod 755 "$work/bin"/*

# run NAME GROUP...: the script's words in $work/NAME.out, what it asked for in $work/NAME.log.
run() {
    name=$1
    shift
    : >"$work/$name.log"
    VELT_LOG=$work/$name.log PATH=$work/bin:$PATH bash "$script" "$@" >"$work/$name.out" 2>&1 ||
        { echo "FAIL: install-deps.sh $* ended with status $?"; failures=$((failures + 1)); }
}
# expect NAME yes|no TEXT: whether NAME's log asks for TEXT.
expect() {
    if grep -qF -- "$3" "$work/$1.log"; then found=yes; else found=no; fi
    [ "$found" = "$2" ] && return 0
    echo "FAIL: $1: expected '$3': $2, found: $found"
    cat "$work/$1.log"
    failures=$((failures + 1))
}

run demo build demo
expect demo yes "install -y -q --no-install-recommends build-essential"
expect demo yes " qt6-base-dev "
expect demo yes " xvfb "
for bench in wine wine32:i386 qemu-system-x86 clang lintian osslsigncode g++-mingw-w64 add-architecture; do
    expect demo no "$bench"
done
grep -q '^install-deps: for the demo without a display: xvfb' "$work/demo.out" ||
    { echo "FAIL: the demo's packages are not named before they are installed"; failures=$((failures + 1)); }

run bench test
expect bench yes "dpkg --add-architecture i386"
expect bench yes " wine32:i386"
expect bench yes " qemu-system-x86 "
expect bench yes " xvfb "
expect bench yes " build-essential "

[ $failures -eq 0 ] && echo "install-deps: the demo asks for no test bench; the test bench for all"
[ $failures -eq 0 ]

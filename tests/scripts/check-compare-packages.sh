#!/bin/sh
# compare-packages.sh passes two folders with the same files and fails two that differ,
# naming each file that differs and each that only one folder has, and showing diffoscope's
# report on a pair where it is installed (here a stand-in that names the pair).
#   check-compare-packages.sh COMPARE_SCRIPT WORK_DIR
set -u
compare=$1 work=$2
rm -rf "$work" && mkdir -p "$work/a/linux" "$work/b/linux" "$work/bin" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

printf 'same bytes\n' >"$work/a/linux/one.deb"
cp "$work/a/linux/one.deb" "$work/b/linux/one.deb"
printf 'zip\n' >"$work/a/two.zip"
cp "$work/a/two.zip" "$work/b/two.zip"
out=$("$compare" "$work/a" "$work/b" "$work/diffs" 2>&1) || fail "same folders judged different: $out"
echo "$out" | grep -qx "2 same, 0 different" || fail "no count of 2 same: $out"

printf 'other bytes\n' >"$work/b/linux/one.deb"
printf 'only here\n' >"$work/b/three.tar.gz"
out=$("$compare" "$work/a" "$work/b" "$work/diffs" 2>&1) && fail "different folders judged the same: $out"
echo "$out"
echo "$out" | grep -qx "DIFFERS: linux/one.deb" || fail "linux/one.deb not named"
echo "$out" | grep -qx "DIFFERS: three.tar.gz is only in $work/b" || fail "three.tar.gz not named"
echo "$out" | grep -qx "1 same, 2 different" || fail "no count of 1 same, 2 different"

# diffoscope --text REPORT A B, as the real one is called.
cat >"$work/bin/diffoscope" <<'END'
#!/bin/sh
echo "stand-in report: $3 against $4" >"$2"
exit 1
END
chmod 755 "$work/bin/diffoscope"
out=$(PATH=$work/bin:$PATH "$compare" "$work/a" "$work/b" "$work/diffs" 2>&1)
echo "$out" | grep -qF "stand-in report: $work/a/linux/one.deb against $work/b/linux/one.deb" ||
    fail "diffoscope's report not shown: $out"
[ -f "$work/diffs/linux_one.deb.diffoscope.txt" ] || fail "diffoscope's report not kept"
[ "$failures" -eq 0 ] || exit 1
echo "compare-packages.sh tells same from different"

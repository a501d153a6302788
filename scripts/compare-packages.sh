#!/bin/sh
# Compares two folders of packages byte for byte, file by file (relative paths). Names
# every file that differs or that only one folder has; where diffoscope is installed it
# shows where a pair differs, the whole report in DIFF_DIR/<file>.diffoscope.txt.
#   compare-packages.sh DIR_A DIR_B [DIFF_DIR]
# Exit status 0 when every file is the same in both, 1 otherwise.
set -u
a=$1 b=$2 diffs=${3:-${TMPDIR:-/tmp}}
[ -d "$a" ] && [ -d "$b" ] || { echo "compare-packages.sh: no folder $a or $b" >&2; exit 2; }

files() { (cd "$1" && find . -type f | sed 's|^\./||'); }
names=$({ files "$a"; files "$b"; } | LC_ALL=C sort -u)
[ -n "$names" ] || { echo "compare-packages.sh: no files in $a nor in $b" >&2; exit 2; }

same=0 differ=0
while IFS= read -r name; do
    if [ ! -f "$a/$name" ] || [ ! -f "$b/$name" ]; then
        [ -f "$a/$name" ] && where=$a || where=$b
        echo "DIFFERS: $name is only in $where"
        differ=$((differ + 1))
    elif cmp -s "$a/$name" "$b/$name"; then
        echo "same: $name $(sha256sum "$a/$name" | cut -d' ' -f1)"
        same=$((same + 1))
    else
        echo "DIFFERS: $name"
        differ=$((differ + 1))
        if command -v diffoscope >/dev/null 2>&1; then
            mkdir -p "$diffs"
            report=$diffs/$(echo "$name" | tr / _).diffoscope.txt
            diffoscope --text "$report" "$a/$name" "$b/$name" >/dev/null 2>&1
            sed -n '1,60p' "$report" | sed 's/^/    /'
            echo "    (diffoscope's whole report: $report)"
        else
            cmp "$a/$name" "$b/$name" | sed 's/^/    /'
            echo "    (install diffoscope to see where: apt-get install diffoscope)"
        fi
    fi
done <<EOF
$names
EOF
echo "$same same, $differ different"
[ "$differ" -eq 0 ]

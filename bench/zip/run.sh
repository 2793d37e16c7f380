#!/bin/sh
# Compares the ZIP reader with Info-ZIP's unzip on the same files, side by side:
#   - one deflated member of 256 MiB: ExtractToStream into a counting stream vs. unzip -p > /dev/null
#   - an archive of 50,000 entries: LoadDirectory vs. unzip -l > /dev/null
# Each run is repeated three times and the one with the least CPU time is shown, with its wall time
# and peak resident memory (from /usr/bin/time). A ratio above 1 means the reader is faster.
#   bench/zip/run.sh [build-dir]     (default build/bench: an optimised native tree)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target zip_bench >/dev/null
bench="$build/bench/zip/zip_bench"
data="$build/zip-bench-data"
mkdir -p "$data"

if [ ! -f "$data/big.zip" ]; then
    echo "Making a 256 MiB member from the system's libraries (deflated by zip -6)..."
    # Real binary data compresses about 3:1, like the code and resources of a package.
    find /usr/lib /usr/bin -type f -size +100k 2>/dev/null | sort | xargs cat 2>/dev/null |
        head -c 268435456 > "$data/big.bin"
    (cd "$data" && rm -f big.zip && zip -q -6 big.zip big.bin && rm -f big.bin)
fi
if [ ! -f "$data/many.zip" ]; then
    echo "Making an archive of 50,000 entries..."
    python3 - "$data/many.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(50000):
        z.writestr("res/drawable-%d/file_%05d.png" % (i % 7, i), b"entry %d " % i * 20)
PY
fi

# best_of <command...>: of three runs, the one with the least CPU time (user + system), printed as
# "wall cpu peak-kib". CPU time is what the comparison goes by: other work on the machine
# stretches wall time but not CPU time.
best_of() {
    best=""
    for _ in 1 2 3; do
        /usr/bin/time -f "%e %U %S %M" -o "$data/time.txt" "$@" >/dev/null 2>&1 || {
            echo "failed: $*" >&2
            exit 1
        }
        read -r wall user system kib < "$data/time.txt"
        cpu=$(awk "BEGIN{printf \"%.2f\", $user + $system}")
        if [ -z "$best" ] || awk "BEGIN{exit !($cpu < $best)}"; then
            best=$cpu bestwall=$wall bestkib=$kib
        fi
    done
    echo "$bestwall $best $bestkib"
}

set -- $(best_of "$bench" extract "$data/big.zip" big.bin); ours_xw=$1 ours_x=$2 ours_xm=$3
set -- $(best_of sh -c "unzip -p '$data/big.zip' big.bin > /dev/null"); unzip_xw=$1 unzip_x=$2 unzip_xm=$3
set -- $(best_of "$bench" list "$data/many.zip"); ours_lw=$1 ours_l=$2 ours_lm=$3
set -- $(best_of sh -c "unzip -l '$data/many.zip' > /dev/null"); unzip_lw=$1 unzip_l=$2 unzip_lm=$3

printf '\n%-33s %9s %9s %6s %9s %9s %6s %12s %12s\n' "ZIP reader vs unzip" "reader" "unzip" "ratio" \
    "reader" "unzip" "ratio" "reader peak" "unzip peak"
printf '%-33s %9s %9s %6s %9s %9s %6s %12s %12s\n' "" "cpu s" "cpu s" "" "wall s" "wall s" "" "KiB" "KiB"
row() {
    cpu_ratio=$(awk "BEGIN{ if ($2 > 0) printf \"%.2f\", $3 / $2; else print \"-\" }")
    wall_ratio=$(awk "BEGIN{ if ($4 > 0) printf \"%.2f\", $5 / $4; else print \"-\" }")
    printf '%-33s %9s %9s %6s %9s %9s %6s %12s %12s\n' "$1" "$2" "$3" "$cpu_ratio" "$4" "$5" "$wall_ratio" "$6" "$7"
}
row "extract 256 MiB deflated member" "$ours_x" "$unzip_x" "$ours_xw" "$unzip_xw" "$ours_xm" "$unzip_xm"
row "directory of 50,000 entries" "$ours_l" "$unzip_l" "$ours_lw" "$unzip_lw" "$ours_lm" "$unzip_lm"
echo "(ratio = unzip / reader; above 1 the reader is faster)"

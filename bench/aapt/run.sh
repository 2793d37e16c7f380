#!/bin/sh
# Times our aapt against Debian's aapt over the whole comparison corpus (tests/aapt/corpus, the
# damaged copies, framework-res.apk and the sample), in one run: each package by both tools in
# turn, best of several rounds, one process per package as Varnel runs it. Prints the times per
# package, the totals and the ratio (how many times as fast ours is).
#   bench/aapt/run.sh [rounds]          (VARNEL_BUILD_DIR picks another build tree)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${VARNEL_BUILD_DIR:-$root/build/bench}"
rounds="${1:-5}"
command -v aapt >/dev/null || { echo "Debian's aapt is needed (apt-get install aapt)" >&2; exit 1; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target aapt aapt_bench aapt_corpus -j 2 >/dev/null
framework=/usr/share/android-framework-res/framework-res.apk
"$build/bench/aapt/aapt_bench" "$build/tools/aapt/aapt" "$(command -v aapt)" "$rounds" \
    "@$build/tests/aapt/corpus/list.txt" "$framework" "$build/data/sample.apk"

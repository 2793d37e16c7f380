#!/bin/sh
# Installs ten packages onto eight phones whose installs take 2 s each, through the program's own
# runner and list run and the adb stand-in, under Wine, beside the time of ten installs back to back.
#   bench/shelf/run.sh [build-dir]     (default build/win-bench: a Windows tree with the benchmarks)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/win-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target shelf_bench FakeAdb varnel_sample >/dev/null
folder="$build/shelf-bench"
mkdir -p "$folder/adb"
cp "$build/app/adb/adb.exe" "$folder/adb/adb.exe"
rm -f "$folder/adb/fake-adb.log" "$folder/adb/fake-adb-files.log" "$folder/adb/fake-adb-state.txt"
# Ten packages of their own names: each phone is handed each one.
for i in 0 1 2 3 4 5 6 7 8 9; do cp "$build/data/sample.apk" "$folder/package$i.apk"; done
"$root/cmake/wine-run.sh" "$build" "$build/bench/shelf/shelf_bench.exe" "$(winepath -w "$folder")" 10 8 2000

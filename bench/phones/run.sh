#!/bin/sh
# Installs onto eight phones whose installs take 2 s each, each first asked its name and what it has
# of the package, beside one such phone's plain install, through the program's own runner and
# install flow and the adb stand-in, under Wine.
#   bench/phones/run.sh [build-dir]     (default build/win-bench: a Windows tree with the benchmarks)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/win-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target phone_bench FakeAdb varnel_sample >/dev/null
folder="$build/phone-bench"
mkdir -p "$folder/adb"
cp "$build/app/adb/adb.exe" "$folder/adb/adb.exe"
rm -f "$folder/adb/fake-adb.log" "$folder/adb/fake-adb-files.log" "$folder/adb/fake-adb-state.txt"
"$root/cmake/wine-run.sh" "$build" "$build/bench/phones/phone_bench.exe" "$(winepath -w "$folder")" \
    "$(winepath -w "$build/data/sample.apk")" 2000

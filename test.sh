#!/bin/sh
# Installs what is missing, builds the three trees and runs every test:
#   build/native  the portable core and its tests, GCC with AddressSanitizer and UBSan
#   build/win     Varnel.exe, the tool stand-ins and every test, mingw-w64, run under Wine
#   build/fuzz    the fuzz targets, clang with libFuzzer, each run for a short fixed time
# Exits non-zero on the first failure.
set -eu
cd "$(dirname "$0")"
root=$(pwd)
. cmake/deps.sh
. cmake/xvfb.sh
. cmake/wine-prefix.sh
varnel_install_deps

jobs=$(nproc 2>/dev/null || echo 2)
generator="-G Ninja"

cmake -S . -B build/native $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_SANITIZE=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
cmake --build build/native -j "$jobs"

cmake -S . -B build/win $generator -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
cmake --build build/win -j "$jobs"

cmake -S . -B build/fuzz $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build/fuzz -j "$jobs"

status=0
ctest --test-dir build/native -j "$jobs" --output-on-failure || status=1

if [ -z "${DISPLAY:-}" ]; then
    varnel_xvfb_start "$root/build/win"
    trap 'varnel_xvfb_stop "$root/build/win"' EXIT
fi
ctest --test-dir build/win -j "$jobs" --output-on-failure || status=1
varnel_wine_stop_all "$root/build/win"

ctest --test-dir build/fuzz -j "$jobs" --output-on-failure || status=1

[ $status -eq 0 ] && echo "All tests passed." || echo "Some tests FAILED."
exit $status

#!/bin/sh
# From a package chosen to its icon drawn (our aapt run on it, the facts read, the icon drawn), for
# the sample package (its icon an adaptive icon of vector layers, with WebP pictures for old phones)
# against the same package with PNG icons only: builds an optimised native tree, makes the PNG twin
# with Debian's aapt and prints both times at 96 and 192 DPI with the ratio (goal: at most 1.2),
# and the icon step alone.
#   bench/icon/run.sh [build-dir]     (default build/bench)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target icon_bench aapt varnel_sample -j 2 >/dev/null
twin="$build/icon-bench"
if [ ! -f "$twin/sample-png.apk" ]; then
    rm -rf "$twin" && mkdir -p "$twin"
    cp -r "$root/data/sample/res" "$twin/res"
    # The same package as it was made before adaptive icons: PNG pictures only.
    rm -rf "$twin/res/mipmap-anydpi-v26" "$twin/res/drawable" "$twin/res/drawable-v24" "$twin/res/color"
    python3 "$root/data/logo/make_logo.py" --sample-res "$twin/res"
    sed 's/ android:roundIcon="@mipmap\/ic_launcher_round"//' "$root/data/sample/AndroidManifest.xml" \
        > "$twin/AndroidManifest.xml"
    aapt package -f -M "$twin/AndroidManifest.xml" -S "$twin/res" \
        -I /usr/share/android-framework-res/framework-res.apk -F "$twin/sample-png.apk" >/dev/null
fi
# Both unsigned, so the two differ in their icons alone.
"$build/bench/icon/icon_bench" "$build/tools/aapt/aapt" "$build/data/sample-unsigned.apk" "$twin/sample-png.apk"

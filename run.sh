#!/bin/sh
# ./run.sh [package.apk]
# Builds what is missing and starts Varnel on a package (the built-in sample when none is given)
# under Wine, as a double-click on the package in Explorer would. Without an X display it runs
# inside Xvfb in a Wine virtual desktop and saves a screenshot, build/win/varnel-screenshot.png.
# Our aapt.exe reads the package; the adb stand-in plays an attached phone (choose its scenario
# with VARNEL_ADB_SCENARIO or VARNEL_ADB_SCRIPT, see README). VARNEL_PRESS_INSTALL=1 presses the
# install button once the window is up, so the screenshot shows how the install ended.
set -eu
cd "$(dirname "$0")"
root=$(pwd)
. cmake/deps.sh
. cmake/xvfb.sh
varnel_install_deps

build="${VARNEL_BUILD_DIR:-$root/build/win}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

apk="${1:-$build/data/sample.apk}"
[ -f "$apk" ] || { echo "No such package: $apk" >&2; exit 1; }
apk=$(cd "$(dirname "$apk")" && pwd)/$(basename "$apk")
# Varnel's aapt.exe (ours, in app/adb) reads the package itself: nothing to prepare.

wine_run="$root/cmake/wine-run.sh"
export WINEPREFIX="$build/wineprefix"
"$wine_run" "$build" cmd /c exit >/dev/null 2>&1 || true   # makes the prefix on first use
winapk=$(winepath -w "$apk" 2>/dev/null)
exe=$(winepath -w "$build/app/Varnel.exe" 2>/dev/null)
shellopen=$(winepath -w "$build/tools/shellopen.exe" 2>/dev/null)

if [ -n "${DISPLAY:-}" ]; then
    exec "$wine_run" "$build" "$shellopen" "$exe" "$winapk"
fi

varnel_xvfb_start "$build"
shot="$build/varnel-screenshot.png"
"$wine_run" "$build" explorer /desktop=Varnel,1024x768 "$shellopen" "$exe" "$winapk" >/dev/null 2>&1 &
if [ -n "${VARNEL_PRESS_INSTALL:-}" ]; then
    sleep 5
    # On the window's own desktop, where it can be found.
    "$wine_run" "$build" explorer /desktop=Varnel,1024x768 "$(winepath -w "$build/tools/pressinstall.exe" 2>/dev/null)" \
        >/dev/null 2>&1 || true
fi
sleep "${VARNEL_SCREENSHOT_DELAY:-8}"
xwd -root -silent | convert xwd:- "$shot"
wineserver -k 2>/dev/null || true
varnel_xvfb_stop "$build"
echo "Screenshot: $shot"

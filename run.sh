#!/bin/sh
# ./run.sh [package.apk...]
# Builds what is missing and starts Varnel on a package (the built-in sample when none is given)
# under Wine, as a double-click on the package in Explorer would; several show as the list. Without an X display it runs
# inside Xvfb in a Wine virtual desktop and saves a screenshot of the window,
# build/win/varnel-screenshot.png (or the file VARNEL_SCREENSHOT names).
# VARNEL_WINE_DPI=144 shows it on a display of 144 dots per inch (150 %), in a prefix of its own.
# Our aapt.exe reads the package; the adb stand-in plays an attached phone (choose its scenario
# with VARNEL_ADB_SCENARIO or VARNEL_ADB_SCRIPT, see README). VARNEL_PRESS_INSTALL=1 presses the
# install button once the window is up, so the screenshot shows how the install ended (or the
# question it asks); VARNEL_PRESS_INSTALL=yes (or no) also answers every question so and then opens
# the table of phones behind the note.
set -eu
cd "$(dirname "$0")"
root=$(pwd)
. cmake/deps.sh
. cmake/xvfb.sh
. cmake/wine-prefix.sh
varnel_install_deps

build="${VARNEL_BUILD_DIR:-$root/build/win}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

[ $# -gt 0 ] || set -- "$build/data/sample.apk"
# Varnel's aapt.exe (ours, in app/adb) reads the package itself: nothing to prepare.

wine_run="$root/cmake/wine-run.sh"
dpi="${VARNEL_WINE_DPI:-96}"
prefix=$(varnel_wine_prefix "$build")
"$wine_run" "$build" cmd /c exit >/dev/null 2>&1 || true   # makes the prefix on first use
winpath() { "$wine_run" "$build" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# Several packages open together, as a multiple selection in Explorer opens them.
winapks=""
for apk in "$@"; do
    [ -e "$apk" ] || { echo "No such package: $apk" >&2; exit 1; }
    apk=$(cd "$(dirname "$apk")" && pwd)/$(basename "$apk")
    winapks="$winapks$(winpath "$apk")
"
done
oldIfs=$IFS
IFS='
'
set -f
set -- $winapks
set +f
IFS=$oldIfs
# The stand-in's phones start as their scenario says, not as the last run left them.
rm -f "$build/app/adb/fake-adb-state.txt"
exe=$(winpath "$build/app/Varnel.exe")
shellopen=$(winpath "$build/tools/shellopen.exe")

if [ -n "${DISPLAY:-}" ]; then
    exec "$wine_run" "$build" "$shellopen" "$exe" "$@"
fi

varnel_xvfb_start "$build"
shot="${VARNEL_SCREENSHOT:-$build/varnel-screenshot.png}"
# A desktop of 1024 x 768 at 96 DPI, as large at any other density.
desktop="$((1024 * dpi / 96))x$((768 * dpi / 96))"
"$wine_run" "$build" explorer /desktop=Varnel,"$desktop" "$shellopen" "$exe" "$@" >/dev/null 2>&1 &
if [ -n "${VARNEL_PRESS_INSTALL:-}" ]; then
    sleep 5
    # On the window's own desktop, where it can be found.
    answer=""
    case "$VARNEL_PRESS_INSTALL" in yes|no) answer="$VARNEL_PRESS_INSTALL" ;; esac
    "$wine_run" "$build" explorer /desktop=Varnel,"$desktop" "$(winpath "$build/tools/pressinstall.exe")" \
        $answer >/dev/null 2>&1 || true
fi
sleep "${VARNEL_SCREENSHOT_DELAY:-8}"
# The window alone: everything around it is the desktop's plain background.
xwd -root -silent | convert xwd:- -crop "$desktop+0+0" +repage -trim +repage "$shot"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
varnel_xvfb_stop "$build"
echo "Screenshot: $shot"

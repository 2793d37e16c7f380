#!/bin/sh
# Runs a Windows program of one build tree under Wine.
#   wine-run.sh <build-dir> <program.exe> [args...]
# The launcher owns everything the program needs from Wine: a prefix inside the build tree
# (made once, with CJK fonts mapped), the Chinese ANSI code page 936, quiet debug output,
# no Mono or Gecko prompts, and an X display (a private Xvfb when none is set).
set -e
mkdir -p "$1"; build=$(cd "$1" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export LC_ALL=zh_CN.GBK
# The glibc locale need not exist: Wine still takes code page 936 from the name.
export LANG=zh_CN.GBK

if [ -z "$DISPLAY" ]; then
    . "$here/xvfb.sh"
    varnel_xvfb_start "$build"
fi

mkdir -p "$build"
(
    flock 9
    if [ ! -f "$WINEPREFIX/.varnel-ready" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 9>&- || true
        wineserver -w 9>&-
        # Map the faces the window asks for to the CJK font, so Chinese text renders.
        iconv -f UTF-8 -t UTF-16LE "$here/wine-fonts.reg" | { printf '\377\376'; cat; } > "$build/wine-fonts.reg.u16"
        wine regedit /S "$(winepath -w "$build/wine-fonts.reg.u16" 2>/dev/null)" >/dev/null 2>&1 9>&-
        wineserver -w 9>&-
        touch "$WINEPREFIX/.varnel-ready"
    fi
) 9>"$build/.wineprefix.lock"

# Keep the server up between test programs: starting it costs a second each time.
wineserver -p >/dev/null 2>&1 || true
exec wine "$@"

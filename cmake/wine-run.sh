#!/bin/sh
# Runs a Windows program of one build tree under Wine.
#   wine-run.sh <build-dir> <program.exe> [args...]
# The launcher owns everything the program needs from Wine: a prefix inside the build tree
# (made once, with CJK fonts mapped), the Chinese ANSI code page 936, quiet debug output,
# no Mono or Gecko prompts, and an X display (a private Xvfb when none is set).
# VARNEL_WINE_DPI=144 runs the program on a display of 144 dots per inch, in a prefix of its own.
set -e
mkdir -p "$1"; build=$(cd "$1" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-prefix.sh"

WINEPREFIX=$(varnel_wine_prefix "$build")
export WINEPREFIX
dpi="${VARNEL_WINE_DPI:-96}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
# VARNEL_WINE_LOCALE picks another locale for one run (en_US.UTF-8 gives code page 1252).
export LC_ALL="${VARNEL_WINE_LOCALE:-zh_CN.GBK}"
export LANG="$LC_ALL"
# Wine takes code page 936 from the locale's name alone, but file names with Chinese characters
# need the locale itself: it is compiled once into the build tree rather than into the system.
export LOCPATH="$build/locale"
if [ ! -d "$LOCPATH/zh_CN.GBK" ]; then
    mkdir -p "$LOCPATH"
    localedef -i zh_CN -f GBK "$LOCPATH/zh_CN.GBK" >/dev/null 2>&1 || true
fi

if [ -z "$DISPLAY" ]; then
    . "$here/xvfb.sh"
    varnel_xvfb_start "$build"
fi

# Map the faces the window asks for to a CJK font, so Chinese text renders: Micro Hei, which stays
# legible at the layout's 11 to 13 px (Zen Hei loses strokes below 12 px, and its Sharp face draws
# its 12 px bitmaps wider than it measures them, which cuts the ends off self-sizing labels).
# Imported again whenever the mapping changes, so an existing prefix follows it; programs started
# after the import see it.
fonts_stamp=$(cksum < "$here/wine-fonts.reg")
import_fonts() {
    fonts_reg="$WINEPREFIX-fonts.reg.u16"
    iconv -f UTF-8 -t UTF-16LE "$here/wine-fonts.reg" | { printf '\377\376'; cat; } > "$fonts_reg"
    wine regedit /S "$(winepath -w "$fonts_reg" 2>/dev/null)" >/dev/null 2>&1 9>&-
    echo "$fonts_stamp" > "$WINEPREFIX/.varnel-fonts"
}

(
    flock 9
    if [ ! -f "$WINEPREFIX/.varnel-ready" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 9>&- || true
        wineserver -w 9>&-
        import_fonts
        if [ "$dpi" != 96 ]; then
            # Both places Wine reads the density from; the server takes it up when it starts again.
            wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
                >/dev/null 2>&1 9>&-
            wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
                /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 9>&-
        fi
        wineserver -w 9>&-
        touch "$WINEPREFIX/.varnel-ready"
    elif [ "$(cat "$WINEPREFIX/.varnel-fonts" 2>/dev/null)" != "$fonts_stamp" ]; then
        # As when the prefix is made: the import's own server and services end before programs
        # start (services left running from it wedge the programs that follow).
        wineserver -k 9>&- 2>/dev/null || true
        import_fonts
        wineserver -w 9>&-
    fi
    # Wine draws the caption buttons with glyphs of Marlett. Debian ships the face in fonts-wine,
    # but this Wine looks for it only in the prefix's Fonts folder; without it the buttons show
    # the letters "0 1 r" in whatever face stands in.
    fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
) 9>"$build/.$(basename "$WINEPREFIX").lock"

# Keep the server and Wine's own services up between test programs: starting them costs a
# second each time. They are started here with their output elsewhere, because whatever starts them
# passes its standard output on to them, and a caller reading that output would wait for ever.
# Checked and done under a lock: two programs starting at once would otherwise both find no server,
# and the second would start the services itself, with the caller's output, which then never ends.
server_key="server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
(
    flock 7
    server_up=no
    for dir in "/tmp/.wine-$(id -u)" /tmp/wine-*; do
        [ -S "$dir/$server_key/socket" ] && server_up=yes
    done
    if [ $server_up = no ]; then
        wineserver -p </dev/null >/dev/null 2>&1 7>&- 8>&- 9>&- || true
        wine cmd /c exit </dev/null >/dev/null 2>&1 7>&- 8>&- 9>&- || true
    fi
) 7>"$build/.$(basename "$WINEPREFIX").server.lock"
exec wine "$@"

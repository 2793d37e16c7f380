#!/bin/sh
# Remakes the seed corpus in seeds/: path data behind the two option bytes of PathFuzzer.cpp.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$here/seeds"
mkdir -p "$here/seeds"
seed() { # seed <name> <option byte, octal> <width byte, octal> <path data>
    printf "\\$2\\$3%s" "$4" > "$here/seeds/$1"
}
seed lines 000 100 'M8 8 56 8 l0 48 -48 0z m10 10 h20 v20 H18 V18 z'
seed curves 203 040 'M8 40 C8 8 32 8 32 32 S56 56 56 24 Q40 60 24 50 T8 40 z'
seed relative 025 160 'm8 40 c0-32 24-32 24-8 s24 24 24-8 q-8 20-24 28 t-24-4z l10 10'
seed arcs 112 030 'M12 36 a24 16 -20 1 1 40 0 A2 1 0 0 1 54 32 a22 22 0 0020 0a10 10 0 1120-10 A0 5 0 0 1 9 9z'
seed numbers 341 377 'M8-0L56.5.5-.5 56 4.8e1 56 4.8E+1 56 8e0,56,,z M1e-999 5 1e3 1e3'
seed star 041 200 'M32 4 L50 60 L4 24 H60 L14 60 Z M20 20h24v24H20z'
seed dots 273 140 'M16 32 L16 32 M32 32 z M48 32 l0 0 M10 10 h.01'
seed tiny-conic 377 003 'M8 40 ,4 49 T8 40 z' # once crashed FreeType's stroker
seed huge 017 020 'M-4000 -4000 L5000 30 L30 9000 Z M60 -1e6 C60 1e6 -1e6 60 1e6 62z'

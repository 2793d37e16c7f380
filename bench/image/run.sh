#!/bin/sh
# Benchmarks our PNG decoder against libpng: builds an optimised native tree with the benchmark,
# makes the images with ImageMagick (a 1024 x 1024 RGBA picture and a set of icon-sized ones) and
# prints both decode times per image with the ratio ours / libpng (below 1 means we are faster).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/bench"
dpkg -s libpng-dev >/dev/null 2>&1 || { apt-get update -qq && apt-get install -y -qq libpng-dev; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target png_bench -j 2 >/dev/null

convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
images="$build/bench/image/images"
mkdir -p "$images"
cd "$images"
if [ ! -f .made ]; then
    # A photo-like picture with a smooth alpha ramp: every filter type gets used.
    $convert -size 1024x1024 -seed 11 plasma:tomato-steelblue -blur 0x1 \
        \( -size 1024x1024 gradient:white-gray20 \) -alpha off -compose CopyOpacity -composite \
        -strip PNG32:rgba-1024.png
    # Launcher-style icons: flat shapes with anti-aliased edges on transparency, at the usual densities.
    for size in 36 48 72 96 144 192 512; do
        $convert -size 512x512 xc:none -fill '#3DDC84' -draw 'circle 256,256 256,24' \
            -fill '#FFFFFF' -draw 'roundrectangle 150,170 362,350 30,30' \
            -fill '#073042' -draw 'circle 205,230 205,212' -draw 'circle 307,230 307,212' \
            -resize ${size}x${size} -strip PNG32:icon-$size.png
    done
    $convert icon-96.png +dither -colors 255 -strip PNG8:icon-96-palette.png
    $convert icon-144.png -interlace PNG -strip PNG32:icon-144-interlaced.png
    touch .made
fi
set -- rgba-1024=rgba-1024.png
for f in icon-*.png; do
    set -- "$@" "${f%.png}=$f"
done
"$build/bench/image/png_bench" "$@"

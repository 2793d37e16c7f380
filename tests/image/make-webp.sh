#!/bin/sh
# make-webp.sh <convert> <folder>: writes the WebP test files, made by Debian's webp tools from
# ImageMagick pictures, and beside each the reference that dwebp decodes from it (<name>.pam, RGBA).
# dwebp takes no animations, so an animation's reference is its first frame as webpmux takes it
# out (<name>.pam) and a line "<canvas width> <canvas height> <frame x> <frame y>" (<name>.frame).
set -eu
convert=$1 out=$2
mkdir -p "$out"
cd "$out"
# The tools say what they wrote on stderr; only a failure's words are worth showing.
quietly() { "$@" >tool.log 2>&1 || { cat tool.log >&2; exit 1; }; }

# Odd sizes, so the lossy chroma planes end in half a sample.
"$convert" -size 37x23 -seed 7 plasma: -depth 8 opaque.png
"$convert" -size 37x23 -seed 11 plasma: -alpha set -channel A -fx 'i/w' +channel -depth 8 alpha.png
"$convert" -size 22x14 -seed 3 plasma: -alpha set -channel A -fx 'j/h' +channel -depth 8 small.png

cwebp -quiet -q 70 opaque.png -o lossy.webp
cwebp -quiet -lossless alpha.png -o lossless.webp
cwebp -quiet -q 70 alpha.png -o lossy-alpha.webp
# -exact keeps the colour under transparent pixels, so this one decodes to the PNG itself.
cwebp -quiet -lossless -exact small.png -o small.webp
# Two frames that differ; the first is lossy with alpha over the whole canvas.
quietly img2webp -loop 0 -lossy -q 70 alpha.png -d 100 -lossless opaque.png -o anim.webp
# A first frame smaller than the canvas, at an offset, blending asked for.
quietly webpmux -frame small.webp +100+10+6 -frame lossy.webp +100 -loop 0 -o anim-offset.webp

for name in lossy lossless lossy-alpha; do
    dwebp -quiet -pam $name.webp -o $name.pam
done
for name in anim anim-offset; do
    quietly webpmux -get frame 1 $name.webp -o $name-1.webp
    dwebp -quiet -pam $name-1.webp -o $name.pam
    webpmux -info $name.webp | awk '/^Canvas size:/ { w = $3; h = $5 } /^ *1:/ { x = $5; y = $6 }
                                   END { print w, h, x, y }' >$name.frame
done
rm tool.log

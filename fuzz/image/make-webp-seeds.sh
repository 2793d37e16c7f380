#!/bin/sh
# Remakes the WebP seed corpus in webp-seeds/ with Debian's webp tools from small ImageMagick
# pictures (run by hand; the seeds are kept in the repository because the fuzz tree does not build
# the test images). Each seed carries the mode byte 1 that WebpFuzzer.cpp reads.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
$convert -size 9x7 -seed 3 plasma: -depth 8 opaque.png
$convert -size 9x7 -seed 5 plasma: -alpha set -channel A -fx 'i/w' +channel -depth 8 alpha.png
$convert -size 4x4 -seed 9 plasma: -alpha set -channel A -fx 'j/h' +channel -depth 8 small.png
cwebp -quiet -q 50 opaque.png -o lossy.webp
cwebp -quiet -lossless alpha.png -o lossless.webp
cwebp -quiet -q 50 alpha.png -o lossy-alpha.webp
cwebp -quiet -lossless small.png -o small.webp
img2webp -loop 0 -lossy alpha.png -lossless opaque.png -o anim.webp >/dev/null 2>&1
webpmux -frame small.webp +100+2+2 -frame lossy.webp +100 -o anim-offset.webp >/dev/null 2>&1
rm -rf "$here/webp-seeds"
mkdir -p "$here/webp-seeds"
for name in lossy lossless lossy-alpha anim anim-offset; do
    { printf '\001'; cat $name.webp; } >"$here/webp-seeds/$name.seed"
done
ls -l "$here/webp-seeds"

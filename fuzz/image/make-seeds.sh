#!/bin/sh
# Remakes the seed corpus in seeds/ from small ImageMagick pictures (run by hand; the seeds are kept
# in the repository because the fuzz tree does not build the test images).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src="-size 9x7 -seed 3 plasma: -strip -define png:exclude-chunk=bKGD"
make() { # make <name> <output prefix, e.g. PNG8: or -> <convert arguments...>
    name=$1 prefix=$2; shift 2
    [ "$prefix" = - ] && prefix=
    $convert $src "$@" "$prefix$work/$name.png"
    $convert $src "$@" -interlace PNG "$prefix$work/$name-i.png"
}
make g1 - -colorspace Gray -depth 1 -define png:color-type=0 -define png:bit-depth=1
make g2 - -colorspace Gray -depth 2 -define png:color-type=0 -define png:bit-depth=2
make g4 - -colorspace Gray -depth 4 -define png:color-type=0 -define png:bit-depth=4
make g8t - -colorspace Gray -alpha set -fill none -draw 'color 0,0 replace' -define png:color-type=0 -define png:bit-depth=8
make g16 - -colorspace Gray -depth 16 -define png:color-type=0 -define png:bit-depth=16
make c8t - -alpha set -fill none -draw 'color 0,0 replace' -define png:color-type=2 -define png:bit-depth=8
make c16 - -depth 16 -define png:color-type=2 -define png:bit-depth=16
make p1 PNG8: -alpha set -channel A -fx 'i/w' +channel +dither -colors 2 -define png:bit-depth=1
make p4 - +dither -colors 16 -define png:color-type=3 -define png:bit-depth=4
make p8 PNG8: -alpha set -channel A -fx 'i/w' +channel +dither -colors 200 -define png:bit-depth=8
make ga8 - -colorspace Gray -alpha set -channel A -fx 'i/w' +channel -define png:color-type=4 -define png:bit-depth=8
make ga16 - -colorspace Gray -alpha set -channel A -fx 'i/w' +channel -depth 16 -define png:color-type=4 -define png:bit-depth=16
make ca8 - -alpha set -channel A -fx 'j/h' +channel -define png:color-type=6 -define png:bit-depth=8
make ca16 - -alpha set -channel A -fx 'j/h' +channel -depth 16 -define png:color-type=6 -define png:bit-depth=16
rm -rf "$here/seeds"
mkdir -p "$here/seeds"
python3 - "$work" "$here/seeds" <<'PY'
import os, struct, sys, zlib
src, dst = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(src)):
    data = open(os.path.join(src, name), 'rb').read()
    raw, out, pos, idat = b'', data[:8], 8, False
    while pos + 12 <= len(data):
        length, = struct.unpack('>I', data[pos:pos + 4])
        ctype, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if ctype == b'IDAT':
            raw += body
        else:
            if raw and not idat:
                plain = zlib.decompress(raw)
                out += struct.pack('>I', len(plain)) + b'IDAT' + plain + b'\0\0\0\0'
                idat = True
            out += data[pos:pos + 12 + length]
        pos += 12 + length
    stem = name[:-4]
    open(os.path.join(dst, stem + '.m1'), 'wb').write(b'\x01' + data)
    open(os.path.join(dst, stem + '.m2'), 'wb').write(b'\x02' + out)
PY
ls "$here/seeds" | wc -l

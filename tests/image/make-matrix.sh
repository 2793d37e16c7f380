#!/bin/sh
# make-matrix.sh <convert> <folder>: writes the PNG test matrix made by ImageMagick, with each
# file's 8-bit RGBA dump made by the same tool as the reference. A name says what the file must be:
# c<colour type>-d<bit depth>[-i (Adam7)][-t (tRNS)]-<width>x<height>; the test checks that the file
# really is so, since ImageMagick quietly picks another form when it cannot honour a request.
set -eu
convert=$1 out=$2
mkdir -p "$out"

make() { # make <colour type> <bit depth> <interlaced 0/1> <tRNS 0/1> <width> <height>
    type=$1 depth=$2 interlaced=$3 trns=$4 width=$5 height=$6
    name=c$type-d$depth
    [ "$interlaced" = 1 ] && name=$name-i
    [ "$trns" = 1 ] && name=$name-t
    name=$name-${width}x$height
    set -- -size ${width}x$height -seed 7 plasma:
    clear="-alpha set -fill none -draw color\ 0,0\ replace"
    prefix=
    case $type in
    0) set -- "$@" -colorspace Gray -depth "$depth" ;;
    2) set -- "$@" -depth "$depth" ;;
    3) set -- "$@" -strip -define png:exclude-chunk=bKGD +dither
       if [ "$trns" = 1 ]; then
           set -- "$@" -alpha set -channel A -fx i/w +channel -colors $((1 << depth))
           prefix=PNG8:   # ImageMagick keeps palette alpha only in this form
       else
           set -- "$@" -colors $((1 << depth))
       fi ;;
    4) set -- "$@" -colorspace Gray -alpha set -channel A -fx i/w +channel -depth "$depth" ;;
    6) set -- "$@" -alpha set -channel A -fx j/h +channel -depth "$depth" ;;
    esac
    if [ "$trns" = 1 ] && [ "$type" != 3 ]; then
        set -- "$@" -alpha set -fill none -draw "color 0,0 replace"
    fi
    [ "$prefix" = PNG8: ] || set -- "$@" -define png:color-type=$type
    [ "$interlaced" = 1 ] && set -- "$@" -interlace PNG
    "$convert" "$@" -define png:bit-depth=$depth "$prefix$out/$name.png"
    "$convert" "$out/$name.png" -depth 8 "rgba:$out/$name.rgba"
}

for interlaced in 0 1; do
    for depth in 1 2 4 8 16; do
        make 0 $depth $interlaced 0 37 23
        make 0 $depth $interlaced 1 37 23
    done
    for depth in 1 2 4 8; do
        make 3 $depth $interlaced 0 37 23
        make 3 $depth $interlaced 1 37 23
    done
    for depth in 8 16; do
        make 2 $depth $interlaced 0 37 23
        make 2 $depth $interlaced 1 37 23
        make 4 $depth $interlaced 0 37 23
        make 6 $depth $interlaced 0 37 23
    done
done
# Sizes where Adam7 passes are empty or one pixel wide, and sub-byte rows end mid-byte.
for size in "1 1" "2 2" "3 3" "5 9" "9 5"; do
    make 6 8 1 0 $size
done
for size in "3 3" "9 1" "1 9"; do
    make 0 1 1 0 $size
done
make 3 2 1 1 5 7
make 6 8 0 0 1 1

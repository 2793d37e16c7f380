#pragma once
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include "image/ImageError.h"
#include "image/RgbaImage.h"

// Caps against decompression bombs and absurd headers. Sizes are checked before anything is
// allocated, and inflation stops as soon as the data would exceed what the header promises.
struct PngLimits {
    uint32_t maxWidth = 32768;
    uint32_t maxHeight = 32768;
    // Size of the decoded RGBA picture (4 bytes a pixel): 64 MiB, e.g. 4096 x 4096 pixels. While
    // decoding, the inflated scanlines need up to as much again (twice as much for 16-bit RGBA).
    uint64_t maxPixelBytes = 64ull * 1024 * 1024;
};

// Decodes a PNG image (any standard colour type, bit depth and interlacing) into 8-bit RGBA.
//  - 16-bit samples are reduced to 8 bits as colour = floor(v16 / 257), alpha = ceil(v16 / 257): 0 and
//    65535 map to 0 and 255, 8-bit data widened to 16 bits (v * 257) comes back unchanged, and a pixel
//    with any opacity keeps some.
//  - Samples of 1, 2 or 4 bits are scaled to the full 0..255 range (v * 255 / (2^depth - 1)).
//  - tRNS gives alpha to grey, truecolour and palette images; palette indices beyond the palette
//    decode as opaque black.
//  - Chunk CRCs and the zlib stream (including its Adler-32) are checked; unknown ancillary chunks
//    and colour information (gAMA, sRGB, iCCP, ...) are ignored; unknown critical chunks are refused.
//  - Parsing stops at IEND; bytes after it are ignored, as are compressed bytes after the end of
//    the zlib stream.
// Throws PngHeaderError when the data does not begin with the PNG signature, PngTooLargeError past
// the limits, PngFormatError for any other fault.
RgbaImage DecodePng(const uint8_t* data, size_t size, const PngLimits& limits = PngLimits());

// Decodes from the stream's current position to its end.
RgbaImage DecodePng(std::istream& stream, const PngLimits& limits = PngLimits());

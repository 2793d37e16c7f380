#pragma once
#include <cstddef>
#include <cstdint>
#include "image/PngDecoder.h"
#include "image/RgbaImage.h"

// The front door for a package's bitmap icons, which come as PNG or WebP whatever their names say:
// the format is told by the first bytes.

// The file begins "RIFF", a size, "WEBP".
bool LooksLikeWebp(const uint8_t* data, size_t size);

// Decodes a PNG or WebP picture (see DecodePng and DecodeWebp). Data that is neither gets the
// PngHeaderError that DecodePng throws for a file without the PNG signature.
RgbaImage DecodeBitmap(const uint8_t* data, size_t size, const PngLimits& limits = PngLimits());

// The dimensions a PNG or WebP header states (an animation's canvas), read without decoding, to
// choose among the sizes of one icon. False when the data is neither or its header is cut short.
bool BitmapSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);

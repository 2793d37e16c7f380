#pragma once
#include <cstddef>
#include <cstdint>
#include "image/ImageError.h"
#include "image/PngDecoder.h"
#include "image/RgbaImage.h"

// Decodes a WebP picture through libwebp: lossy, lossless, either with alpha, and the first frame of
// an animation, given as the whole canvas (the frame at its offset, the rest transparent, as a
// player shows it before the second frame). Colour profiles and the animation's background colour
// are ignored, as browsers do.
// The PNG decoder's limits apply to the picture, or to the canvas of an animation; they are checked
// against the header before anything is decoded or allocated.
// Throws WebpTooLargeError past the limits, WebpFormatError for anything that is not a whole,
// decodable WebP file (std::bad_alloc when memory runs out).
RgbaImage DecodeWebp(const uint8_t* data, size_t size, const PngLimits& limits = PngLimits());

#include "image/Bitmap.h"

#include <webp/decode.h>

#include <cstring>

#include "image/WebpDecoder.h"

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// The signature, then the first chunk, which must be IHDR: its length, type, width and height.
const size_t kPngSizeEnd = 8 + 4 + 4 + 8;

uint32_t ReadBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

} // namespace

bool LooksLikeWebp(const uint8_t* data, size_t size) {
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

RgbaImage DecodeBitmap(const uint8_t* data, size_t size, const PngLimits& limits) {
    if (LooksLikeWebp(data, size))
        return DecodeWebp(data, size, limits);
    return DecodePng(data, size, limits);
}

bool BitmapSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height) {
    if (LooksLikeWebp(data, size)) {
        int w = 0, h = 0;
        if (!WebPGetInfo(data, size, &w, &h) || w <= 0 || h <= 0)
            return false;
        width = uint32_t(w);
        height = uint32_t(h);
        return true;
    }
    if (size < kPngSizeEnd || std::memcmp(data, kPngSignature, sizeof(kPngSignature)) != 0 ||
        std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    uint32_t w = ReadBe32(data + 16), h = ReadBe32(data + 20);
    if (w == 0 || h == 0)
        return false;
    width = w;
    height = h;
    return true;
}

#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded picture: rows top to bottom, each pixel four bytes in the order R, G, B, A, with
// straight (not premultiplied) alpha; rows are packed, so a row is exactly 4 * width bytes.
struct RgbaImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;

    size_t Stride() const { return size_t(width) * 4; }
    const uint8_t* Pixel(uint32_t x, uint32_t y) const { return pixels.data() + y * Stride() + size_t(x) * 4; }
};

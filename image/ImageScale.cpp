#include "image/ImageScale.h"

#include <algorithm>
#include <vector>

// Area averaging in exact integer arithmetic. Measured in units of 1/dst of a source pixel, target
// pixel t covers [t * src, (t + 1) * src) and source pixel s covers [s * dst, (s + 1) * dst); the
// overlap is the source pixel's weight, and a target's weights add up to src. Working a target row
// at a time keeps the memory to a few rows however tall the source is.

namespace {

struct Span {
    uint32_t first = 0;            // first source pixel
    std::vector<uint32_t> weights; // one per source pixel from first on
};

std::vector<Span> MakeSpans(uint32_t src, uint32_t dst) {
    std::vector<Span> spans(dst);
    for (uint32_t t = 0; t < dst; ++t) {
        uint64_t start = uint64_t(t) * src;
        uint64_t end = start + src;
        uint64_t first = start / dst;
        uint64_t last = (end - 1) / dst;
        spans[t].first = uint32_t(first);
        for (uint64_t s = first; s <= last; ++s) {
            uint64_t from = std::max(start, s * dst);
            uint64_t to = std::min(end, (s + 1) * dst);
            spans[t].weights.push_back(uint32_t(to - from));
        }
    }
    return spans;
}

// Side lengths of the reduced image: the longer relative side fills the box, the other follows the
// aspect ratio, rounded to nearest.
void FitSize(uint32_t width, uint32_t height, uint32_t boxWidth, uint32_t boxHeight, uint32_t& newWidth,
             uint32_t& newHeight) {
    if (uint64_t(width) * boxHeight >= uint64_t(height) * boxWidth) {
        newWidth = boxWidth;
        newHeight = uint32_t((uint64_t(height) * boxWidth * 2 + width) / (uint64_t(width) * 2));
    } else {
        newHeight = boxHeight;
        newWidth = uint32_t((uint64_t(width) * boxHeight * 2 + height) / (uint64_t(height) * 2));
    }
    newWidth = std::max<uint32_t>(newWidth, 1);
    newHeight = std::max<uint32_t>(newHeight, 1);
}

} // namespace

RgbaImage ScaleToFit(const RgbaImage& image, uint32_t boxWidth, uint32_t boxHeight) {
    boxWidth = std::max<uint32_t>(boxWidth, 1);
    boxHeight = std::max<uint32_t>(boxHeight, 1);
    if (image.width <= boxWidth && image.height <= boxHeight)
        return image;

    RgbaImage result;
    FitSize(image.width, image.height, boxWidth, boxHeight, result.width, result.height);
    result.pixels.resize(result.Stride() * result.height);
    const std::vector<Span> columns = MakeSpans(image.width, result.width);
    const std::vector<Span> rows = MakeSpans(image.height, result.height);
    const uint64_t totalWeight = uint64_t(image.width) * image.height;

    // Sums of weight * premultiplied colour and weight * alpha over the target row's source area.
    std::vector<uint64_t> targetSums(size_t(result.width) * 4);
    for (uint32_t ty = 0; ty < result.height; ++ty) {
        std::fill(targetSums.begin(), targetSums.end(), 0);
        const Span& rowSpan = rows[ty];
        for (size_t k = 0; k < rowSpan.weights.size(); ++k) {
            const uint8_t* source = image.Pixel(0, rowSpan.first + uint32_t(k));
            for (uint32_t tx = 0; tx < result.width; ++tx) {
                const Span& columnSpan = columns[tx];
                uint64_t r = 0, g = 0, b = 0, a = 0;
                const uint8_t* pixel = source + size_t(columnSpan.first) * 4;
                for (uint32_t weight : columnSpan.weights) {
                    uint64_t weightedAlpha = uint64_t(weight) * pixel[3];
                    r += weightedAlpha * pixel[0];
                    g += weightedAlpha * pixel[1];
                    b += weightedAlpha * pixel[2];
                    a += weightedAlpha;
                    pixel += 4;
                }
                uint64_t* sums = &targetSums[size_t(tx) * 4];
                uint64_t rowWeight = rowSpan.weights[k];
                sums[0] += r * rowWeight;
                sums[1] += g * rowWeight;
                sums[2] += b * rowWeight;
                sums[3] += a * rowWeight;
            }
        }
        uint8_t* out = result.pixels.data() + size_t(ty) * result.Stride();
        for (uint32_t tx = 0; tx < result.width; ++tx, out += 4) {
            const uint64_t* sums = &targetSums[size_t(tx) * 4];
            uint64_t alphaSum = sums[3];
            out[3] = uint8_t((alphaSum * 2 + totalWeight) / (totalWeight * 2));
            for (int c = 0; c < 3; ++c)
                out[c] = alphaSum == 0 ? 0 : uint8_t((sums[c] * 2 + alphaSum) / (alphaSum * 2));
        }
    }
    return result;
}

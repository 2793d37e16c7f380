#include <doctest/doctest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "image/PngFilters.h"

namespace {

// The standard's reconstruction, byte by byte, with the predictor exactly as the standard writes it.
std::vector<uint8_t> Reference(uint8_t type, const std::vector<uint8_t>& filtered, const std::vector<uint8_t>& prior,
                               unsigned bpp) {
    std::vector<uint8_t> out(filtered.size());
    for (size_t i = 0; i < filtered.size(); ++i) {
        int a = i >= bpp ? out[i - bpp] : 0;
        int b = prior[i];
        int c = i >= bpp ? prior[i - bpp] : 0;
        int predictor = 0;
        if (type == 1)
            predictor = a;
        else if (type == 2)
            predictor = b;
        else if (type == 3)
            predictor = (a + b) / 2;
        else if (type == 4) {
            int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        }
        out[i] = uint8_t(filtered[i] + predictor);
    }
    return out;
}

} // namespace

TEST_CASE("the Paeth predictor breaks ties in the order left, above, upper left") {
    // With x = left - upperLeft and y = above - upperLeft the distances are |y|, |x| and |x + y|;
    // random rows seldom tie, so the ties are set up here.
    struct Case {
        uint8_t left, above, upperLeft, expected;
    };
    const Case cases[] = {
        {40, 55, 50, 40},   // pa = pc = 5 < pb = 10: left before upper left
        {55, 40, 50, 40},   // pb = pc = 5 < pa = 10: above before upper left
        {200, 200, 0, 200}, // pa = pb = 200 < pc = 400
        {30, 10, 0, 30},    // pa = 10, pb = 30, pc = 40
        {10, 30, 0, 30},    // pa = 30, pb = 10, pc = 40
        {100, 50, 76, 76},  // pa = 26, pb = 24, pc = 2
        {0, 0, 255, 0},     // p = -255
    };
    for (const Case& c : cases) {
        CAPTURE(int(c.left));
        CAPTURE(int(c.above));
        CAPTURE(int(c.upperLeft));
        // Two one-byte pixels: the first comes out as left, the second as the bare prediction.
        const uint8_t prior[2] = {c.upperLeft, c.above};
        const uint8_t filtered[2] = {uint8_t(c.left - c.upperLeft), 0};
        uint8_t out[2] = {};
        CHECK(UnfilterRow(4, filtered, prior, out, 2, 1));
        CHECK(out[0] == c.left);
        CHECK(out[1] == c.expected);
    }
}

TEST_CASE("every filter and pixel size matches the standard's reconstruction, in place and moved back") {
    std::mt19937 random(12345);
    for (unsigned bpp : {1u, 2u, 3u, 4u, 6u, 8u}) {
        for (uint8_t type = 0; type <= 4; ++type) {
            for (size_t length : {size_t(0), size_t(1), size_t(bpp), size_t(bpp) * 2, size_t(bpp) * 37 + 1}) {
                CAPTURE(bpp);
                CAPTURE(int(type));
                CAPTURE(length);
                std::vector<uint8_t> filtered(length), prior(length);
                for (auto& byte : filtered)
                    byte = uint8_t(random());
                for (auto& byte : prior)
                    byte = uint8_t(random());
                const std::vector<uint8_t> expected = Reference(type, filtered, prior, bpp);

                std::vector<uint8_t> out(length);
                CHECK(UnfilterRow(type, filtered.data(), prior.data(), out.data(), length, bpp));
                CHECK(out == expected);

                std::vector<uint8_t> inPlace = filtered;
                CHECK(UnfilterRow(type, inPlace.data(), prior.data(), inPlace.data(), length, bpp));
                CHECK(inPlace == expected);

                // The output may start before the filtered bytes in the same buffer.
                for (size_t shift : {size_t(1), size_t(3), size_t(9)}) {
                    std::vector<uint8_t> buffer(shift);
                    buffer.insert(buffer.end(), filtered.begin(), filtered.end());
                    CHECK(UnfilterRow(type, buffer.data() + shift, prior.data(), buffer.data(), length, bpp));
                    CHECK(std::vector<uint8_t>(buffer.begin(), buffer.begin() + length) == expected);
                }
            }
        }
    }
}

TEST_CASE("unknown filter types and pixel sizes are refused") {
    std::vector<uint8_t> row(8, 1), prior(8, 0), out(8);
    for (uint8_t type : {uint8_t(5), uint8_t(6), uint8_t(255)})
        CHECK_FALSE(UnfilterRow(type, row.data(), prior.data(), out.data(), row.size(), 4));
    for (unsigned bpp : {0u, 5u, 7u, 9u})
        CHECK_FALSE(UnfilterRow(0, row.data(), prior.data(), out.data(), row.size(), bpp));
}

#include <doctest/doctest.h>

#include <algorithm>

#include "image/ImageScale.h"

namespace {

RgbaImage Make(uint32_t width, uint32_t height, std::initializer_list<uint8_t> pixels) {
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels = pixels;
    return image;
}

RgbaImage Filled(uint32_t width, uint32_t height, const uint8_t (&rgba)[4]) {
    RgbaImage image;
    image.width = width;
    image.height = height;
    for (size_t i = 0; i < size_t(width) * height; ++i)
        image.pixels.insert(image.pixels.end(), rgba, rgba + 4);
    return image;
}

} // namespace

TEST_CASE("the result fits the box and keeps the aspect ratio") {
    struct Case {
        uint32_t width, height, expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {48, 48, 48, 48},   {72, 72, 72, 72},   {64, 20, 64, 20},   {144, 144, 72, 72}, {73, 73, 72, 72},
        {300, 100, 72, 24}, {100, 300, 24, 72}, {150, 100, 72, 48}, {72, 100, 52, 72},  {73, 10, 72, 10},
        {200, 7, 72, 3},    {1000, 1, 72, 1},   {1, 1000, 1, 72},
    };
    const uint8_t grey[4] = {90, 90, 90, 255};
    for (const Case& c : cases) {
        CAPTURE(c.width);
        CAPTURE(c.height);
        RgbaImage image = Filled(c.width, c.height, grey);
        image.pixels[0] = 7; // an image that fits must come back untouched
        RgbaImage scaled = ScaleToFit(image, 72, 72);
        CHECK(scaled.width == c.expectedWidth);
        CHECK(scaled.height == c.expectedHeight);
        CHECK(scaled.pixels.size() == size_t(scaled.width) * scaled.height * 4);
        if (c.width <= 72 && c.height <= 72)
            CHECK(scaled.pixels == image.pixels);
    }
}

TEST_CASE("area averages, with colour weighted by alpha") {
    struct Case {
        const char* what;
        RgbaImage image;
        uint32_t boxWidth, boxHeight;
        RgbaImage expected;
    };
    const Case cases[] = {
        {"two by two into one", Make(2, 2, {0, 0, 0, 255, 100, 40, 8, 255, 200, 80, 16, 255, 100, 0, 0, 255}), 1, 1,
         Make(1, 1, {100, 30, 6, 255})},
        {"a transparent pixel lends no colour", Make(2, 1, {255, 0, 0, 0, 0, 0, 255, 255}), 1, 1,
         Make(1, 1, {0, 0, 255, 128})},
        {"colour weighted by alpha", Make(2, 1, {255, 0, 0, 64, 0, 0, 255, 192}), 1, 1, Make(1, 1, {64, 0, 191, 128})},
        {"all transparent", Make(2, 1, {255, 0, 0, 0, 0, 255, 0, 0}), 1, 1, Make(1, 1, {0, 0, 0, 0})},
        {"fractional weights: three into two", Make(3, 1, {0, 0, 0, 255, 90, 90, 90, 255, 180, 180, 180, 255}), 2, 2,
         Make(2, 1, {30, 30, 30, 255, 150, 150, 150, 255})},
        // Weights 2 and 1 of a third along both axes: the corner pixel counts 4/9, its neighbours 2/9.
        {"fractional weights in two dimensions", Make(3, 3, {0,   0, 0, 255, 90,  0, 0, 255, 180, 0, 0, 255, //
                                                             90,  0, 0, 255, 180, 0, 0, 255, 0,   0, 0, 255, //
                                                             180, 0, 0, 255, 0,   0, 0, 255, 90,  0, 0, 255}),
         2, 2, Make(2, 2, {60, 0, 0, 255, 120, 0, 0, 255, 120, 0, 0, 255, 60, 0, 0, 255})},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        RgbaImage scaled = ScaleToFit(c.image, c.boxWidth, c.boxHeight);
        CHECK(scaled.width == c.expected.width);
        CHECK(scaled.height == c.expected.height);
        CHECK(scaled.pixels == c.expected.pixels);
    }
}

TEST_CASE("a uniform picture stays exactly uniform at any ratio") {
    const uint8_t colour[4] = {12, 200, 77, 131};
    RgbaImage scaled = ScaleToFit(Filled(100, 37, colour), 72, 72);
    REQUIRE(scaled.width == 72);
    REQUIRE(scaled.height == 27);
    for (size_t i = 0; i < scaled.pixels.size(); i += 4)
        CHECK(std::equal(colour, colour + 4, &scaled.pixels[i]));
}

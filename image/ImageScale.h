#pragma once
#include <cstdint>
#include "image/RgbaImage.h"

// Fits an image into a box of boxWidth x boxHeight pixels keeping its aspect ratio. An image that
// already fits is returned unchanged; a larger one is reduced by area averaging: each target pixel
// is the mean of the source area it covers, with fractional edge weights, and colour is weighted by
// alpha so transparent pixels lend no colour to their neighbours. Neither side becomes smaller than
// one pixel. Box sides of zero are treated as one.
RgbaImage ScaleToFit(const RgbaImage& image, uint32_t boxWidth, uint32_t boxHeight);

#pragma once
#include <cstdint>

#include "drawable/Canvas.h"
#include "drawable/Drawable.h"
#include "image/RgbaImage.h"

struct TRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// Draws a drawable into bounds on the canvas (pixels), its dp lengths at pxPerDp pixels each.
// False when a part of it is beyond what can be drawn (a path too large for the rasteriser); the
// canvas may then hold part of it.
bool DrawDrawable(const TDrawable& drawable, TCanvas& canvas, const TRect& bounds, double pxPerDp);

// The icon as a phone's launcher shows it, in a square of box pixels. An adaptive icon's layers lie
// on a canvas of 108 x 108 dp whose middle 72 x 72 dp fill the box, clipped to a square with
// corners rounded by a fifth of its side; any other drawable fills the box, as a 48 dp launcher
// icon. False when it can't be drawn.
bool RenderIcon(const TDrawable& drawable, uint32_t box, RgbaImage& icon);

// The size a drawable has of its own, in dp; below zero where it has none (colours, most shapes).
double IntrinsicWidth(const TDrawable& drawable);
double IntrinsicHeight(const TDrawable& drawable);

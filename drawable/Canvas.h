#pragma once
#include <cstdint>
#include <vector>

#include "drawable/Paint.h"
#include "drawable/Raster.h"
#include "image/RgbaImage.h"

// A picture being drawn: premultiplied RGBA as floats, transparent at the start. Floats keep the
// layers of an icon (paths, a drawable's alpha, the mask of an adaptive icon) free of rounding until
// the one conversion to bytes at the end; icons are small, so four floats a pixel cost little.
// A size of zero or past the caps (CanvasSizeOk) gives an empty canvas on which drawing does nothing.
// How a tint colour combines with what is drawn, as the platform's tint modes do.
enum class TTintMode { SrcIn, SrcAtop, SrcOver, Multiply, Screen, Add };

class TCanvas {
public:
    TCanvas(uint32_t width, uint32_t height);

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    // The premultiplied pixel at (x, y), inside the canvas.
    TColor At(uint32_t x, uint32_t y) const;

    // Paints where coverage is, source over, weighted by coverage, the paint's alpha and clip.
    void Fill(const TMask& coverage, const TPaint& paint, const TMask* clip = nullptr);
    // Draws a picture scaled into the rectangle (x, y, w, h) of device pixels: bilinear along an axis
    // that is enlarged, area averaging along one that is shrunk, weighted by alpha so transparent
    // pixels lend no colour. Edges at fractions of a pixel are covered in part.
    void DrawImage(const RgbaImage& image, double x, double y, double w, double h, float alpha = 1,
                   const TMask* clip = nullptr);
    // Lays another canvas over this one (their overlap, when the sizes differ).
    void DrawCanvas(const TCanvas& layer, float alpha = 1, const TMask* mask = nullptr);
    // Keeps what is drawn only where the mask covers it, in proportion (an icon's outline).
    void Keep(const TMask& mask);
    // Tints everything drawn so far with one colour (ARGB), as a drawable's android:tint does.
    void Tint(uint32_t argb, TTintMode mode);
    // Straight-alpha 8-bit RGBA, each channel rounded to nearest.
    RgbaImage ToImage() const;

private:
    void Blend(uint32_t x, uint32_t y, const TColor& source, float weight);

    uint32_t width_ = 0, height_ = 0;
    std::vector<float> pixels_;
};

#pragma once
#include <cstdint>
#include <vector>

#include "drawable/Geometry.h"
#include "drawable/PathData.h"

enum class TFillRule { NonZero, EvenOdd };
enum class TLineCap { Butt, Round, Square };
enum class TLineJoin { Miter, Round, Bevel };

// width is in device pixels; zero (or less) draws a one-pixel hairline, as Skia does for a stroke of
// width 0. Miter joins longer than miterLimit times the width turn into bevels.
struct TStroke {
    double width = 1;
    TLineCap cap = TLineCap::Butt;
    TLineJoin join = TLineJoin::Miter;
    double miterLimit = 4;
};

// Caps on the canvas: the rasteriser's spans address columns with 16 bits, and the canvas keeps four
// floats a pixel.
constexpr uint32_t kMaxCanvasSide = 8192;
constexpr uint64_t kMaxCanvasPixels = uint64_t(1) << 22;
bool CanvasSizeOk(uint32_t width, uint32_t height);

// Pixel rectangle [left, right) x [top, bottom).
struct TBox {
    uint32_t left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return left >= right || top >= bottom; }
};

TBox IntersectBoxes(const TBox& a, const TBox& b);

// 8-bit coverage over a canvas of Width() x Height(). Only the part that can be non-zero is stored,
// and Bounds() is the box of the non-zero coverage, so drawing a small shape on a large canvas costs
// its box.
class TMask {
public:
    TMask() = default;
    // Zero coverage, with storage for `area` (cut to the size).
    TMask(uint32_t width, uint32_t height, const TBox& area);
    // Full coverage everywhere.
    static TMask Opaque(uint32_t width, uint32_t height);

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    const TBox& Bounds() const { return bounds_; }
    uint8_t At(uint32_t x, uint32_t y) const {
        if (x < area_.left || x >= area_.right || y < area_.top || y >= area_.bottom)
            return 0;
        return coverage_[size_t(y - area_.top) * (area_.right - area_.left) + (x - area_.left)];
    }
    // The stored coverage of row y from column `from`, or null where the row holds none; the
    // pointer reaches to the storage area's right edge (Bounds() lies within it).
    const uint8_t* Row(uint32_t y, uint32_t from) const {
        if (y < area_.top || y >= area_.bottom || from < area_.left || from >= area_.right)
            return nullptr;
        return coverage_.data() + size_t(y - area_.top) * (area_.right - area_.left) + (from - area_.left);
    }
    // Raises the coverage of a run of pixels (the part inside the storage area) to at least value.
    void Raise(uint32_t x, uint32_t y, uint32_t count, uint8_t value);

private:
    uint32_t width_ = 0, height_ = 0;
    TBox area_, bounds_;
    std::vector<uint8_t> coverage_;
};

// The coverage of a filled path on a canvas of width x height, with the path mapped by toDevice.
// Anti-aliased by FreeType's smooth rasteriser. False when the size is zero or past the caps, a
// point is not finite after the transform, the outline has more points than one FreeType outline
// holds (32767), or FreeType fails. Shapes reaching far outside the canvas are cut at a margin
// around it in a way that keeps every pixel inside exact.
bool FillMask(const TPath& path, const TMatrix& toDevice, TFillRule rule, uint32_t width, uint32_t height, TMask& out);

// The coverage of the path's stroke: the path is mapped to device space first and stroked there by
// FreeType's stroker, so the width is the same in every direction. Open contours get caps, closed
// ones joins, and a contour of zero length draws a dot with round or square caps. Contours are
// stroked one by one, so only a single contour whose stroke needs more than 32767 outline points
// fails. Otherwise false as FillMask.
bool StrokeMask(const TPath& path, const TMatrix& toDevice, const TStroke& stroke, uint32_t width, uint32_t height,
                TMask& out);

// Coverage of both (the product), for clip paths. Masks of different sizes meet in their overlap.
TMask Intersect(const TMask& a, const TMask& b);

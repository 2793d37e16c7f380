#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "drawable/Geometry.h"

// Colours are ARGB as Android writes them (#AARRGGBB).
struct TGradientStop {
    float offset = 0;
    uint32_t argb = 0;
};

enum class TTileMode { Clamp, Repeat, Mirror };

// A gradient in the path's own (local) coordinates. Stops are taken sorted by offset (the sort keeps
// the order of equal offsets, which makes hard edges) with offsets clamped to [0, 1]; colours blend
// unpremultiplied. Linear runs from start to end, radial from center out to radius, sweep turns
// clockwise on screen from the positive x axis around center, a full turn being 0 to 1.
// A gradient with no length (start == end, radius <= 0, or a localToDevice that flattens the plane) is
// one colour, as Android's Skia makes it: the last stop's with Clamp, the mean colour of the gradient
// with Repeat and Mirror. No stops: nothing is painted.
struct TGradient {
    enum class TKind { Linear, Radial, Sweep };
    TKind kind = TKind::Linear;
    TPoint start, end;
    TPoint center;
    double radius = 0;
    std::vector<TGradientStop> stops;
    TTileMode tile = TTileMode::Clamp;
};

// What a path is painted with: argb unless gradient is set; alpha multiplies either (fill or stroke
// alpha times the drawable's). localToDevice places the gradient's coordinates on the canvas.
struct TPaint {
    uint32_t argb = 0xFF000000;
    std::optional<TGradient> gradient;
    TMatrix localToDevice;
    float alpha = 1;
};

// A premultiplied colour with channels in [0, 1].
struct TColor {
    float r = 0, g = 0, b = 0, a = 0;
};

TColor PremultipliedColor(uint32_t argb);

// A paint made ready to be read at pixel centres of the canvas.
class TShader {
public:
    explicit TShader(const TPaint& paint);
    // The colour at device point (x, y), alpha included.
    TColor At(double x, double y) const;
    // The colours at the centres of count pixels of row y from column x.
    void Row(uint32_t x, uint32_t y, uint32_t count, TColor* out) const;
    bool IsSolid() const { return !gradient_; }

private:
    TColor Lookup(double t) const;
    TColor Blend(double t) const;

    bool gradient_ = false;
    TColor solid_;
    TGradient::TKind kind_ = TGradient::TKind::Linear;
    TTileMode tile_ = TTileMode::Clamp;
    TMatrix deviceToLocal_;
    TPoint origin_, axis_; // linear: t = dot(p - origin, axis); radial and sweep: origin is the centre
    double radius_ = 1;
    float alpha_ = 1;
    // Sorted stops, unpremultiplied channels in [0, 1].
    struct TStop {
        double offset;
        float a, r, g, b;
    };
    std::vector<TStop> stops_;
    // The gradient's colours at kTableSize even steps over [0, 1], premultiplied: a pixel costs one
    // look-up rather than a search among the stops (icons fill whole canvases with gradients).
    static constexpr int kTableSize = 1024;
    std::vector<TColor> table_;
};

#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "drawable/Canvas.h"
#include "drawable/Geometry.h"
#include "drawable/Paint.h"
#include "drawable/PathData.h"
#include "drawable/Raster.h"
#include "image/RgbaImage.h"

// A drawable as the package describes it, read and resolved: every reference followed, every
// colour known, every path parsed. Sizes are in density-independent pixels (dp) unless named
// otherwise; drawing turns them into pixels.

struct TDrawable;
using TDrawablePtr = std::shared_ptr<const TDrawable>;

// What fills or strokes a vector path: a colour, or a gradient in the path's own coordinates.
struct TVectorPaint {
    uint32_t argb = 0;
    std::optional<TGradient> gradient;
    bool Visible() const { return gradient || (argb >> 24) != 0; }
};

struct TVectorPath {
    TPath path;
    TVectorPaint fill;
    float fillAlpha = 1;
    TFillRule fillRule = TFillRule::NonZero;
    TVectorPaint stroke;
    float strokeAlpha = 1;
    double strokeWidth = 0; // viewport units
    TLineCap cap = TLineCap::Butt;
    TLineJoin join = TLineJoin::Miter;
    double miterLimit = 4;
    double trimStart = 0;
    double trimEnd = 1;
    double trimOffset = 0;
};

struct TVectorClip {
    TPath path;
};

struct TVectorGroup;
using TVectorNode = std::variant<TVectorPath, TVectorClip, std::unique_ptr<TVectorGroup>>;

struct TVectorGroup {
    double rotation = 0; // degrees
    double pivotX = 0;
    double pivotY = 0;
    double scaleX = 1;
    double scaleY = 1;
    double translateX = 0;
    double translateY = 0;
    std::vector<TVectorNode> children;

    // The group's own transform, in the order the platform applies it: about the pivot, scale,
    // then rotate, then move.
    TMatrix Local() const;
};

struct TVectorDrawable {
    double width = 0; // the intrinsic size
    double height = 0;
    double viewportWidth = 0;
    double viewportHeight = 0;
    float alpha = 1;
    std::optional<uint32_t> tint;
    TTintMode tintMode = TTintMode::SrcIn;
    TVectorGroup root;
};

struct TColorDrawable {
    uint32_t argb = 0;
};

struct TBitmapDrawable {
    RgbaImage image;
    double density = 160; // of the folder it came from, for its intrinsic size
};

// An inset is a length in dp or a fraction of the drawable's bounds.
struct TInset {
    double value = 0;
    bool fraction = false;
};

struct TInsetDrawable {
    TDrawablePtr inner;
    TInset left, top, right, bottom;
};

struct TLayerItem {
    TDrawablePtr drawable;
    double left = 0, top = 0, right = 0, bottom = 0; // dp
    double width = -1, height = -1;                  // dp; below zero when not given
    std::optional<uint32_t> gravity;                 // the platform's Gravity bits
};

struct TLayerListDrawable {
    std::vector<TLayerItem> items;
};

// <shape>'s gradient: placed by the shape's bounds rather than by coordinates.
struct TShapeGradient {
    TGradient::TKind kind = TGradient::TKind::Linear;
    double angle = 0; // degrees, linear only
    double centerX = 0.5, centerY = 0.5;
    double radius = 0.5; // radial
    enum class TRadius { Pixels, Fraction, FractionOfParent } radiusUnit = TRadius::Pixels;
    std::vector<TGradientStop> stops;
};

struct TShapeDrawable {
    enum class TKind { Rectangle, Oval } kind = TKind::Rectangle;
    // Corner radii in dp: top left, top right, bottom right, bottom left.
    double radii[4] = {0, 0, 0, 0};
    std::optional<uint32_t> solid;
    std::optional<TShapeGradient> gradient;
    double strokeWidth = 0; // dp
    uint32_t strokeArgb = 0;
    double width = -1, height = -1; // <size>, dp
};

struct TAdaptiveIcon {
    TDrawablePtr background;
    TDrawablePtr foreground;
};

struct TDrawable {
    std::variant<TColorDrawable, TBitmapDrawable, TVectorDrawable, TInsetDrawable, TLayerListDrawable, TShapeDrawable,
                 TAdaptiveIcon>
        kind;
};

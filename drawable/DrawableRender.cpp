#include "drawable/DrawableRender.h"

#include <algorithm>
#include <cmath>

TMatrix TVectorGroup::Local() const {
    return TMatrix::Translate(translateX + pivotX, translateY + pivotY) * TMatrix::Rotate(rotation) *
           TMatrix::Scale(scaleX, scaleY) * TMatrix::Translate(-pivotX, -pivotY);
}

namespace {

// Gravity bits as the platform packs them: per axis, "specified", "pull before" and "pull after".
constexpr uint32_t kPullBefore = 2;
constexpr uint32_t kPullAfter = 4;
constexpr uint32_t kAxisX = 0;
constexpr uint32_t kAxisY = 4;
constexpr uint32_t kHorizontalMask = 0x07;
constexpr uint32_t kVerticalMask = 0x70;
constexpr uint32_t kFillHorizontal = 0x07;
constexpr uint32_t kFillVertical = 0x70;
constexpr uint32_t kLeft = 0x03;
constexpr uint32_t kTop = 0x30;

// A rectangle with each corner rounded (radii: top left, top right, bottom right, bottom left),
// the radii shrunk together where two of them would overlap along a side.
TPath RoundedRect(const TRect& r, const double radii[4]) {
    double k[4];
    for (int i = 0; i < 4; ++i)
        k[i] = std::max(0.0, radii[i]);
    double scale = 1;
    const double sides[4] = {r.width, r.height, r.width, r.height};
    const double pairs[4] = {k[0] + k[1], k[1] + k[2], k[2] + k[3], k[3] + k[0]};
    for (int i = 0; i < 4; ++i) {
        if (pairs[i] > sides[i] && pairs[i] > 0)
            scale = std::min(scale, sides[i] / pairs[i]);
    }
    for (double& radius : k)
        radius *= scale;
    // A quarter circle as one cubic: control points at this fraction of the radius.
    const double c = 0.5522847498;
    const double x0 = r.x, y0 = r.y, x1 = r.x + r.width, y1 = r.y + r.height;
    TPath path;
    auto move = [&](double x, double y) {
        path.verbs.push_back(TPath::TVerb::Move);
        path.points.push_back(TPoint{x, y});
    };
    auto line = [&](double x, double y) {
        path.verbs.push_back(TPath::TVerb::Line);
        path.points.push_back(TPoint{x, y});
    };
    auto cubic = [&](TPoint a, TPoint b, TPoint end) {
        path.verbs.push_back(TPath::TVerb::Cubic);
        path.points.insert(path.points.end(), {a, b, end});
    };
    move(x0 + k[0], y0);
    line(x1 - k[1], y0);
    if (k[1] > 0)
        cubic({x1 - k[1] * (1 - c), y0}, {x1, y0 + k[1] * (1 - c)}, {x1, y0 + k[1]});
    line(x1, y1 - k[2]);
    if (k[2] > 0)
        cubic({x1, y1 - k[2] * (1 - c)}, {x1 - k[2] * (1 - c), y1}, {x1 - k[2], y1});
    line(x0 + k[3], y1);
    if (k[3] > 0)
        cubic({x0 + k[3] * (1 - c), y1}, {x0, y1 - k[3] * (1 - c)}, {x0, y1 - k[3]});
    line(x0, y0 + k[0]);
    if (k[0] > 0)
        cubic({x0, y0 + k[0] * (1 - c)}, {x0 + k[0] * (1 - c), y0}, {x0 + k[0], y0});
    path.verbs.push_back(TPath::TVerb::Close);
    return path;
}

class TPainter {
public:
    TPainter(TCanvas& canvas, double pxPerDp) : canvas_(canvas), pxPerDp_(pxPerDp) {}

    bool Draw(const TDrawable& drawable, const TRect& bounds, const TMask* clip) {
        if (!(bounds.width > 0 && bounds.height > 0))
            return true; // nothing to cover
        if (const auto* color = std::get_if<TColorDrawable>(&drawable.kind))
            return Fill(RoundedRect(bounds, kNoRadii), TPaint{color->argb, std::nullopt, TMatrix(), 1}, clip);
        if (const auto* bitmap = std::get_if<TBitmapDrawable>(&drawable.kind)) {
            canvas_.DrawImage(bitmap->image, bounds.x, bounds.y, bounds.width, bounds.height, 1, clip);
            return true;
        }
        if (const auto* vector = std::get_if<TVectorDrawable>(&drawable.kind))
            return Vector(*vector, bounds, clip);
        if (const auto* inset = std::get_if<TInsetDrawable>(&drawable.kind))
            return Inset(*inset, bounds, clip);
        if (const auto* list = std::get_if<TLayerListDrawable>(&drawable.kind))
            return LayerList(*list, bounds, clip);
        if (const auto* shape = std::get_if<TShapeDrawable>(&drawable.kind))
            return Shape(*shape, bounds, clip);
        return false; // an adaptive icon is drawn only as a whole icon
    }

private:
    static constexpr double kNoRadii[4] = {0, 0, 0, 0};

    bool Fill(const TPath& path, const TPaint& paint, const TMask* clip) {
        TMask mask;
        if (!FillMask(path, TMatrix(), TFillRule::NonZero, canvas_.Width(), canvas_.Height(), mask))
            return false;
        canvas_.Fill(mask, paint, clip);
        return true;
    }

    bool Inset(const TInsetDrawable& inset, const TRect& bounds, const TMask* clip) {
        auto length = [&](const TInset& value, double side) {
            return value.fraction ? value.value * side : value.value * pxPerDp_;
        };
        const double left = length(inset.left, bounds.width);
        const double right = length(inset.right, bounds.width);
        const double top = length(inset.top, bounds.height);
        const double bottom = length(inset.bottom, bounds.height);
        const TRect inner{bounds.x + left, bounds.y + top, bounds.width - left - right, bounds.height - top - bottom};
        return !inset.inner || Draw(*inset.inner, inner, clip);
    }

    // Where a layer goes in its container, as the platform's layer list places it.
    static void Place(uint32_t gravity, double size, double start, double extent, uint32_t shift, double& outStart,
                      double& outSize) {
        switch ((gravity >> shift) & (kPullBefore | kPullAfter)) {
        case 0: // centred
            outStart = start + (extent - size) / 2;
            outSize = size;
            break;
        case kPullBefore:
            outStart = start;
            outSize = size;
            break;
        case kPullAfter:
            outStart = start + extent - size;
            outSize = size;
            break;
        default: // filled
            outStart = start;
            outSize = extent;
            break;
        }
    }

    bool LayerList(const TLayerListDrawable& list, const TRect& bounds, const TMask* clip) {
        for (const TLayerItem& item : list.items) {
            if (!item.drawable)
                continue;
            const TRect container{bounds.x + item.left * pxPerDp_, bounds.y + item.top * pxPerDp_,
                                  bounds.width - (item.left + item.right) * pxPerDp_,
                                  bounds.height - (item.top + item.bottom) * pxPerDp_};
            const double intrinsicWidth = IntrinsicWidth(*item.drawable);
            const double intrinsicHeight = IntrinsicHeight(*item.drawable);
            uint32_t gravity = item.gravity.value_or(0) & 0xFF; // start and end read as left and right
            if ((gravity & kHorizontalMask) == 0)
                gravity |= item.width < 0 ? kFillHorizontal : kLeft;
            if ((gravity & kVerticalMask) == 0)
                gravity |= item.height < 0 ? kFillVertical : kTop;
            if (item.width < 0 && intrinsicWidth < 0)
                gravity |= kFillHorizontal;
            if (item.height < 0 && intrinsicHeight < 0)
                gravity |= kFillVertical;
            const double width = (item.width >= 0 ? item.width : intrinsicWidth) * pxPerDp_;
            const double height = (item.height >= 0 ? item.height : intrinsicHeight) * pxPerDp_;
            TRect placed;
            Place(gravity, width, container.x, container.width, kAxisX, placed.x, placed.width);
            Place(gravity, height, container.y, container.height, kAxisY, placed.y, placed.height);
            if (!Draw(*item.drawable, placed, clip))
                return false;
        }
        return true;
    }

    TGradient ShapeGradient(const TShapeGradient& shape, const TRect& r) const {
        TGradient gradient;
        gradient.kind = shape.kind;
        gradient.stops = shape.stops;
        gradient.tile = TTileMode::Clamp;
        if (shape.kind == TGradient::TKind::Linear) {
            // The angle turns the gradient in steps of 45 degrees, counter-clockwise from "left to right".
            const long step = ((std::lround(shape.angle / 45.0) % 8) + 8) % 8;
            const double left = r.x, top = r.y, right = r.x + r.width, bottom = r.y + r.height;
            const TPoint ends[8][2] = {
                {{left, top}, {right, top}},    {{left, bottom}, {right, top}}, {{left, bottom}, {left, top}},
                {{right, bottom}, {left, top}}, {{right, top}, {left, top}},    {{right, top}, {left, bottom}},
                {{left, top}, {left, bottom}},  {{left, top}, {right, bottom}},
            };
            gradient.start = ends[step][0];
            gradient.end = ends[step][1];
        } else {
            gradient.center = TPoint{r.x + r.width * shape.centerX, r.y + r.height * shape.centerY};
            gradient.radius = shape.radiusUnit == TShapeGradient::TRadius::Pixels
                                  ? shape.radius * pxPerDp_
                                  : shape.radius * std::min(r.width, r.height);
        }
        return gradient;
    }

    bool Shape(const TShapeDrawable& shape, const TRect& bounds, const TMask* clip) {
        const double stroke = std::max(0.0, shape.strokeWidth * pxPerDp_);
        // The outline runs half a stroke inside the bounds, so the stroke stays within them.
        const TRect r{bounds.x + stroke / 2, bounds.y + stroke / 2, bounds.width - stroke, bounds.height - stroke};
        if (!(r.width > 0 && r.height > 0))
            return true;
        double radii[4];
        for (int i = 0; i < 4; ++i)
            radii[i] = shape.radii[i] * pxPerDp_;
        const TPath outline =
            shape.kind == TShapeDrawable::TKind::Oval ? OvalPath(r.x, r.y, r.width, r.height) : RoundedRect(r, radii);
        TPaint paint;
        if (shape.gradient) {
            paint.gradient = ShapeGradient(*shape.gradient, r);
            paint.argb = 0xFF000000;
        } else {
            paint.argb = shape.solid.value_or(0);
        }
        if ((shape.gradient || (paint.argb >> 24) != 0) && !Fill(outline, paint, clip))
            return false;
        if (stroke > 0 && (shape.strokeArgb >> 24) != 0) {
            TMask mask;
            const TStroke pen{stroke, TLineCap::Butt, TLineJoin::Miter, 4};
            if (!StrokeMask(outline, TMatrix(), pen, canvas_.Width(), canvas_.Height(), mask))
                return false;
            canvas_.Fill(mask, TPaint{shape.strokeArgb, std::nullopt, TMatrix(), 1}, clip);
        }
        return true;
    }

    struct TVectorPass {
        TCanvas* canvas;
        TMatrix toDevice; // viewport to canvas pixels
        double minScale;
    };

    bool Vector(const TVectorDrawable& vector, const TRect& bounds, const TMask* clip) {
        const double scaleX = bounds.width / vector.viewportWidth;
        const double scaleY = bounds.height / vector.viewportHeight;
        const bool separate = vector.alpha < 1 || vector.tint;
        // With an alpha or a tint the vector is drawn on its own and then laid on as a whole.
        TCanvas layer(separate ? canvas_.Width() : 1, separate ? canvas_.Height() : 1);
        TVectorPass pass{separate ? &layer : &canvas_,
                         TMatrix::Translate(bounds.x, bounds.y) * TMatrix::Scale(scaleX, scaleY),
                         std::min(scaleX, scaleY)};
        if (!Group(vector.root, TMatrix(), pass, separate ? nullptr : clip))
            return false;
        if (separate) {
            if (vector.tint)
                layer.Tint(*vector.tint, vector.tintMode);
            canvas_.DrawCanvas(layer, vector.alpha, clip);
        }
        return true;
    }

    bool Group(const TVectorGroup& group, const TMatrix& stacked, const TVectorPass& pass, const TMask* clip) {
        // A clip path clips what follows it in its group, inside and below; each one narrows the clip.
        TMask groupClip;
        const TMask* current = clip;
        for (const TVectorNode& node : group.children) {
            if (const auto* path = std::get_if<TVectorPath>(&node)) {
                if (!Path(*path, stacked, pass, current))
                    return false;
            } else if (const auto* clipPath = std::get_if<TVectorClip>(&node)) {
                TMask mask;
                if (!FillMask(clipPath->path, pass.toDevice * stacked, TFillRule::NonZero, pass.canvas->Width(),
                              pass.canvas->Height(), mask))
                    return false;
                groupClip = current ? Intersect(*current, mask) : std::move(mask);
                current = &groupClip;
            } else if (const auto* inner = std::get_if<std::unique_ptr<TVectorGroup>>(&node)) {
                if (!Group(**inner, stacked * (*inner)->Local(), pass, current))
                    return false;
            }
        }
        return true;
    }

    bool Path(const TVectorPath& vectorPath, const TMatrix& stacked, const TVectorPass& pass, const TMask* clip) {
        const bool fill = vectorPath.fill.Visible() && vectorPath.fillAlpha > 0;
        const bool stroke = vectorPath.stroke.Visible() && vectorPath.strokeAlpha > 0 && vectorPath.strokeWidth > 0;
        if ((!fill && !stroke) || vectorPath.path.verbs.empty())
            return true;
        const bool trimmed = vectorPath.trimStart != 0 || vectorPath.trimEnd != 1;
        const TPath path =
            trimmed ? TrimPath(vectorPath.path, vectorPath.trimStart, vectorPath.trimEnd, vectorPath.trimOffset)
                    : TPath();
        const TPath& shape = trimmed ? path : vectorPath.path;
        const TMatrix toDevice = pass.toDevice * stacked;
        TCanvas& canvas = *pass.canvas;
        if (fill) {
            TMask mask;
            if (!FillMask(shape, toDevice, vectorPath.fillRule, canvas.Width(), canvas.Height(), mask))
                return false;
            canvas.Fill(mask, TPaint{vectorPath.fill.argb, vectorPath.fill.gradient, toDevice, vectorPath.fillAlpha},
                        clip);
        }
        if (stroke) {
            const double width = vectorPath.strokeWidth * StrokeWidthFactor(stacked) * pass.minScale;
            if (width > 0) {
                TMask mask;
                const TStroke pen{width, vectorPath.cap, vectorPath.join, vectorPath.miterLimit};
                if (!StrokeMask(shape, toDevice, pen, canvas.Width(), canvas.Height(), mask))
                    return false;
                canvas.Fill(
                    mask, TPaint{vectorPath.stroke.argb, vectorPath.stroke.gradient, toDevice, vectorPath.strokeAlpha},
                    clip);
            }
        }
        return true;
    }

    TCanvas& canvas_;
    double pxPerDp_;
};

} // namespace

bool DrawDrawable(const TDrawable& drawable, TCanvas& canvas, const TRect& bounds, double pxPerDp) {
    return TPainter(canvas, pxPerDp).Draw(drawable, bounds, nullptr);
}

bool RenderIcon(const TDrawable& drawable, uint32_t box, RgbaImage& icon) {
    if (box == 0)
        return false;
    const double side = box;
    TCanvas canvas(box, box);
    if (const auto* adaptive = std::get_if<TAdaptiveIcon>(&drawable.kind)) {
        const TRect bounds{-side / 4, -side / 4, side * 1.5, side * 1.5};
        const double pxPerDp = side / 72;
        for (const TDrawablePtr& layer : {adaptive->background, adaptive->foreground}) {
            if (layer && !DrawDrawable(*layer, canvas, bounds, pxPerDp))
                return false;
        }
        TMask mask;
        const TPath outline = RoundRectPath(0, 0, side, side, side / 5, side / 5);
        if (!FillMask(outline, TMatrix(), TFillRule::NonZero, box, box, mask))
            return false;
        canvas.Keep(mask);
    } else if (!DrawDrawable(drawable, canvas, TRect{0, 0, side, side}, side / 48)) {
        return false;
    }
    icon = canvas.ToImage();
    return true;
}

namespace {

double Intrinsic(const TDrawable& drawable, bool width) {
    if (const auto* vector = std::get_if<TVectorDrawable>(&drawable.kind))
        return width ? vector->width : vector->height;
    if (const auto* bitmap = std::get_if<TBitmapDrawable>(&drawable.kind))
        return (width ? bitmap->image.width : bitmap->image.height) * 160.0 / bitmap->density;
    if (const auto* shape = std::get_if<TShapeDrawable>(&drawable.kind))
        return width ? shape->width : shape->height;
    if (const auto* inset = std::get_if<TInsetDrawable>(&drawable.kind)) {
        const TInset& a = width ? inset->left : inset->top;
        const TInset& b = width ? inset->right : inset->bottom;
        const double inner = inset->inner ? Intrinsic(*inset->inner, width) : -1;
        if (inner < 0 || a.fraction || b.fraction)
            return -1;
        return inner + a.value + b.value;
    }
    if (const auto* list = std::get_if<TLayerListDrawable>(&drawable.kind)) {
        double largest = -1;
        for (const TLayerItem& item : list->items) {
            const double own = width ? item.width : item.height;
            const double size = own >= 0 ? own : (item.drawable ? Intrinsic(*item.drawable, width) : -1);
            if (size >= 0)
                largest = std::max(largest, size + (width ? item.left + item.right : item.top + item.bottom));
        }
        return largest;
    }
    return -1;
}

} // namespace

double IntrinsicWidth(const TDrawable& drawable) {
    return Intrinsic(drawable, true);
}
double IntrinsicHeight(const TDrawable& drawable) {
    return Intrinsic(drawable, false);
}

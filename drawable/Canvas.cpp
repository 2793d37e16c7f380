#include "drawable/Canvas.h"

#include <algorithm>
#include <cmath>

namespace {

float UnitAlpha(float alpha) {
    return std::isfinite(alpha) ? std::clamp(alpha, 0.0f, 1.0f) : 0.0f;
}

TBox ClipBox(const TBox& box, const TMask* clip) {
    return clip ? IntersectBoxes(box, clip->Bounds()) : box;
}

// The source pixels that make up one canvas pixel along one axis, with their weights, and the share of
// the canvas pixel the picture covers.
struct TTaps {
    uint32_t first = 0;
    std::vector<float> weights;
    float cover = 0;
};

// Taps for canvas pixels [0, canvas) along an axis where the picture of `source` pixels spans
// [position, position + size). Empty entries lie outside the picture.
std::vector<TTaps> MakeTaps(uint32_t source, double position, double size, uint32_t canvas, uint32_t& from,
                            uint32_t& to) {
    double begin = std::max(position, 0.0), end = std::min(position + size, double(canvas));
    from = to = 0;
    std::vector<TTaps> taps;
    double scale = source / size; // source pixels per canvas pixel
    if (!(begin < end) || !std::isfinite(scale))
        return taps;
    from = uint32_t(std::floor(begin));
    to = std::min(canvas, uint32_t(std::ceil(end)));
    for (uint32_t i = from; i < to; ++i) {
        TTaps t;
        double lo = std::max(double(i), position), hi = std::min(double(i) + 1, position + size);
        t.cover = float(std::max(0.0, hi - lo));
        if (scale > 1) {
            // Area: each source pixel weighs by how much of [lo, hi) it covers.
            double s0 = std::clamp((lo - position) * scale, 0.0, double(source));
            double s1 = std::clamp((hi - position) * scale, 0.0, double(source));
            uint32_t first = std::min(uint32_t(s0), source - 1);
            uint32_t last = std::max(first + 1, std::min(uint32_t(std::ceil(s1)), source));
            t.first = first;
            for (uint32_t s = first; s < last; ++s) // a span rounded away to nothing takes its pixel whole
                t.weights.push_back(s1 > s0 ? float((std::min(s1, s + 1.0) - std::max(s0, double(s))) / (s1 - s0)) : 1);
        } else {
            // Bilinear at the centre of the covered part, holding the edge pixels beyond the ends.
            double u = std::clamp(((lo + hi) / 2 - position) * scale - 0.5, 0.0, double(source - 1));
            t.first = uint32_t(u);
            float frac = float(u - t.first);
            t.weights.push_back(1 - frac);
            if (t.first + 1 < source)
                t.weights.push_back(frac);
        }
        taps.push_back(std::move(t));
    }
    return taps;
}

} // namespace

TCanvas::TCanvas(uint32_t width, uint32_t height) {
    if (!CanvasSizeOk(width, height))
        return;
    width_ = width;
    height_ = height;
    pixels_.assign(size_t(width) * height * 4, 0.0f);
}

TColor TCanvas::At(uint32_t x, uint32_t y) const {
    const float* p = &pixels_[(size_t(y) * width_ + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

void TCanvas::Blend(uint32_t x, uint32_t y, const TColor& source, float weight) {
    float* p = &pixels_[(size_t(y) * width_ + x) * 4];
    float keep = 1 - source.a * weight;
    p[0] = source.r * weight + p[0] * keep;
    p[1] = source.g * weight + p[1] * keep;
    p[2] = source.b * weight + p[2] * keep;
    p[3] = source.a * weight + p[3] * keep;
}

void TCanvas::Fill(const TMask& coverage, const TPaint& paint, const TMask* clip) {
    TShader shader(paint);
    TBox box = ClipBox(IntersectBoxes(coverage.Bounds(), {0, 0, width_, height_}), clip);
    if (box.Empty())
        return;
    std::vector<TColor> colours(box.right - box.left);
    for (uint32_t y = box.top; y < box.bottom; ++y) {
        const uint8_t* cover = coverage.Row(y, box.left);
        const uint8_t* clipRow = clip ? clip->Row(y, box.left) : nullptr;
        if (!cover || (clip && !clipRow))
            continue;
        // Only the covered run of the row is shaded: an outline or a ring covers little of its box.
        uint32_t from = 0, to = box.right - box.left;
        while (from < to && cover[from] == 0)
            ++from;
        while (to > from && cover[to - 1] == 0)
            --to;
        if (from == to)
            continue;
        shader.Row(box.left + from, y, to - from, colours.data() + from);
        float* p = &pixels_[(size_t(y) * width_ + box.left + from) * 4];
        for (uint32_t i = from; i < to; ++i, p += 4) {
            float weight = cover[i] * (1.0f / 255);
            if (clipRow)
                weight *= clipRow[i] * (1.0f / 255);
            if (weight <= 0)
                continue;
            const TColor& source = colours[i];
            if (weight >= 1 && source.a >= 1) { // inside an opaque shape: the paint replaces the pixel
                p[0] = source.r, p[1] = source.g, p[2] = source.b, p[3] = source.a;
                continue;
            }
            const float keep = 1 - source.a * weight;
            p[0] = source.r * weight + p[0] * keep;
            p[1] = source.g * weight + p[1] * keep;
            p[2] = source.b * weight + p[2] * keep;
            p[3] = source.a * weight + p[3] * keep;
        }
    }
}

void TCanvas::DrawImage(const RgbaImage& image, double x, double y, double w, double h, float alpha,
                        const TMask* clip) {
    alpha = UnitAlpha(alpha);
    if (image.width == 0 || image.height == 0 || uint64_t(image.width) * image.height > image.pixels.size() / 4 ||
        image.pixels.size() != image.Stride() * image.height || !(w > 0 && h > 0) || !std::isfinite(x + y + w + h) ||
        alpha == 0)
        return;
    uint32_t x0, x1, y0, y1;
    std::vector<TTaps> columns = MakeTaps(image.width, x, w, width_, x0, x1);
    std::vector<TTaps> rows = MakeTaps(image.height, y, h, height_, y0, y1);
    TBox box = ClipBox({x0, y0, x1, y1}, clip);
    for (uint32_t py = box.top; py < box.bottom; ++py) {
        const TTaps& row = rows[py - y0];
        for (uint32_t px = box.left; px < box.right; ++px) {
            const TTaps& column = columns[px - x0];
            float weight = row.cover * column.cover * alpha * (clip ? clip->At(px, py) / 255.0f : 1.0f);
            if (!(weight > 0))
                continue;
            // Premultiplied sums weight colour by alpha.
            TColor sum;
            for (size_t j = 0; j < row.weights.size(); ++j) {
                const uint8_t* source = image.Pixel(column.first, row.first + uint32_t(j));
                for (size_t i = 0; i < column.weights.size(); ++i, source += 4) {
                    float tap = row.weights[j] * column.weights[i] * (source[3] / 255.0f) / 255.0f;
                    sum.r += tap * source[0];
                    sum.g += tap * source[1];
                    sum.b += tap * source[2];
                    sum.a += tap * 255.0f;
                }
            }
            Blend(px, py, sum, weight);
        }
    }
}

void TCanvas::Keep(const TMask& mask) {
    const TBox& box = mask.Bounds();
    for (uint32_t y = 0; y < height_; ++y) {
        float* p = &pixels_[size_t(y) * width_ * 4];
        // Outside the mask's box nothing is kept; inside it, what its row says.
        const uint8_t* row = y >= box.top && y < box.bottom ? mask.Row(y, box.left) : nullptr;
        for (uint32_t x = 0; x < width_; ++x, p += 4) {
            const uint8_t cover = row && x >= box.left && x < box.right ? row[x - box.left] : 0;
            if (cover == 255)
                continue;
            const float weight = cover * (1.0f / 255);
            for (int c = 0; c < 4; ++c)
                p[c] *= weight;
        }
    }
}

void TCanvas::Tint(uint32_t argb, TTintMode mode) {
    const TColor tint = PremultipliedColor(argb);
    const float t[4] = {tint.r, tint.g, tint.b, tint.a};
    for (size_t i = 0; i < pixels_.size(); i += 4) {
        float* d = &pixels_[i];
        const float da = d[3];
        for (int c = 0; c < 4; ++c) {
            const float s = t[c];
            switch (mode) {
            case TTintMode::SrcIn:
                d[c] = s * da;
                break;
            case TTintMode::SrcAtop: // colour over the drawing, alpha the drawing's
                d[c] = c == 3 ? da : s * da + d[c] * (1 - tint.a);
                break;
            case TTintMode::SrcOver:
                d[c] = s + d[c] * (1 - tint.a);
                break;
            case TTintMode::Multiply: // the platform's multiply modulates alpha too
                d[c] = s * d[c];
                break;
            case TTintMode::Screen:
                d[c] = s + d[c] - s * d[c];
                break;
            case TTintMode::Add:
                d[c] = std::min(1.0f, s + d[c]);
                break;
            }
        }
    }
}

void TCanvas::DrawCanvas(const TCanvas& layer, float alpha, const TMask* mask) {
    alpha = UnitAlpha(alpha);
    TBox box = ClipBox({0, 0, std::min(width_, layer.width_), std::min(height_, layer.height_)}, mask);
    for (uint32_t y = box.top; y < box.bottom; ++y)
        for (uint32_t x = box.left; x < box.right; ++x) {
            float weight = alpha * (mask ? mask->At(x, y) / 255.0f : 1.0f);
            if (weight > 0)
                Blend(x, y, layer.At(x, y), weight);
        }
}

RgbaImage TCanvas::ToImage() const {
    RgbaImage image;
    image.width = width_;
    image.height = height_;
    image.pixels.resize(pixels_.size());
    for (size_t i = 0; i < pixels_.size(); i += 4) {
        const float a = pixels_[i + 3] > 0 ? std::min(pixels_[i + 3], 1.0f) : 0; // NaN counts as nothing
        // Non-negative: adding a half and cutting off rounds to nearest.
        const int alpha = int(a * 255 + 0.5f);
        if (alpha == 0)
            continue;
        if (alpha == 255) { // opaque, as most of an icon is: nothing to undo
            for (int c = 0; c < 3; ++c) {
                const float value = pixels_[i + c] * 255;
                image.pixels[i + c] = uint8_t(value >= 255 ? 255 : value > 0 ? int(value + 0.5f) : 0);
            }
            image.pixels[i + 3] = 255;
            continue;
        }
        const float unpremultiply = 255 / a;
        for (int c = 0; c < 3; ++c) {
            const float value = pixels_[i + c] * unpremultiply; // NaN fails both tests: 0
            image.pixels[i + c] = uint8_t(value >= 255 ? 255 : value > 0 ? int(value + 0.5f) : 0);
        }
        image.pixels[i + 3] = uint8_t(alpha);
    }
    return image;
}

#include "drawable/Paint.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

float Channel(uint32_t argb, int shift) {
    return float((argb >> shift) & 0xFF) / 255.0f;
}

TColor Premultiply(float a, float r, float g, float b, float alpha) {
    a *= alpha;
    return {r * a, g * a, b * a, a};
}

} // namespace

TColor PremultipliedColor(uint32_t argb) {
    return Premultiply(Channel(argb, 24), Channel(argb, 16), Channel(argb, 8), Channel(argb, 0), 1);
}

TShader::TShader(const TPaint& paint) {
    alpha_ = std::isfinite(paint.alpha) ? std::clamp(paint.alpha, 0.0f, 1.0f) : 0.0f;
    if (!paint.gradient) {
        TColor c = PremultipliedColor(paint.argb);
        solid_ = {c.r * alpha_, c.g * alpha_, c.b * alpha_, c.a * alpha_};
        return;
    }
    const TGradient& g = *paint.gradient;
    for (const TGradientStop& stop : g.stops) {
        double offset = std::isfinite(stop.offset) ? std::clamp(double(stop.offset), 0.0, 1.0) : 0.0;
        stops_.push_back(
            {offset, Channel(stop.argb, 24), Channel(stop.argb, 16), Channel(stop.argb, 8), Channel(stop.argb, 0)});
    }
    std::stable_sort(stops_.begin(), stops_.end(), [](const TStop& l, const TStop& r) { return l.offset < r.offset; });
    if (stops_.empty())
        return; // solid_ stays transparent
    kind_ = g.kind;
    tile_ = g.tile;
    bool degenerate = !paint.localToDevice.Invert(deviceToLocal_);
    if (kind_ == TGradient::TKind::Linear) {
        double dx = g.end.x - g.start.x, dy = g.end.y - g.start.y, squared = dx * dx + dy * dy;
        degenerate = degenerate || !(squared > 0) || !std::isfinite(squared);
        origin_ = g.start;
        axis_ = {dx / squared, dy / squared};
    } else {
        origin_ = g.center;
        radius_ = g.radius;
        degenerate = degenerate || (kind_ == TGradient::TKind::Radial && !(radius_ > 0 && std::isfinite(radius_)));
    }
    degenerate = degenerate || !std::isfinite(origin_.x) || !std::isfinite(origin_.y);
    if (!degenerate) {
        gradient_ = true;
        table_.resize(kTableSize);
        for (int i = 0; i < kTableSize; ++i)
            table_[i] = Blend(double(i) / (kTableSize - 1));
        return;
    }
    TStop pick = stops_.back();
    if (tile_ != TTileMode::Clamp) {
        // The mean over [0, 1]: flat ends plus the trapezoids between stops.
        pick = {0, 0, 0, 0, 0};
        auto add = [&pick](const TStop& s, double weight) {
            pick.a += float(s.a * weight), pick.r += float(s.r * weight);
            pick.g += float(s.g * weight), pick.b += float(s.b * weight);
        };
        add(stops_.front(), stops_.front().offset);
        add(stops_.back(), 1 - stops_.back().offset);
        for (size_t i = 0; i + 1 < stops_.size(); ++i) {
            double half = (stops_[i + 1].offset - stops_[i].offset) / 2;
            add(stops_[i], half);
            add(stops_[i + 1], half);
        }
    }
    solid_ = Premultiply(pick.a, pick.r, pick.g, pick.b, alpha_);
}

TColor TShader::Lookup(double t) const {
    if (!std::isfinite(t))
        t = 0;
    switch (tile_) {
    case TTileMode::Clamp:
        break;
    case TTileMode::Repeat:
        t -= std::floor(t);
        break;
    case TTileMode::Mirror:
        t -= 2 * std::floor(t / 2);
        if (t > 1)
            t = 2 - t;
        break;
    }
    // t is within [0, 1]: adding a half and cutting off rounds to nearest.
    return table_[size_t(std::clamp(t, 0.0, 1.0) * (kTableSize - 1) + 0.5)];
}

TColor TShader::Blend(double t) const {
    const TStop* s = stops_.data();
    size_t n = stops_.size();
    if (t <= s[0].offset)
        return Premultiply(s[0].a, s[0].r, s[0].g, s[0].b, alpha_);
    if (t >= s[n - 1].offset)
        return Premultiply(s[n - 1].a, s[n - 1].r, s[n - 1].g, s[n - 1].b, alpha_);
    size_t i = std::upper_bound(s, s + n, t, [](double v, const TStop& stop) { return v < stop.offset; }) - s;
    const TStop& lo = s[i - 1];
    const TStop& hi = s[i];
    float w = float((t - lo.offset) / (hi.offset - lo.offset));
    auto mix = [w](float l, float h) { return l + (h - l) * w; };
    return Premultiply(mix(lo.a, hi.a), mix(lo.r, hi.r), mix(lo.g, hi.g), mix(lo.b, hi.b), alpha_);
}

TColor TShader::At(double x, double y) const {
    if (!gradient_)
        return solid_;
    TPoint p = deviceToLocal_.Apply({x, y});
    double dx = p.x - origin_.x, dy = p.y - origin_.y;
    switch (kind_) {
    case TGradient::TKind::Linear:
        return Lookup(dx * axis_.x + dy * axis_.y);
    case TGradient::TKind::Radial:
        return Lookup(std::sqrt(dx * dx + dy * dy) / radius_);
    case TGradient::TKind::Sweep: {
        // y grows downwards, so a growing atan2 turns clockwise on screen.
        double turn = std::atan2(dy, dx) / (2 * kPi);
        return Lookup(turn < 0 ? turn + 1 : turn);
    }
    }
    return solid_;
}

void TShader::Row(uint32_t x, uint32_t y, uint32_t count, TColor* out) const {
    if (!gradient_) {
        std::fill(out, out + count, solid_);
        return;
    }
    // Along a row the local point moves by the matrix's first column at each pixel.
    const TPoint first = deviceToLocal_.Apply({x + 0.5, y + 0.5});
    const double stepX = deviceToLocal_.a, stepY = deviceToLocal_.b;
    const bool clamp = tile_ == TTileMode::Clamp;
    const double last = kTableSize - 1;
    // Without tiling, a position within [0, 1] is a plain look-up.
    auto colour = [&](double t) { return clamp && t >= 0 && t <= 1 ? table_[size_t(t * last + 0.5)] : Lookup(t); };
    double dx = first.x - origin_.x, dy = first.y - origin_.y;
    switch (kind_) {
    case TGradient::TKind::Linear: {
        double t = dx * axis_.x + dy * axis_.y;
        const double step = stepX * axis_.x + stepY * axis_.y;
        for (uint32_t i = 0; i < count; ++i, t += step)
            out[i] = colour(t);
        break;
    }
    case TGradient::TKind::Radial:
        for (uint32_t i = 0; i < count; ++i, dx += stepX, dy += stepY)
            out[i] = colour(std::sqrt(dx * dx + dy * dy) / radius_);
        break;
    case TGradient::TKind::Sweep:
        for (uint32_t i = 0; i < count; ++i, dx += stepX, dy += stepY) {
            const double turn = std::atan2(dy, dx) / (2 * kPi);
            out[i] = colour(turn < 0 ? turn + 1 : turn);
        }
        break;
    }
}

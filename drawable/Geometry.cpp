#include "drawable/Geometry.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

TMatrix TMatrix::Translate(double dx, double dy) {
    TMatrix m;
    m.e = dx;
    m.f = dy;
    return m;
}

TMatrix TMatrix::Scale(double sx, double sy) {
    TMatrix m;
    m.a = sx;
    m.d = sy;
    return m;
}

TMatrix TMatrix::Rotate(double degrees) {
    // Quarter turns come out exact, so rotated straight edges stay on the pixel grid.
    double turns = degrees / 90;
    double sine, cosine;
    if (std::isfinite(turns) && turns == std::floor(turns)) {
        static const double kSin[] = {0, 1, 0, -1};
        long quarter = long(std::fmod(turns, 4.0));
        quarter = (quarter + 4) % 4;
        sine = kSin[quarter];
        cosine = kSin[(quarter + 1) % 4];
    } else {
        double radians = degrees * (kPi / 180);
        sine = std::sin(radians);
        cosine = std::cos(radians);
    }
    TMatrix m;
    m.a = cosine;
    m.b = sine;
    m.c = -sine;
    m.d = cosine;
    return m;
}

bool TMatrix::Invert(TMatrix& out) const {
    double det = Determinant();
    if (det == 0 || !std::isfinite(det))
        return false;
    TMatrix inv;
    inv.a = d / det;
    inv.b = -b / det;
    inv.c = -c / det;
    inv.d = a / det;
    inv.e = (c * f - d * e) / det;
    inv.f = (b * e - a * f) / det;
    if (!std::isfinite(inv.a) || !std::isfinite(inv.b) || !std::isfinite(inv.c) || !std::isfinite(inv.d) ||
        !std::isfinite(inv.e) || !std::isfinite(inv.f))
        return false;
    out = inv;
    return true;
}

TMatrix operator*(const TMatrix& l, const TMatrix& r) {
    TMatrix m;
    m.a = l.a * r.a + l.c * r.b;
    m.b = l.b * r.a + l.d * r.b;
    m.c = l.a * r.c + l.c * r.d;
    m.d = l.b * r.c + l.d * r.d;
    m.e = l.a * r.e + l.c * r.f + l.e;
    m.f = l.b * r.e + l.d * r.f + l.f;
    return m;
}

double StrokeWidthFactor(const TMatrix& m) {
    double longer = std::max(std::hypot(m.a, m.b), std::hypot(m.c, m.d));
    double factor = longer > 0 ? std::fabs(m.Determinant()) / longer : 0;
    return std::isfinite(factor) ? factor : 0;
}

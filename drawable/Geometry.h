#pragma once

// Points and affine transforms of the drawing core. Coordinates are y-down, as on a screen and in
// Android's drawables.

struct TPoint {
    double x = 0;
    double y = 0;
};

// x' = a*x + c*y + e, y' = b*x + d*y + f.
struct TMatrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    static TMatrix Identity() { return TMatrix{}; }
    static TMatrix Translate(double dx, double dy);
    static TMatrix Scale(double sx, double sy);
    // Positive angles turn clockwise on screen (x towards y), as Android's rotation attribute does.
    static TMatrix Rotate(double degrees);

    TPoint Apply(TPoint p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    // The linear part only, for directions and lengths.
    TPoint ApplyVector(TPoint v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
    double Determinant() const { return a * d - b * c; }
    // False, leaving out untouched, when the transform collapses the plane (or is not finite).
    bool Invert(TMatrix& out) const;
};

// (A * B).Apply(p) == A.Apply(B.Apply(p)): B is applied first.
TMatrix operator*(const TMatrix& lhs, const TMatrix& rhs);

// How much a transform widens strokes, by Android's rule: |det| divided by the longer of the mapped
// unit vectors, so a uniform scale s gives s and a squashed one gives its smaller side. Zero when
// the transform is degenerate.
double StrokeWidthFactor(const TMatrix& m);

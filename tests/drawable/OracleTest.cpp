// Each case is drawn by us and, written as the equivalent SVG, by librsvg (rsvg-convert) at the same
// size; the two pictures must agree pixel for pixel within the tolerance below.
#include <doctest/doctest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "drawable/Canvas.h"
#include "image/PngDecoder.h"

namespace {

constexpr uint32_t kSize = 64;
// Calibrated on the table below (the MESSAGE lines print each case's figures). Channels are compared
// premultiplied, 0..255. The worst difference is 52, at the one or two pixels where a self-crossing
// outline meets itself: FreeType's coverage is the winding number integrated over the pixel, before
// the fill rule, where librsvg samples the rule; elsewhere edges differ by at most 28 and interiors and
// gradients by 1. At most 1.27 % of a picture's pixels differ by more than 8 (all on edges of curves).
constexpr int kMaxDifference = 56;
constexpr int kSmallDifference = 8;
constexpr double kMaxShareAboveSmall = 0.015;

struct TCase {
    const char* what;
    const char* d;
    double strokeWidth = 0; // in path units; 0 fills
    TStroke stroke;
    TFillRule rule = TFillRule::NonZero;
    TMatrix matrix;
    TPaint paint;
    double trim[3] = {0, 1, 0};
    const char* dashArray = nullptr; // the trim as SVG dashes
    double dashOffset = 0;

    TCase& EvenOdd() { return rule = TFillRule::EvenOdd, *this; }
    TCase& Cap(TLineCap cap) { return stroke.cap = cap, *this; }
    TCase& Join(TLineJoin join, double limit = 4) { return stroke.join = join, stroke.miterLimit = limit, *this; }
    TCase& Transform(const TMatrix& m) { return matrix = m, *this; }
    TCase& Colour(uint32_t argb, float alpha = 1) { return paint.argb = argb, paint.alpha = alpha, *this; }
    TCase& Gradient(TGradient::TKind kind, TPoint a, TPoint b, double r, TTileMode tile) {
        TGradient g{kind, a, b, a, r, {{0, 0x60E02020}, {0.4f, 0xFF20C040}, {1, 0xFF2040E0}}, tile};
        return paint.gradient = g, *this;
    }
    TCase& Trim(double start, double end, double offset, const char* svgDashes, double svgOffset) {
        trim[0] = start, trim[1] = end, trim[2] = offset, dashArray = svgDashes, dashOffset = svgOffset;
        return *this;
    }
};

TCase Fill(const char* what, const char* d) {
    TCase c;
    c.what = what, c.d = d, c.paint.argb = 0xFF2050C0;
    return c;
}

TCase Stroke(const char* what, const char* d, double width) {
    TCase c = Fill(what, d);
    c.strokeWidth = width;
    return c;
}

// About a centre of (32, 32): turned by degrees, then scaled.
TMatrix Around(double degrees, double sx, double sy) {
    return TMatrix::Translate(32, 32) * TMatrix::Rotate(degrees) * TMatrix::Scale(sx, sy) *
           TMatrix::Translate(-32, -32);
}

std::string Matrix(const TMatrix& m) {
    std::ostringstream out;
    out.precision(17);
    out << "matrix(" << m.a << ' ' << m.b << ' ' << m.c << ' ' << m.d << ' ' << m.e << ' ' << m.f << ")";
    return out.str();
}

// colour='#RRGGBB' colour-opacity='alpha', or the stop-color and stop-opacity of a gradient stop.
std::string Colour(const char* property, uint32_t argb) {
    bool stop = std::string(property) == "stop";
    char text[96];
    std::snprintf(text, sizeof text, "%s%s='#%06X' %s-opacity='%g'", property, stop ? "-color" : "", argb & 0xFFFFFF,
                  property, (argb >> 24) / 255.0);
    return text;
}

// Our path, written back as SVG path data (strokes are drawn in device space, so their SVG is too).
std::string PathText(const TPath& path, const TMatrix& m) {
    static const int kCounts[] = {1, 1, 2, 3, 0};
    std::ostringstream out;
    out.precision(17);
    size_t next = 0;
    for (TPath::TVerb verb : path.verbs) {
        out << "MLQCZ"[int(verb)];
        for (int i = 0; i < kCounts[int(verb)]; ++i, ++next)
            out << ' ' << m.Apply(path.points[next]).x << ' ' << m.Apply(path.points[next]).y;
    }
    return out.str();
}

std::string Svg(const TCase& c, const TPath& path) {
    bool stroked = c.strokeWidth > 0;
    const char* property = stroked ? "stroke" : "fill";
    std::ostringstream svg;
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << kSize << "' height='" << kSize << "'>";
    std::string paint = Colour(property, c.paint.argb);
    if (c.paint.gradient) {
        const TGradient& g = *c.paint.gradient;
        static const char* kSpread[] = {"pad", "repeat", "reflect"};
        const char* kind = g.kind == TGradient::TKind::Linear ? "linearGradient" : "radialGradient";
        svg << "<defs><" << kind << " id='g' gradientUnits='userSpaceOnUse' spreadMethod='" << kSpread[int(g.tile)]
            << "' gradientTransform='" << Matrix(stroked ? c.matrix : TMatrix()) << "' x1='" << g.start.x << "' y1='"
            << g.start.y << "' x2='" << g.end.x << "' y2='" << g.end.y << "' cx='" << g.center.x << "' cy='"
            << g.center.y << "' r='" << g.radius << "'>";
        for (const TGradientStop& stop : g.stops)
            svg << "<stop offset='" << stop.offset << "' " << Colour("stop", stop.argb) << "/>";
        svg << "</" << kind << "></defs>";
        paint = std::string(property) + "='url(#g)'";
    }
    svg << "<path opacity='" << c.paint.alpha << "' " << paint << " ";
    if (stroked) {
        static const char* kCaps[] = {"butt", "round", "square"};
        static const char* kJoins[] = {"miter", "round", "bevel"};
        svg << "d='" << PathText(path, c.matrix) << "' fill='none' stroke-width='" << c.stroke.width
            << "' stroke-linecap='" << kCaps[int(c.stroke.cap)] << "' stroke-linejoin='" << kJoins[int(c.stroke.join)]
            << "' stroke-miterlimit='" << c.stroke.miterLimit << "' stroke-dasharray='"
            << (c.dashArray ? c.dashArray : "none") << "' stroke-dashoffset='" << c.dashOffset << "'";
    } else {
        svg << "d='" << c.d << "' transform='" << Matrix(c.matrix) << "' fill-rule='"
            << (c.rule == TFillRule::EvenOdd ? "evenodd" : "nonzero") << "'";
    }
    svg << "/></svg>\n";
    return svg.str();
}

RgbaImage Ours(TCase& c, TPath& path) {
    REQUIRE(ParsePathData(c.d, path));
    TPaint paint = c.paint;
    paint.localToDevice = c.matrix;
    TMask mask;
    if (c.strokeWidth > 0) {
        c.stroke.width = c.strokeWidth * StrokeWidthFactor(c.matrix);
        REQUIRE(StrokeMask(TrimPath(path, c.trim[0], c.trim[1], c.trim[2]), c.matrix, c.stroke, kSize, kSize, mask));
    } else {
        REQUIRE(FillMask(path, c.matrix, c.rule, kSize, kSize, mask));
    }
    TCanvas canvas(kSize, kSize);
    canvas.Fill(mask, paint);
    return canvas.ToImage();
}

RgbaImage Rsvg(const std::string& svg, const std::string& name) {
    std::filesystem::path folder = std::filesystem::path(VARNEL_BINARY_DIR) / "tests/drawable/oracle";
    std::filesystem::create_directories(folder);
    std::string in = (folder / (name + ".svg")).string(), out = (folder / (name + ".png")).string();
    std::ofstream(in) << svg;
    std::string command = std::string(VARNEL_RSVG_CONVERT) + " -o '" + out + "' '" + in + "'";
    REQUIRE(std::system(command.c_str()) == 0);
    std::ifstream file(out, std::ios::binary);
    return DecodePng(file);
}

} // namespace

TEST_CASE("fills and strokes agree with librsvg") {
    const TPoint a{12, 20}, b{44, 36};
    TCase cases[] = {
        Fill("implicit lines after M and l", "M8 8 56 8 l0 48 -48 0 0-20z"),
        Fill("H V h v", "m8 8 h48 v20 h-20 V56 H8 z"),
        Fill("cubic and smooth cubic", "M8 40 C8 8 32 8 32 32 S56 56 56 24 L56 56 H8z"),
        Fill("smooth cubic after a line reflects nothing", "M8 56 L8 30 S30 0 56 30 V56z"),
        Fill("quads and smooth quads", "M4 40 Q16 4 28 40 T52 40 t4 16 H4z"),
        Fill("relative curves", "m8 40 c0-32 24-32 24-8 s24 24 24-8 q-8 20-24 28 t-24-4z"),
        Fill("arc: large arc, sweep", "M12 36 a24 16 -20 1 1 40 0 z"),
        Fill("arc: small arc, no sweep", "M12 20 A26 18 -20 0 0 52 20 L52 56 H12z"),
        Fill("arc flags without separators", "M10 40a22 22 0 0020 0a10 10 0 1120-10z"),
        Fill("arc radii too small are scaled up", "M10 32 A2 1 0 0 1 54 32 Z"),
        Fill("arc of zero radius is a line", "M10 10 A0 5 0 0 1 54 54 L10 54z"),
        Fill("relative after Z starts from the subpath start", "M8 8h20v20zm30 30h16v16h-16z l40 0 0 20z"),
        Fill("numbers run together", "M8-0L56.5.5-.5 56 4.8e1 56 4.8E+1 56 8e0,56,,z"),
        Fill("star, non-zero", "M32 4 L50 60 L4 24 H60 L14 60 Z"),
        Fill("star, even-odd", "M32 4 L50 60 L4 24 H60 L14 60 Z").EvenOdd(),
        Fill("nested squares, even-odd", "M8 8h48v48H8z M20 20h24v24H20z").EvenOdd(),
        Fill("turned and squashed", "M12 40 a24 16 -20 1 1 40 0 z M6 6 h10 v6z").Transform(Around(30, 1.5, 0.7)),
        Fill("partly transparent", "M8 8 L56 20 L20 56z").Colour(0x80E04010, 0.6f),
        Fill("far outside the canvas", "M-4000 -4000 L5000 30 L30 9000 Z M60 -1e6 C60 1e6 -1e6 60 1e6 62z"),
        Stroke("butt caps, miter join", "M12 20 L40 44 L52 12", 6),
        Stroke("round caps, round join", "M12 20 L40 44 L52 12", 6).Cap(TLineCap::Round).Join(TLineJoin::Round),
        Stroke("square caps, bevel join", "M12 20 L40 44 L52 12", 6).Cap(TLineCap::Square).Join(TLineJoin::Bevel),
        Stroke("miter within the limit", "M8 56 L32 16 L56 56", 8).Join(TLineJoin::Miter, 3),
        Stroke("miter past the limit bevels", "M8 56 L32 16 L56 56", 8).Join(TLineJoin::Miter, 1.5),
        Stroke("closed contour joins all round", "M12 12 h40 v40 h-40 z", 5).Join(TLineJoin::Miter),
        Stroke("curves", "M8 40 C8 8 56 8 56 40 Q32 64 12 46", 4).Cap(TLineCap::Round),
        Stroke("arcs under a squashing transform", "M12 36 a20 14 -20 1 1 40 0 M20 12 h24", 3)
            .Transform(Around(30, 1.5, 0.6)),
        Stroke("zero-length contours draw dots", "M16 32 L16 32 M32 32 z M48 32 l0 0", 8).Cap(TLineCap::Round),
        // The path is 40 + 10 pi + 40 = 111.416 long.
        Stroke("trimmed", "M10 20 h40 a10 10 0 0 1 0 20 h-40", 4).Trim(0.1, 0.7, 0, "66.850 1000", -11.142),
        Stroke("trimmed past the end wraps", "M10 20 h40 a10 10 0 0 1 0 20 h-40", 4)
            .Cap(TLineCap::Round)
            .Trim(0.6, 0.9, 0.3, "22.283 77.991 111.416 1000", 0),
        Fill("linear gradient, pad", "M4 4h56v56H4z").Gradient(TGradient::TKind::Linear, a, b, 0, TTileMode::Clamp),
        Fill("linear gradient, repeat", "M4 4h56v56H4z").Gradient(TGradient::TKind::Linear, a, b, 0, TTileMode::Repeat),
        Fill("linear gradient, reflect", "M4 4h56v56H4z")
            .Gradient(TGradient::TKind::Linear, a, b, 0, TTileMode::Mirror),
        Fill("radial gradient, transformed", "M4 4h56v56H4z")
            .Gradient(TGradient::TKind::Radial, {32, 32}, {}, 14, TTileMode::Mirror)
            .Transform(Around(20, 1.3, 0.8)),
        Stroke("gradient on a stroke", "M8 16 C8 64 56 -8 56 48", 7)
            .Gradient(TGradient::TKind::Radial, {30, 30}, {}, 20, TTileMode::Clamp)
            .Transform(Around(-15, 0.9, 1.1)),
    };
    for (TCase& c : cases) {
        CAPTURE(std::string(c.what));
        TPath path;
        RgbaImage ours = Ours(c, path);
        std::string name = c.what;
        for (char& ch : name)
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        RgbaImage theirs = Rsvg(Svg(c, path), name);
        REQUIRE(theirs.width == kSize);
        REQUIRE(theirs.height == kSize);
        int worst = 0;
        size_t above = 0;
        for (size_t i = 0; i < ours.pixels.size(); i += 4) {
            int difference = 0;
            for (int k = 0; k < 4; ++k) {
                // Premultiplied, so colours under low alpha count for little.
                auto channel = [&](const RgbaImage& image) {
                    return k == 3 ? image.pixels[i + 3] : image.pixels[i + k] * image.pixels[i + 3] / 255;
                };
                difference = std::max(difference, std::abs(channel(ours) - channel(theirs)));
            }
            worst = std::max(worst, difference);
            above += difference > kSmallDifference;
        }
        double share = double(above) / (kSize * kSize);
        MESSAGE(std::string(c.what) << ": worst " << worst << ", above " << kSmallDifference << ": " << share * 100
                                    << " %");
        CHECK(worst <= kMaxDifference);
        CHECK(share <= kMaxShareAboveSmall);
    }
}

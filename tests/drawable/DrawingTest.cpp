#include <doctest/doctest.h>

#include <cmath>
#include <string>

#include "drawable/Canvas.h"

namespace {

bool Near(TPoint p, TPoint q) {
    return std::abs(p.x - q.x) < 1e-9 && std::abs(p.y - q.y) < 1e-9;
}

TMask Fill(const char* d, uint32_t width = 16, uint32_t height = 16) {
    TPath path;
    TMask mask;
    REQUIRE(ParsePathData(d, path));
    REQUIRE(FillMask(path, TMatrix::Identity(), TFillRule::NonZero, width, height, mask));
    return mask;
}

TMask Stroke(const char* d, double width, TLineCap cap) {
    TPath path;
    TMask mask;
    REQUIRE(ParsePathData(d, path));
    REQUIRE(StrokeMask(path, TMatrix::Identity(), {width, cap, TLineJoin::Miter, 4}, 16, 16, mask));
    return mask;
}

std::string Pixel(const RgbaImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p = image.Pixel(x, y);
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," + std::to_string(p[3]);
}

std::string Box(const TMask& mask) {
    const TBox& b = mask.Bounds();
    return std::to_string(b.left) + "," + std::to_string(b.top) + "," + std::to_string(b.right) + "," +
           std::to_string(b.bottom);
}

RgbaImage Image(uint32_t width, uint32_t height, std::initializer_list<uint8_t> pixels) {
    return {width, height, pixels};
}

} // namespace

TEST_CASE("transforms compose right to left, invert, and widen strokes as Android's") {
    TMatrix m = TMatrix::Translate(5, -3) * TMatrix::Rotate(30) * TMatrix::Scale(2, 0.5);
    TPoint p{3, 4};
    CHECK(
        Near(m.Apply(p), TMatrix::Translate(5, -3).Apply(TMatrix::Rotate(30).Apply(TMatrix::Scale(2, 0.5).Apply(p)))));
    TMatrix inverse;
    REQUIRE(m.Invert(inverse));
    CHECK(Near(inverse.Apply(m.Apply(p)), p));
    CHECK_FALSE(TMatrix::Scale(0, 1).Invert(inverse));
    CHECK(Near(TMatrix::Rotate(90).Apply({1, 0}), {0, 1})); // clockwise on screen, exactly
    const struct {
        TMatrix m;
        double factor;
    } factors[] = {{TMatrix::Scale(2, 2), 2},     {TMatrix::Scale(3, 1), 1},
                   {TMatrix::Scale(0.5, 2), 0.5}, {TMatrix::Rotate(37) * TMatrix::Scale(2, 2), 2},
                   {TMatrix::Scale(0, 5), 0},     {TMatrix::Scale(-2, 2), 2}};
    for (const auto& f : factors)
        CHECK(StrokeWidthFactor(f.m) == doctest::Approx(f.factor));
}

TEST_CASE("compositing: source over, alpha, clips, layers and rounding to bytes") {
    TMask all = TMask::Opaque(2, 1), left = Fill("M0 0 h1 v1 h-1z", 2, 1);
    TCanvas canvas(2, 1);
    TPaint paint;
    paint.argb = 0x80336699;
    canvas.Fill(all, paint, &left);
    RgbaImage image = canvas.ToImage();
    CHECK(Pixel(image, 0, 0) == "51,102,153,128"); // straight alpha comes back exactly
    CHECK(Pixel(image, 1, 0) == "0,0,0,0");        // clipped away
    paint.argb = 0xFF0000FF;
    paint.alpha = 0.6f;
    canvas.Fill(all, paint);
    // Blue at 0.6 over transparent, and over the colour of alpha 0.5: alpha 0.6 + 0.4 * 0.5.
    CHECK(Pixel(canvas.ToImage(), 1, 0) == "0,0,255,153");
    CHECK(Pixel(canvas.ToImage(), 0, 0) == "13,26,229,204");
    TCanvas layer(2, 1), bottom(2, 1);
    layer.Fill(all, TPaint{0xFF00FF00, {}, {}, 1});
    bottom.Fill(all, TPaint{0xFFFF0000, {}, {}, 1});
    bottom.DrawCanvas(layer, 0.5f, &left);
    CHECK(Pixel(bottom.ToImage(), 0, 0) == "128,128,0,255");
    CHECK(Pixel(bottom.ToImage(), 1, 0) == "255,0,0,255");
    TMask both = Intersect(Fill("M0 0 h12 v12 h-12z"), Fill("M8 4 h8 v12 h-8z"));
    CHECK(Box(both) == "8,4,12,12");
    CHECK(both.At(9, 5) == 255);
    TCanvas empty(0, 7);
    empty.Fill(all, paint);
    CHECK(empty.ToImage().pixels.empty());
}

TEST_CASE("pictures: bilinear when enlarged, alpha-weighted area when shrunk, partial edges") {
    struct Case {
        const char* what;
        RgbaImage image;
        double x, w;
        uint32_t canvasWidth;
        std::string expected; // the canvas row, pixel after pixel
    };
    const Case cases[] = {
        {"enlarged", Image(2, 1, {0, 0, 0, 255, 255, 255, 255, 255}), 0, 4, 4,
         "0,0,0,255 64,64,64,255 191,191,191,255 255,255,255,255 "},
        {"shrunk", Image(4, 1, {0, 0, 0, 255, 100, 100, 100, 255, 200, 200, 200, 255, 250, 250, 250, 255}), 0, 2, 2,
         "50,50,50,255 225,225,225,255 "},
        {"transparent lends no colour", Image(2, 1, {255, 0, 0, 0, 0, 0, 255, 200}), 0, 1, 1, "0,0,255,100 "},
        {"edges inside pixels", Image(1, 1, {10, 20, 30, 255}), 0.25, 1, 2, "10,20,30,191 10,20,30,64 "},
        {"no width", Image(1, 1, {10, 20, 30, 255}), 0, 0, 1, "0,0,0,0 "},
        {"next to no width", Image(2, 1, {10, 20, 30, 255, 10, 20, 30, 255}), 0, 1e-320, 1, "0,0,0,0 "},
        {"pixels missing", Image(2, 1, {10, 20, 30, 255}), 0, 1, 1, "0,0,0,0 "},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.what));
        TCanvas canvas(c.canvasWidth, 1);
        canvas.DrawImage(c.image, c.x, 0, c.w, 1);
        RgbaImage out = canvas.ToImage();
        std::string row;
        for (uint32_t x = 0; x < out.width; ++x)
            row += Pixel(out, x, 0) + " ";
        CHECK(row == c.expected);
    }
}

TEST_CASE("gradients: sweep turns clockwise from +x; degenerate ones are one colour") {
    TCanvas canvas(16, 16);
    TPaint paint;
    paint.gradient =
        TGradient{TGradient::TKind::Sweep,
                  {},
                  {},
                  {8.5, 8.5},
                  0,
                  {{0.75f, 0xFFFFFFFF}, {0, 0xFFFF0000}, {0.25f, 0xFF00FF00}, {0.5f, 0xFF0000FF}, {1, 0xFFFF0000}},
                  TTileMode::Clamp};
    canvas.Fill(TMask::Opaque(16, 16), paint);
    RgbaImage image = canvas.ToImage();
    CHECK(Pixel(image, 12, 8) == "255,0,0,255");
    CHECK(Pixel(image, 8, 12) == "0,255,0,255"); // below is a quarter turn on
    CHECK(Pixel(image, 4, 8) == "0,0,255,255");
    CHECK(Pixel(image, 8, 4) == "255,255,255,255");
    const struct {
        TGradient::TKind kind;
        TTileMode tile;
        const char* expected;
    } degenerate[] = {{TGradient::TKind::Linear, TTileMode::Clamp, "255,255,255,255"},
                      {TGradient::TKind::Linear, TTileMode::Mirror, "128,128,128,255"},
                      {TGradient::TKind::Radial, TTileMode::Clamp, "255,255,255,255"},
                      {TGradient::TKind::Radial, TTileMode::Repeat, "128,128,128,255"}};
    for (const auto& d : degenerate) {
        TCanvas one(1, 1);
        paint.gradient = TGradient{d.kind, {3, 3}, {3, 3}, {3, 3}, 0, {{0, 0xFF000000}, {1, 0xFFFFFFFF}}, d.tile};
        one.Fill(TMask::Opaque(1, 1), paint);
        CHECK(Pixel(one.ToImage(), 0, 0) == d.expected);
    }
}

TEST_CASE("strokes: square dots stand square, width 0 is a hairline, many contours batch") {
    // The dot is stroked as a step of 1/64 pixel along x, which shows as a sliver at its right edge.
    TMask square = Stroke("M8 8 L8 8", 6, TLineCap::Square);
    CHECK(Box(square) == "5,5,12,11");
    CHECK(square.At(5, 5) + square.At(10, 10) == 510);
    CHECK(square.At(11, 8) <= 4);
    CHECK(Stroke("M8 8 L8 8", 6, TLineCap::Butt).Bounds().Empty());
    TMask hairline = Stroke("M2 8.5 H14", 0, TLineCap::Butt);
    CHECK(hairline.At(8, 8) == 255);
    CHECK(hairline.At(8, 7) == 0);
    TPath line;
    REQUIRE(ParsePathData("M2 8 h12", line));
    TMask mask; // a huge miter limit widens the cut box, not the stroke
    REQUIRE(StrokeMask(line, TMatrix::Identity(), {4, TLineCap::Butt, TLineJoin::Miter, 30000}, 16, 16, mask));
    CHECK(mask.At(8, 6) + mask.At(8, 9) - mask.At(8, 5) - mask.At(8, 10) == 510);
    // Thousands of contours need several FreeType outlines; the first and the last are drawn.
    std::string many = "M1.5 1.5h.01";
    for (int i = 0; i < 6000; ++i)
        many += "M8.5 8.5h.01";
    TMask dots = Stroke((many + "M14.5 14.5h.01").c_str(), 1, TLineCap::Round);
    CHECK(dots.At(1, 1) > 150);
    CHECK(dots.At(14, 14) > 150);
}

TEST_CASE("rounded rectangles and ovals enclose their areas") {
    const struct {
        TPath path;
        double area;
    } shapes[] = {{OvalPath(2, 3, 12, 8), 3.14159265 * 6 * 4},
                  {RoundRectPath(1, 1, 14, 10, 3, 2), 14 * 10 - (4 - 3.14159265) * 3 * 2},
                  {RoundRectPath(1, 1, 14, 10, 40, 40), 3.14159265 * 7 * 5}, // radii held to half the sides
                  {RoundRectPath(1, 1, 14, 10, 0, 5), 140}};
    for (const auto& shape : shapes) {
        TMask mask;
        REQUIRE(FillMask(shape.path, TMatrix::Identity(), TFillRule::NonZero, 16, 16, mask));
        double sum = 0;
        for (uint32_t y = 0; y < 16; ++y)
            for (uint32_t x = 0; x < 16; ++x)
                sum += mask.At(x, y) / 255.0;
        CHECK(sum == doctest::Approx(shape.area).epsilon(0.01));
    }
}

TEST_CASE("hostile geometry: false or a clean picture, exact inside the canvas") {
    // Huge shapes are cut to a box around the canvas without moving an edge inside it.
    TMask plane = Fill("M-1e9 32.5 L1e9 32.5 L1e9 1e9 L-1e9 1e9z", 64, 64);
    for (uint32_t x : {0u, 31u, 63u}) {
        CHECK(plane.At(x, 31) == 0);
        CHECK(std::abs(plane.At(x, 32) - 128) <= 1);
        CHECK(plane.At(x, 33) == 255);
    }
    TPath path;
    TMask mask;
    REQUIRE(ParsePathData("M1e299 0 L0 1e299 L5 5z", path));
    CHECK(FillMask(path, TMatrix::Identity(), TFillRule::NonZero, 16, 16, mask));
    CHECK_FALSE(FillMask(path, TMatrix::Scale(1e10, 1), TFillRule::NonZero, 16, 16, mask));
    CHECK_FALSE(StrokeMask(path, TMatrix::Scale(1e10, 1), {}, 16, 16, mask));
    TMask wide = Stroke("M8 8 h1", 1e12, TLineCap::Round); // its reach is cut back, not overflowed
    CHECK(wide.At(0, 0) + wide.At(15, 15) == 510);
    TPath broken{{TPath::TVerb::Move, TPath::TVerb::Line}, {{0, 0}}};
    CHECK_FALSE(FillMask(broken, TMatrix::Identity(), TFillRule::NonZero, 16, 16, mask));
    broken.points = {{0, 0}, {NAN, 1}};
    CHECK_FALSE(StrokeMask(broken, TMatrix::Identity(), {}, 16, 16, mask));
    for (auto size : {std::pair<uint32_t, uint32_t>{0, 16}, {100000, 1}, {4096, 4096}})
        CHECK_FALSE(FillMask(path, TMatrix::Identity(), TFillRule::NonZero, size.first, size.second, mask));
    // More points than one FreeType outline holds: a fill can't be split, nor one contour's stroke.
    std::string zigzag = "M0 0";
    for (int i = 0; i < 40000; ++i)
        zigzag += i % 2 ? "l.0001 3" : "l.0001-3";
    REQUIRE(ParsePathData(zigzag, path));
    CHECK_FALSE(FillMask(path, TMatrix::Identity(), TFillRule::NonZero, 16, 16, mask));
    CHECK_FALSE(StrokeMask(path, TMatrix::Identity(), {}, 16, 16, mask));
}

// Path data on arbitrary input, drawn the way an icon is: parsed, trimmed, filled and stroked onto a
// small canvas with a colour or a gradient. The first two bytes choose how:
//   byte 0: bit 0 even-odd, bits 1-2 cap, bits 3-4 join, bit 5 turned and squashed, bit 6 trimmed,
//           bit 7 a gradient (its kind and tiling from bits 1-4);
//   byte 1: the stroke width in sixteenths of a pixel (0 is a hairline) and the miter limit.
// The rest is the path data. Anything but a normal return is a finding; so is a picture of the wrong
// size or a mask that reaches outside its canvas.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "drawable/Canvas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t options = data[0], widthByte = data[1];
    std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    TPath path;
    if (!ParsePathData(text, path))
        return 0;
    constexpr uint32_t kSide = 32;
    TMatrix toDevice = TMatrix::Scale(0.5, 0.5);
    if (options & 0x20)
        toDevice = TMatrix::Translate(16, 16) * TMatrix::Rotate(options * 7.0) * TMatrix::Scale(0.4, 0.15) * toDevice;
    if (options & 0x40)
        path = TrimPath(path, (widthByte & 15) / 16.0, (widthByte >> 4) / 12.0, (options & 7) / 5.0 - 0.6);

    TPaint paint;
    paint.argb = 0xC0408020;
    paint.localToDevice = toDevice;
    if (options & 0x80) {
        TGradient gradient;
        gradient.kind = TGradient::TKind((options >> 1) % 3);
        gradient.tile = TTileMode((options >> 3) % 3);
        gradient.start = {10, 10};
        gradient.end = {70, 40.0 + widthByte % 8};
        gradient.center = {64, 64};
        gradient.radius = widthByte % 5 * 20.0;
        gradient.stops = {{0.7f, 0x80FF0000}, {0.1f, 0xFF00FF00}, {1.5f, 0xFF0000FF}};
        paint.gradient = gradient;
    }
    TCanvas canvas(kSide, kSide);
    TMask fill, stroke;
    auto inside = [](const TMask& mask) {
        const TBox& box = mask.Bounds();
        return box.Empty() || (box.right <= kSide && box.bottom <= kSide);
    };
    TFillRule rule = options & 1 ? TFillRule::EvenOdd : TFillRule::NonZero;
    if (FillMask(path, toDevice, rule, kSide, kSide, fill)) {
        if (!inside(fill))
            std::abort();
        canvas.Fill(fill, paint);
    }
    TStroke style{widthByte / 16.0, TLineCap((options >> 1) % 3), TLineJoin((options >> 3) % 3), widthByte % 7 * 0.8};
    if (StrokeMask(path, toDevice, style, kSide, kSide, stroke)) {
        if (!inside(stroke))
            std::abort();
        TMask clipped = Intersect(stroke, fill);
        canvas.Fill(stroke, paint, fill.Width() ? &clipped : nullptr);
    }
    RgbaImage image = canvas.ToImage();
    if (image.width != kSide || image.height != kSide || image.pixels.size() != size_t(kSide) * kSide * 4)
        std::abort();
    return 0;
}

#include "app/LayoutScale.h"

#include <cstdint>

int ScaleToDpi(int value, unsigned dpi) {
    if (dpi == 0)
        dpi = kLayoutDpi;
    const std::int64_t product = std::int64_t(value) * dpi;
    const std::int64_t half = kLayoutDpi / 2;
    const std::int64_t scaled = product >= 0 ? (product + half) / kLayoutDpi : -((-product + half) / kLayoutDpi);
    return static_cast<int>(scaled);
}

LayoutBox ScaleBox(const LayoutBox& box, unsigned dpi) {
    const int left = ScaleToDpi(box.left, dpi);
    const int top = ScaleToDpi(box.top, dpi);
    return LayoutBox{left, top, ScaleToDpi(box.left + box.width, dpi) - left,
                     ScaleToDpi(box.top + box.height, dpi) - top};
}

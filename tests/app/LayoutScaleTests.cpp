#include "app/LayoutScale.h"

#include <doctest/doctest.h>

#include <initializer_list>

TEST_CASE("Scaling a length to the screen's density rounds to the nearest pixel") {
    struct Case {
        int value;
        unsigned dpi;
        int expected;
    };
    const Case cases[] = {
        {567, 96, 567},   {331, 96, 331},  {0, 144, 0},     {567, 120, 709}, // 708.75
        {331, 120, 414},                                                     // 413.75
        {331, 144, 497},                                                     // 496.5: a half goes up
        {567, 192, 1134}, {72, 144, 108},  {72, 120, 90},   {13, 120, 16},   // 16.25
        {-11, 144, -17}, // -16.5: a half goes away from zero, as for +11
        {11, 144, 17},    {-13, 120, -16}, {-12, 192, -24}, {1, 168, 2}, // 1.75
        {432, 0, 432}, // a failed density query leaves the layout as it is
    };
    for (const auto& c : cases) {
        CAPTURE(c.value);
        CAPTURE(c.dpi);
        CHECK(ScaleToDpi(c.value, c.dpi) == c.expected);
    }
}

TEST_CASE("Scaled boxes that meet at 96 DPI meet at every density") {
    // The status panel sits on the button panel, which ends at the client area's bottom; the two
    // link labels overlap by four pixels.
    const LayoutBox status = {0, 240, 567, 40};
    const LayoutBox buttons = {0, 280, 567, 51};
    const LayoutBox market = {2, 12, 104, 13};
    const LayoutBox driver = {102, 12, 104, 13};
    for (unsigned dpi : {96u, 108u, 120u, 144u, 168u, 192u, 240u}) {
        CAPTURE(dpi);
        const LayoutBox s = ScaleBox(status, dpi);
        const LayoutBox b = ScaleBox(buttons, dpi);
        CHECK(s.top + s.height == b.top);
        CHECK(b.top + b.height == ScaleToDpi(331, dpi));
        CHECK(b.width == ScaleToDpi(567, dpi));
        const LayoutBox m = ScaleBox(market, dpi);
        const LayoutBox d = ScaleBox(driver, dpi);
        CHECK(m.left + m.width - d.left == ScaleToDpi(106, dpi) - ScaleToDpi(102, dpi));
    }
    const LayoutBox box = ScaleBox({19, 94, 60, 13}, 120); // edges 19..79 and 94..107
    CHECK(box.left == 24);
    CHECK(box.top == 118);
    CHECK(box.width == 99 - 24);
    CHECK(box.height == 134 - 118);
}

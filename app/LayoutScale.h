#pragma once

// The window's layout is given in pixels of a 96-DPI screen. On a denser screen every position,
// size and font height is multiplied by dpi / 96, so the window looks the same, only sharper.

constexpr unsigned kLayoutDpi = 96;

// `value` at `dpi`, rounded to the nearest pixel with halves away from zero (as MulDiv rounds), so
// a font's negative pixel height scales exactly like its positive counterpart. A density of 0
// (a failed query) counts as 96.
int ScaleToDpi(int value, unsigned dpi);

// A control's place in its parent: left, top, width and height.
struct LayoutBox {
    int left;
    int top;
    int width;
    int height;
};

// Scales the edges rather than the sizes, so that controls which meet at 96 DPI still meet at
// every density and the panels still fill the client area to its last pixel.
LayoutBox ScaleBox(const LayoutBox& box, unsigned dpi);

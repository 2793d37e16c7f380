#include "image/PngFilters.h"
#include <cstring>

// Each filter is a template on the pixel size so the byte loops have constant strides the compiler
// can unroll; the first bytesPerPixel bytes, which have no left neighbour, are done separately so
// the main loops carry no per-byte branch. out may alias filtered: every byte is read before the
// same position is written, and only earlier positions of out are read back.

namespace {

template <unsigned Bpp> void UnfilterSub(const uint8_t* filtered, uint8_t* out, size_t length) {
    size_t i = 0;
    for (; i < Bpp && i < length; ++i)
        out[i] = filtered[i];
    for (; i < length; ++i)
        out[i] = uint8_t(filtered[i] + out[i - Bpp]);
}

void UnfilterUp(const uint8_t* filtered, const uint8_t* prior, uint8_t* out, size_t length) {
    for (size_t i = 0; i < length; ++i)
        out[i] = uint8_t(filtered[i] + prior[i]);
}

template <unsigned Bpp>
void UnfilterAverage(const uint8_t* filtered, const uint8_t* prior, uint8_t* out, size_t length) {
    size_t i = 0;
    for (; i < Bpp && i < length; ++i)
        out[i] = uint8_t(filtered[i] + (prior[i] >> 1));
    for (; i < length; ++i)
        out[i] = uint8_t(filtered[i] + ((unsigned(out[i - Bpp]) + prior[i]) >> 1));
}

// The Paeth predictor with the standard's tie-break (left, then above, then upper left), written with
// the distances it derives from p = a + b - c: |p - a| = |b - c|, |p - b| = |a - c|,
// |p - c| = |a + b - 2c|. The selects compile to conditional moves.
inline unsigned Paeth(int a, int b, int c) {
    int pa = b - c;
    int pb = a - c;
    int pc = pa + pb;
    pa = pa < 0 ? -pa : pa;
    pb = pb < 0 ? -pb : pb;
    pc = pc < 0 ? -pc : pc;
    int bestBc = pb <= pc ? b : c;
    int bestPbc = pb <= pc ? pb : pc;
    return unsigned(pa <= bestPbc ? a : bestBc);
}

template <unsigned Bpp> void UnfilterPaeth(const uint8_t* filtered, const uint8_t* prior, uint8_t* out, size_t length) {
    size_t i = 0;
    // With no left or upper-left pixel the predictor always picks the pixel above.
    for (; i < Bpp && i < length; ++i)
        out[i] = uint8_t(filtered[i] + prior[i]);
    if (length < Bpp)
        return;
    // Keep the left and upper-left pixels in registers: reading them back through out would be a
    // load that the compiler cannot hoist, since out may alias filtered.
    int left[Bpp];
    int upperLeft[Bpp];
    for (unsigned k = 0; k < Bpp; ++k) {
        left[k] = out[k];
        upperLeft[k] = prior[k];
    }
    for (; i + Bpp <= length; i += Bpp) {
        for (unsigned k = 0; k < Bpp; ++k) {
            int above = prior[i + k];
            int value = uint8_t(filtered[i + k] + Paeth(left[k], above, upperLeft[k]));
            out[i + k] = uint8_t(value);
            left[k] = value;
            upperLeft[k] = above;
        }
    }
    // Rows of the PNG formats are whole pixels; a partial pixel at the end is still handled.
    for (unsigned k = 0; i + k < length; ++k)
        out[i + k] = uint8_t(filtered[i + k] + Paeth(left[k], prior[i + k], upperLeft[k]));
}

template <unsigned Bpp>
bool Unfilter(uint8_t filterType, const uint8_t* filtered, const uint8_t* prior, uint8_t* out, size_t length) {
    switch (filterType) {
    case 0:
        if (out != filtered)
            std::memmove(out, filtered, length); // the two may overlap
        return true;
    case 1:
        UnfilterSub<Bpp>(filtered, out, length);
        return true;
    case 2:
        UnfilterUp(filtered, prior, out, length);
        return true;
    case 3:
        UnfilterAverage<Bpp>(filtered, prior, out, length);
        return true;
    case 4:
        UnfilterPaeth<Bpp>(filtered, prior, out, length);
        return true;
    default:
        return false;
    }
}

} // namespace

bool UnfilterRow(uint8_t filterType, const uint8_t* filtered, const uint8_t* prior, uint8_t* out, size_t length,
                 unsigned bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1:
        return Unfilter<1>(filterType, filtered, prior, out, length);
    case 2:
        return Unfilter<2>(filterType, filtered, prior, out, length);
    case 3:
        return Unfilter<3>(filterType, filtered, prior, out, length);
    case 4:
        return Unfilter<4>(filterType, filtered, prior, out, length);
    case 6:
        return Unfilter<6>(filterType, filtered, prior, out, length);
    case 8:
        return Unfilter<8>(filterType, filtered, prior, out, length);
    default:
        return false;
    }
}

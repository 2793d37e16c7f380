// Feeds the bitmap front door (WebP through libwebp, PNG through our decoder), and the downscaler
// after it, with mutated files. WebP has no checksums, but a mutation that changes the length
// breaks the RIFF size, so the first input byte picks how the rest is used:
//   mode 0: the rest is the file as it stands;
//   mode 1: the RIFF size is set to fit the rest, so damage reaches the chunks and bitstreams.
// Anything but a normal return or an ImageError is a finding, and so is a decoded picture whose
// size differs from what BitmapSize read in its header.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/Bitmap.h"
#include "image/ImageScale.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::vector<uint8_t> file(data + 1, data + size);
    if (data[0] % 2 == 1 && file.size() >= 8) {
        size_t riff = file.size() - 8;
        for (int i = 0; i < 4; ++i)
            file[4 + i] = uint8_t(riff >> (8 * i));
    }
    // Smaller limits than the program's keep each run fast; the limit checks themselves are the same.
    PngLimits limits;
    limits.maxWidth = 4096;
    limits.maxHeight = 4096;
    limits.maxPixelBytes = 4 * 1024 * 1024;
    uint32_t width = 0, height = 0;
    bool sized = BitmapSize(file.data(), file.size(), width, height);
    try {
        RgbaImage image = DecodeBitmap(file.data(), file.size(), limits);
        if (image.pixels.size() != size_t(image.width) * image.height * 4 || !sized || width != image.width ||
            height != image.height)
            std::abort();
        RgbaImage icon = ScaleToFit(image, 72, 72);
        if (icon.width > 72 || icon.height > 72 || icon.width == 0 || icon.height == 0 ||
            icon.pixels.size() != size_t(icon.width) * icon.height * 4)
            std::abort();
    } catch (const ImageError&) {
    }
    return 0;
}

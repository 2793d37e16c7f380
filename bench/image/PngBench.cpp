// png_bench <label=file.png>...: decodes each file with our decoder and with libpng, both to 8-bit
// RGBA in memory, and prints the best time of several rounds side by side with the ratio.
// Labels that start with "icon" are also summed into one line for the icon set.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/PngDecoder.h"

namespace {

struct MemorySource {
    const std::vector<uint8_t>* data;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->data->size() - source->position)
        png_error(png, "read past end");
    std::memcpy(out, source->data->data() + source->position, count);
    source->position += count;
}

// libpng's equivalent of our output: every format expanded to 8-bit RGBA, interlacing undone.
size_t DecodeWithLibpng(const std::vector<uint8_t>& file) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error("libpng failed");
    }
    MemorySource source{&file, 0};
    png_set_read_fn(png, &source, ReadFromMemory);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    pixels.resize(size_t(width) * height * 4);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = pixels.data() + size_t(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return pixels.size();
}

size_t DecodeWithOurs(const std::vector<uint8_t>& file) {
    return DecodePng(file.data(), file.size()).pixels.size();
}

// Decodes repeated until one batch takes at least 20 ms; returns the count.
template <typename Decode> int BatchSize(const std::vector<uint8_t>& file, Decode decode) {
    int repeats = 1;
    for (;;) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < repeats; ++i)
            decode(file);
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(20) || repeats > (1 << 20))
            return repeats;
        repeats *= 2;
    }
}

template <typename Decode> double BatchTime(const std::vector<uint8_t>& file, Decode decode, int repeats) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        decode(file);
    std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / repeats;
}

// Microseconds per decode for both decoders: the best of many batches, taken in turns so that both
// meet the same load on a shared machine.
void Time(const std::vector<uint8_t>& file, double& ours, double& libpng) {
    const int oursRepeats = BatchSize(file, DecodeWithOurs);
    const int libpngRepeats = BatchSize(file, DecodeWithLibpng);
    ours = libpng = 1e30;
    for (int round = 0; round < 15; ++round) {
        ours = std::min(ours, BatchTime(file, DecodeWithOurs, oursRepeats));
        libpng = std::min(libpng, BatchTime(file, DecodeWithLibpng, libpngRepeats));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: png_bench label=file.png...\n");
        return 2;
    }
    std::printf("%-22s %12s %12s %8s\n", "image", "ours (us)", "libpng (us)", "ratio");
    double iconOurs = 0, iconLibpng = 0;
    int icons = 0;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        size_t equals = argument.find('=');
        std::string label = argument.substr(0, equals), path = argument.substr(equals + 1);
        std::ifstream stream(path, std::ios::binary);
        std::vector<uint8_t> file((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        if (DecodeWithOurs(file) != DecodeWithLibpng(file)) {
            std::fprintf(stderr, "%s: the decoders disagree on the size\n", path.c_str());
            return 1;
        }
        double ours, libpng;
        Time(file, ours, libpng);
        std::printf("%-22s %12.1f %12.1f %8.2f\n", label.c_str(), ours, libpng, ours / libpng);
        if (label.compare(0, 4, "icon") == 0) {
            iconOurs += ours;
            iconLibpng += libpng;
            ++icons;
        }
    }
    if (icons > 0)
        std::printf("%-22s %12.1f %12.1f %8.2f\n", ("icon set (" + std::to_string(icons) + ")").c_str(), iconOurs,
                    iconLibpng, iconOurs / iconLibpng);
    return 0;
}

#include <doctest/doctest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "PngTestFiles.h"
#include "TestPaths.h"
#include "image/Bitmap.h"
#include "image/WebpDecoder.h"

// Files from cwebp, img2webp and webpmux (tests/image/make-webp.sh), each with what Debian's dwebp
// decodes from it. Both sides run the same libwebp version, so pixels must match exactly.
namespace {

Bytes WebpFile(const std::string& name) {
    Bytes file = ReadFile(BinaryPath("tests/image/webp/" + name));
    REQUIRE_MESSAGE(!file.empty(), name);
    return file;
}

// dwebp's PAM; with a .frame line (an animation), placed on a transparent canvas at its offset.
RgbaImage Reference(const std::string& name, bool animated) {
    std::ifstream pam(BinaryPath("tests/image/webp/" + name + ".pam"), std::ios::binary);
    std::string word;
    uint32_t width = 0, height = 0;
    while (pam >> word && word != "ENDHDR") {
        if (word == "WIDTH")
            pam >> width;
        else if (word == "HEIGHT")
            pam >> height;
    }
    pam.get();
    Bytes frame(size_t(width) * height * 4);
    pam.read(reinterpret_cast<char*>(frame.data()), std::streamsize(frame.size()));
    RgbaImage image{width, height, frame};
    if (animated) {
        uint32_t x = 0, y = 0;
        std::ifstream(BinaryPath("tests/image/webp/" + name + ".frame")) >> image.width >> image.height >> x >> y;
        image.pixels.assign(image.Stride() * image.height, 0);
        for (uint32_t row = 0; row < height; ++row)
            std::memcpy(&image.pixels[(y + row) * image.Stride() + x * 4], &frame[row * width * 4], width * 4);
    }
    return image;
}

void Patch(Bytes& file, size_t at, std::initializer_list<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + at);
}

std::function<void(Bytes&)> PatchAt(size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes patch(bytes);
    return [at, patch](Bytes& file) { std::copy(patch.begin(), patch.end(), file.begin() + at); };
}

void SetRiffSize(Bytes& file, size_t size) {
    Patch(file, 4, {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)});
}

} // namespace

TEST_CASE("WebP pictures and an animation's first frame decode as dwebp decodes them") {
    for (auto [name, animated] : {std::pair{"lossy", false},
                                  {"lossless", false},
                                  {"lossy-alpha", false},
                                  {"anim", true},
                                  {"anim-offset", true}}) {
        INFO(name);
        Bytes file = WebpFile(std::string(name) + ".webp");
        RgbaImage expected = Reference(name, animated);
        RgbaImage image = DecodeWebp(file.data(), file.size());
        REQUIRE(image.width == expected.width);
        REQUIRE(image.height == expected.height);
        size_t differ = 0;
        while (differ < image.pixels.size() && image.pixels[differ] == expected.pixels[differ])
            ++differ;
        CHECK_MESSAGE(differ == image.pixels.size(), "first difference at pixel ", differ / 4);
    }
}

TEST_CASE("Hostile WebP files throw cleanly, the oversized ones before any decoding") {
    enum Kind { kFormat, kTooLarge };
    struct Case {
        const char* what;
        const char* file;
        std::function<void(Bytes&)> damage;
        Kind kind;
    };
    const Case cases[] = {
        {"lossy header claims 16383 x 16383", "lossy.webp", PatchAt(26, {0xFF, 0x3F, 0xFF, 0x3F}), kTooLarge},
        {"lossless header claims 16384 x 16384", "lossless.webp", PatchAt(21, {0xFF, 0xFF, 0xFF, 0x1F}), kTooLarge},
        {"animation canvas 30000 x 30000", "anim.webp", PatchAt(24, {0x2F, 0x75, 0, 0x2F, 0x75, 0}), kTooLarge},
        {"RIFF size past the end", "lossless.webp", [](Bytes& f) { SetRiffSize(f, f.size() - 6); }, kFormat},
        {"RIFF size half the file", "anim.webp", [](Bytes& f) { SetRiffSize(f, f.size() / 2); }, kFormat},
        {"RIFF size 4", "lossy-alpha.webp", [](Bytes& f) { SetRiffSize(f, 4); }, kFormat},
        {"garbage after RIFF....WEBP", "lossy.webp", [](Bytes& f) { std::fill(f.begin() + 12, f.end(), 0xA5); },
         kFormat},
        {"garbage in the first frame", "anim-offset.webp",
         [](Bytes& f) { std::fill(f.begin() + 80, f.begin() + 400, 0x5A); }, kFormat},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* name : {"lossy.webp", "lossless.webp", "lossy-alpha.webp", "anim.webp", "anim-offset.webp"}) {
        size_t size = WebpFile(name).size();
        for (size_t length : {size_t(0), size_t(11), size_t(12), size_t(20), size_t(30), size / 2, size - 1})
            all.push_back({"cut short", name, [length](Bytes& f) { f.resize(length); }, kFormat});
    }
    for (const Case& c : all) {
        INFO(c.what, " in ", c.file);
        Bytes file = WebpFile(c.file);
        c.damage(file);
        if (c.kind == kTooLarge)
            CHECK_THROWS_AS(DecodeWebp(file.data(), file.size()), WebpTooLargeError);
        else
            CHECK_THROWS_AS(DecodeWebp(file.data(), file.size()), WebpFormatError);
    }
}

TEST_CASE("Each limit holds at its edge, for a picture and for an animation's canvas") {
    for (const char* name : {"lossless.webp", "anim-offset.webp"}) {
        Bytes file = WebpFile(name); // both 37 x 23
        PngLimits exact{37, 23, 37 * 23 * 4};
        CHECK_NOTHROW(DecodeWebp(file.data(), file.size(), exact));
        for (PngLimits below :
             {PngLimits{36, 23, 37 * 23 * 4}, PngLimits{37, 22, 37 * 23 * 4}, PngLimits{37, 23, 37 * 23 * 4 - 1}})
            CHECK_THROWS_AS(DecodeWebp(file.data(), file.size(), below), WebpTooLargeError);
    }
}

TEST_CASE("The front door tells PNG from WebP by the first bytes") {
    Bytes png = WebpFile("small.png"), webp = WebpFile("small.webp"), anim = WebpFile("anim-offset.webp");
    Bytes wave = webp;
    Patch(wave, 8, {'W', 'A', 'V', 'E'});
    uint32_t width = 0, height = 0;
    for (const Bytes* file : {&png, &webp}) {
        CHECK(BitmapSize(file->data(), file->size(), width, height));
        CHECK((width == 22 && height == 14));
        CHECK(DecodeBitmap(file->data(), file->size()).pixels == DecodePng(png.data(), png.size()).pixels);
    }
    CHECK(BitmapSize(anim.data(), anim.size(), width, height));
    CHECK((width == 37 && height == 23));
    for (const Bytes& bad : {wave, Bytes(png.begin(), png.begin() + 23), Bytes(webp.begin(), webp.begin() + 12)}) {
        CHECK_FALSE(BitmapSize(bad.data(), bad.size(), width, height));
        CHECK_THROWS_AS(DecodeBitmap(bad.data(), bad.size()), ImageError);
    }
    CHECK_THROWS_AS(DecodeBitmap(wave.data(), wave.size()), PngHeaderError);
}

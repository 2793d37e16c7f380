#include "apkinfo/PackageIcon.h"

#include "TestPaths.h"
#include "zip/ZipErrors.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifdef VARNEL_ICON_PACKAGES
namespace {

std::string IconPackage(const std::string& name) {
#ifdef _WIN32
    return TestPath(VARNEL_ICON_PACKAGES) + "\\" + name;
#else
    return std::string(VARNEL_ICON_PACKAGES) + "/" + name;
#endif
}

} // namespace

TEST_CASE("The icon the tool names, or a PNG sibling of it, fitted into the box") {
    struct Case {
        const char* package;
        const char* member;
        std::uint32_t box;
        bool shown;
        std::uint32_t size;
    };
    const char* const adaptive = "res\\mipmap-anydpi-v26\\ic_launcher.xml";
    const Case cases[] = {
        {"icon-large.apk", "res\\mipmap-xxhdpi-v4\\ic_launcher.png", 72, true, 72}, // 144 px, scaled down
        {"icon-large.apk", "RES/MIPMAP-XXHDPI-V4/IC_LAUNCHER.PNG", 72, true, 72},   // letter case and '/' aside
        {"icon-adaptive.apk", adaptive, 72, true, 72},   // the smallest sibling that fills the box: 72 px
        {"icon-adaptive.apk", adaptive, 108, true, 108}, // a larger box takes a larger sibling
        {"icon-adaptive.apk", adaptive, 48, true, 48},   // and a smaller one the 48 px one as it is
        {"icon-adaptive.apk", adaptive, 40, true, 40},   // or the smallest above it, scaled down
        {"icon-small.apk", adaptive, 72, true, 48},      // siblings of 36 and 48 px: the largest
        {"icon-none.apk", "", 72, false, 0},
        {"icon-none.apk", "   ", 72, false, 0},
        {"icon-damaged.apk", "res\\mipmap-mdpi-v4\\ic_launcher.png", 72, false, 0},
        {"icon-large.apk", "res\\no\\such.png", 72, false, 0},
        {"icon-large.apk", "res\\*.png", 72, false, 0}, // a name, not a pattern
    };
    for (const auto& c : cases) {
        CAPTURE(c.package);
        CAPTURE(c.member);
        CAPTURE(c.box);
        RgbaImage icon;
        CHECK(LoadPackageIcon(IconPackage(c.package), c.member, c.box, TZipPlatform::Portable(), icon) == c.shown);
        if (c.shown) {
            CHECK(icon.width == c.size);
            CHECK(icon.height == c.size);
            CHECK(icon.pixels.size() == std::size_t(c.size) * c.size * 4);
        }
    }
}

TEST_CASE("On a denser screen a PNG icon grows with the density, from a sharper sibling") {
    struct Case {
        const char* package;
        const char* member;
        unsigned dpi;
        std::uint32_t box; // the icon box at that density
        std::uint32_t size;
    };
    const char* const mdpi = "res\\mipmap-mdpi-v4\\ic_launcher.png";     // 48 px, siblings 72, 96, 144
    const char* const ldpi = "res\\mipmap-ldpi-v4\\ic_launcher.png";     // 36 px, sibling 48
    const char* const xxhdpi = "res\\mipmap-xxhdpi-v4\\ic_launcher.png"; // 144 px
    const Case cases[] = {
        {"icon-adaptive.apk", mdpi, 96, 72, 48},      // its own size at the layout's density
        {"icon-adaptive.apk", mdpi, 144, 108, 72},    // 48 x 1.5: the 72 px sibling as it is
        {"icon-adaptive.apk", mdpi, 192, 144, 96},    // 48 x 2: the 96 px one
        {"icon-adaptive.apk", mdpi, 120, 90, 60},     // 48 x 1.25: the 72 px one scaled down
        {"icon-adaptive.apk", xxhdpi, 144, 108, 108}, // already larger than the box: fitted
        {"icon-small.apk", ldpi, 192, 144, 48},       // 36 x 2 = 72, but 48 px is the sharpest there is
        {"icon-large.apk", xxhdpi, 120, 90, 90},      // no siblings: fitted as before
    };
    for (const auto& c : cases) {
        CAPTURE(c.package);
        CAPTURE(c.member);
        CAPTURE(c.dpi);
        RgbaImage icon;
        REQUIRE(LoadPackageIcon(IconPackage(c.package), c.member, c.box, TZipPlatform::Portable(), icon, c.dpi));
        CHECK(icon.width == c.size);
        CHECK(icon.height == c.size);
    }
}

// A pixel of an icon, straight RGBA, within `slack` per channel (lossy WebP pictures vary a little).
bool PixelIs(const RgbaImage& icon, std::uint32_t x, std::uint32_t y, std::uint32_t rgba, int slack = 10) {
    const std::uint8_t* p = icon.Pixel(x, y);
    for (int c = 0; c < 4; ++c) {
        const int want = static_cast<int>((rgba >> (24 - 8 * c)) & 0xFF);
        if (std::abs(p[c] - want) > slack)
            return false;
    }
    return true;
}

TEST_CASE("A package made today shows the icon its phone shows: the adaptive icon, else a WebP picture") {
    struct Case {
        const char* package;
        const char* member;
        unsigned dpi;
        std::uint32_t box;
        std::uint32_t size;
        // Where in the icon, as a share of its side, and the colour there.
        double x, y;
        std::uint32_t rgba;
    };
    const char* const anydpi = "res\\mipmap-anydpi-v26\\ic_launcher.xml";
    const char* const webp = "res\\mipmap-mdpi-v4\\ic_launcher.webp";
    const std::uint32_t clear = 0x00000000;
    const Case cases[] = {
        // Vector layers: the whole box at any density, its corners rounded off.
        {"sample", anydpi, 96, 72, 72, 0.0, 0.0, clear},
        {"sample", anydpi, 96, 72, 72, 0.5, 0.5, 0xFF8A1EFF}, // the star's heart
        {"sample", anydpi, 96, 72, 72, 0.5, 0.3, 0xFFFFFFFF}, // a point of the star
        {"sample", anydpi, 192, 144, 144, 0.5, 0.3, 0xFFFFFFFF},
        {"sample", anydpi, 192, 144, 144, 0.99, 0.99, clear},
        // A WebP foreground per density: the one for the box's density is drawn.
        {"icon-layered.apk", anydpi, 96, 72, 72, 0.5, 0.5, 0x1976D2FF},    // mdpi: blue
        {"icon-layered.apk", anydpi, 192, 144, 144, 0.5, 0.5, 0x388E3CFF}, // xhdpi: green
        {"icon-layered.apk", anydpi, 96, 72, 72, 0.5, 0.02, 0xFF8A1EFF},   // the colour behind it
        // A background we can't draw: the WebP picture beside the adaptive icon, as before.
        {"icon-themed.apk", anydpi, 96, 72, 72, 0.5, 0.5, 0xFFFFFFFF},
        {"icon-themed.apk", anydpi, 96, 72, 72, 0.0, 0.0, clear},
        // WebP pictures only: the named one at its own size, a sharper sibling on a denser screen.
        {"icon-webp.apk", webp, 96, 72, 48, 0.5, 0.5, 0xFFFFFFFF},
        {"icon-webp.apk", webp, 192, 144, 96, 0.5, 0.5, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        CAPTURE(c.package);
        CAPTURE(c.dpi);
        CAPTURE(c.x);
        CAPTURE(c.y);
#ifdef _WIN32
        const std::string sample = TestPath(VARNEL_SAMPLE_APK_FILE);
#else
        const std::string sample = VARNEL_SAMPLE_APK_FILE;
#endif
        const std::string path = std::string(c.package) == "sample" ? sample : IconPackage(c.package);
        RgbaImage icon;
        REQUIRE(LoadPackageIcon(path, c.member, c.box, TZipPlatform::Portable(), icon, c.dpi));
        CHECK(icon.width == c.size);
        CHECK(icon.height == c.size);
        const auto x = std::min(c.size - 1, static_cast<std::uint32_t>(c.x * c.size));
        const auto y = std::min(c.size - 1, static_cast<std::uint32_t>(c.y * c.size));
        CHECK(PixelIs(icon, x, y, c.rgba));
    }
}

TEST_CASE("Only a package that can't be opened at all is an error") {
    RgbaImage icon;
    CHECK_THROWS_AS(LoadPackageIcon(IconPackage("no-such.apk"), "a.png", 72, TZipPlatform::Portable(), icon),
                    EFOpenError);
    const std::string notZip = IconPackage("not-a-zip.tmp");
    std::FILE* file = std::fopen(notZip.c_str(), "wb");
    REQUIRE(file != nullptr);
    std::fputs("this is not a zip archive at all", file);
    std::fclose(file);
    CHECK_FALSE(LoadPackageIcon(notZip, "res\\a.png", 72, TZipPlatform::Portable(), icon));
    std::remove(notZip.c_str());
}
#endif

#include "apkinfo/PackageIcon.h"

#include "TestPaths.h"
#include "zip/ZipErrors.h"

#include <doctest/doctest.h>

#include <cstdio>

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
        {"icon-adaptive.apk", adaptive, 72, true, 72},  // the smallest sibling that fills the box: 72 px
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

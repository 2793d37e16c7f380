// icon_bench <vector.apk> <png.apk>: the work Varnel does from a package being chosen to its icon
// being drawn (our aapt's reading of the package, the facts, the icon loaded, drawn or decoded and
// fitted into the box), for a package whose icon is an adaptive icon of vector layers and for the
// same package with PNG icons, at 96 and 192 DPI. Prints the best time of many rounds side by side,
// with the ratio vector / PNG.
#include "PackageFile.h"
#include "apkinfo/PackageIcon.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The icon member the tool names on the application line.
std::string IconMember(const std::string& badging) {
    const std::string key = "application: label='";
    size_t at = badging.find(key);
    at = at == std::string::npos ? at : badging.find("icon='", at);
    if (at == std::string::npos)
        return std::string();
    at += 6;
    std::string member = badging.substr(at, badging.find('\'', at) - at);
    std::replace(member.begin(), member.end(), '/', '\\');
    return member;
}

// Best of `rounds`, in milliseconds.
double Time(const std::string& apk, unsigned dpi, int rounds) {
    const auto box = static_cast<std::uint32_t>((72 * dpi + 48) / 96);
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const TBadgingResult badging = DumpBadgingOfFile(apk);
        RgbaImage icon;
        if (!LoadPackageIcon(apk, IconMember(badging.out), box, TZipPlatform::Portable(), icon, dpi)) {
            std::fprintf(stderr, "no icon for %s\n", apk.c_str());
            return 0;
        }
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon_bench <vector.apk> <png.apk>\n");
        return 2;
    }
    const int rounds = std::getenv("ICON_BENCH_ROUNDS") ? std::atoi(std::getenv("ICON_BENCH_ROUNDS")) : 200;
    std::printf("%-8s %14s %14s %8s\n", "display", "vector icon", "PNG icon", "ratio");
    for (const unsigned dpi : {96u, 192u}) {
        const double vector = Time(argv[1], dpi, rounds);
        const double png = Time(argv[2], dpi, rounds);
        std::printf("%3u DPI  %11.3f ms %11.3f ms %7.2fx\n", dpi, vector, png, png > 0 ? vector / png : 0.0);
    }
    return 0;
}

#include "drawable/DrawableReader.h"
#include "drawable/DrawableRender.h"
#include "image/PngDecoder.h"
#include "zip/ZipReader.h"

#include <doctest/doctest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#ifdef VARNEL_DRAWABLES
namespace {

const std::string kFolder = VARNEL_DRAWABLES;

class TFiles : public IResourceFiles {
public:
    explicit TFiles(TZipReader& reader) : reader_(reader) {}
    bool Read(const std::string& name, size_t maxSize, std::vector<uint8_t>& bytes) override {
        TMemoryStream stream(maxSize);
        if (!ExtractMemberToMemory(reader_, name, stream))
            return false;
        bytes = stream.TakeBytes();
        return true;
    }

private:
    TZipReader& reader_;
};

struct TPackage {
    TPackage() : reader(TZipPlatform::Portable()), files(reader) {
        reader.SetZipName(kFolder + "/drawables.apk");
        reader.LoadDirectory();
        TMemoryStream stream;
        REQUIRE(ExtractMemberToMemory(reader, "resources.arsc", stream));
        tableBytes = stream.TakeBytes();
        REQUIRE(table.Load(TByteSpan(tableBytes.data(), tableBytes.size())));
    }
    TDrawableReader Reader() {
        TResConfig request;
        request.density = 160;
        request.sdkVersion = 10000;
        return TDrawableReader({TResourceSource{&table, &files}}, request);
    }

    TZipReader reader;
    TFiles files;
    std::vector<uint8_t> tableBytes;
    TResourceTable table;
};

RgbaImage Oracle(const std::string& name) {
    std::ifstream file(kFolder + "/oracle/" + name + ".png", std::ios::binary);
    REQUIRE(file);
    return DecodePng(file);
}

// How far our picture is from librsvg's, on premultiplied colour: librsvg antialiases edges a
// little differently from FreeType, so single edge pixels differ; a wrong shape, colour, transform
// or alpha differs by far more over whole areas.
struct TDifference {
    double mean = 0; // mean channel difference, 0..255
    int worst = 0;   // the largest channel difference
};

TDifference Compare(const RgbaImage& ours, const RgbaImage& oracle) {
    TDifference difference;
    double total = 0;
    for (uint32_t y = 0; y < ours.height; ++y) {
        for (uint32_t x = 0; x < ours.width; ++x) {
            const uint8_t* a = ours.Pixel(x, y);
            const uint8_t* b = oracle.Pixel(x, y);
            for (int c = 0; c < 4; ++c) {
                const int pa = c == 3 ? a[3] : a[c] * a[3] / 255;
                const int pb = c == 3 ? b[3] : b[c] * b[3] / 255;
                difference.worst = std::max(difference.worst, std::abs(pa - pb));
                total += std::abs(pa - pb);
            }
        }
    }
    const double pixels = double(ours.width) * ours.height;
    difference.mean = total / (pixels * 4);
    return difference;
}

} // namespace

// Tolerance, calibrated on the table: the largest mean channel difference is 0.24 (of 255) and the
// largest single difference 26, on edges of small shapes. Allowed: a mean of 0.5 and 40 on a pixel;
// a wrong colour, alpha, place or shape is off by over 100 on whole areas.
TEST_CASE("Each drawable looks as librsvg draws the same picture in SVG") {
    TPackage package;
    std::ifstream list(kFolder + "/cases.txt");
    REQUIRE(list);
    std::string line;
    int drawn = 0;
    while (std::getline(list, line)) {
        std::istringstream words(line);
        std::string kind, name;
        words >> kind >> name;
        if (kind != "draw" && kind != "icon")
            continue;
        CAPTURE(name);
        TDrawableReader reader = package.Reader();
        const TDrawablePtr drawable = reader.ReadFile("res/drawable/" + name + ".xml");
        CAPTURE(reader.Failure());
        REQUIRE(drawable);
        RgbaImage ours;
        if (kind == "icon") {
            uint32_t box = 0;
            words >> box;
            REQUIRE(RenderIcon(*drawable, box, ours));
        } else {
            uint32_t width = 0, height = 0;
            words >> width >> height;
            TCanvas canvas(width, height);
            REQUIRE(DrawDrawable(*drawable, canvas, TRect{0, 0, double(width), double(height)}, 1.0));
            ours = canvas.ToImage();
        }
        const RgbaImage oracle = Oracle(name);
        REQUIRE(ours.width == oracle.width);
        REQUIRE(ours.height == oracle.height);
        const TDifference difference = Compare(ours, oracle);
        CAPTURE(difference.mean);
        CAPTURE(difference.worst);
        CHECK(difference.mean <= 0.5);
        CHECK(difference.worst <= 40);
        ++drawn;
    }
    CHECK(drawn >= 20);
}

TEST_CASE("A drawable the phone would not draw as we would is refused, with the reason") {
    TPackage package;
    std::ifstream list(kFolder + "/cases.txt");
    std::string line;
    int refused = 0;
    while (std::getline(list, line)) {
        std::istringstream words(line);
        std::string kind, name, reason;
        words >> kind >> name;
        if (kind != "refuse")
            continue;
        std::getline(words >> std::ws, reason);
        CAPTURE(name);
        TDrawableReader reader = package.Reader();
        CHECK_FALSE(reader.ReadFile("res/drawable/" + name + ".xml"));
        CHECK(reader.Failure().find(reason) != std::string::npos);
        ++refused;
    }
    CHECK(refused >= 7);
}

TEST_CASE("A drawable too large or too odd to draw ends cleanly, and quickly") {
    TPackage package;
    std::ifstream list(kFolder + "/cases.txt");
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream words(line);
        std::string kind, name;
        int drawn = 0;
        words >> kind >> name >> drawn;
        if (kind != "hostile")
            continue;
        CAPTURE(name);
        TDrawableReader reader = package.Reader();
        const TDrawablePtr drawable = reader.ReadFile("res/drawable/" + name + ".xml");
        REQUIRE(drawable);
        RgbaImage icon;
        CHECK(RenderIcon(*drawable, 144, icon) == (drawn != 0));
    }
}
#endif

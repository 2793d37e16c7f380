#include <doctest/doctest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "PngTestFiles.h"
#include "TestPaths.h"
#include "image/PngDecoder.h"

namespace {

const char kInvalidHeaderMessage[] =
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an invalid "
    "header. This file may be corruped, try obtaining it again.";

std::string MatrixPath(const std::string& name) {
    return BinaryPath("tests/image/matrix/" + name);
}

RgbaImage Decode(const Bytes& file, const PngLimits& limits = PngLimits()) {
    return DecodePng(file.data(), file.size(), limits);
}

// The message of the ImageError that decoding raises, or "" when it succeeds.
std::string DecodeError(const Bytes& file, const PngLimits& limits = PngLimits()) {
    try {
        Decode(file, limits);
    } catch (const ImageError& e) {
        return e.what();
    }
    return "";
}

// What a file really is, in the matrix's naming scheme c<type>-d<depth>[-i][-t]-<width>x<height>:
// ImageMagick quietly writes another form when it cannot honour a request.
std::string Describe(const Bytes& file) {
    const uint8_t* header = nullptr;
    bool trns = false;
    for (size_t pos = 8; pos + 12 <= file.size(); pos += 12 + size_t(GetBe32(&file[pos]))) {
        if (std::memcmp(&file[pos + 4], "IHDR", 4) == 0 && pos + 25 <= file.size())
            header = &file[pos + 8];
        trns |= std::memcmp(&file[pos + 4], "tRNS", 4) == 0;
    }
    if (header == nullptr)
        return "no IHDR";
    return "c" + std::to_string(header[9]) + "-d" + std::to_string(header[8]) + (header[12] ? "-i" : "") +
           (trns ? "-t" : "") + "-" + std::to_string(GetBe32(header)) + "x" + std::to_string(GetBe32(header + 4));
}

std::vector<std::string> MatrixNames() {
    std::vector<std::string> names;
    auto add = [&](int type, int depth, bool interlaced, bool trns, const char* size) {
        names.push_back("c" + std::to_string(type) + "-d" + std::to_string(depth) + (interlaced ? "-i" : "") +
                        (trns ? "-t" : "") + "-" + size);
    };
    for (bool i : {false, true}) {
        for (int depth : {1, 2, 4, 8, 16}) {
            add(0, depth, i, false, "37x23");
            add(0, depth, i, true, "37x23");
        }
        for (int depth : {1, 2, 4, 8}) {
            add(3, depth, i, false, "37x23");
            add(3, depth, i, true, "37x23");
        }
        for (int depth : {8, 16}) {
            add(2, depth, i, false, "37x23");
            add(2, depth, i, true, "37x23");
            add(4, depth, i, false, "37x23");
            add(6, depth, i, false, "37x23");
        }
    }
    // Adam7 passes that are empty or one pixel wide, sub-byte rows that end mid-byte.
    for (const char* size : {"1x1", "2x2", "3x3", "5x9", "9x5"})
        add(6, 8, true, false, size);
    for (const char* size : {"3x3", "9x1", "1x9"})
        add(0, 1, true, false, size);
    add(3, 2, true, true, "5x7");
    add(6, 8, false, false, "1x1");
    return names;
}

// A 2 x 2 RGBA picture with every scanline filtered by type 0.
const Bytes kRgbaScanlines = {0, 10, 20, 30, 255, 40, 50, 60, 128, 0, 70, 80, 90, 0, 100, 110, 120, 1};
Bytes ValidRgba() {
    return Png({Ihdr(2, 2, 8, 6), Idat(kRgbaScanlines), Iend()});
}

} // namespace

TEST_CASE("every colour type, bit depth and interlacing decodes to ImageMagick's own RGBA dump") {
    for (const std::string& name : MatrixNames()) {
        CAPTURE(name);
        Bytes file = ReadFile(MatrixPath(name + ".png"));
        Bytes expected = ReadFile(MatrixPath(name + ".rgba"));
        REQUIRE(Describe(file) == name);
        RgbaImage image = Decode(file);
        REQUIRE(image.pixels.size() == expected.size());
        size_t first = size_t(std::mismatch(image.pixels.begin(), image.pixels.end(), expected.begin()).first -
                              image.pixels.begin()) /
                       4;
        INFO("first differing pixel: x " << first % image.width << ", y " << first / image.width);
        CHECK(image.pixels == expected);
    }
}

TEST_CASE("data without the PNG signature raises the invalid-header message word for word") {
    const Bytes signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes damagedSignature = ValidRgba();
    damagedSignature[4] = 0x0A; // a file that went through a CR LF conversion
    const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><adaptive-icon/>";
    const Bytes cases[] = {
        {},
        Bytes(signature.begin(), signature.end() - 1),
        Bytes(xml.begin(), xml.end()),
        {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00},
        damagedSignature,
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        CAPTURE(i);
        CHECK_THROWS_WITH_AS(Decode(cases[i]), kInvalidHeaderMessage, PngHeaderError);
    }
    CHECK_THROWS_AS(DecodePng(nullptr, 0), PngHeaderError);
}

TEST_CASE("chunk structure: what is accepted and what is refused") {
    const Bytes valid = ValidRgba();
    const Bytes ihdr = Ihdr(2, 2, 8, 6);
    const Bytes packed = Compress(kRgbaScanlines);
    const Bytes firstHalf(packed.begin(), packed.begin() + packed.size() / 2);
    const Bytes secondHalf(packed.begin() + packed.size() / 2, packed.end());
    const Bytes text = Chunk("tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x'});
    Bytes badIdatCrc = valid;
    badIdatCrc[8 + 25 + 8 + packed.size()] ^= 0x01; // first CRC byte of IDAT
    Bytes badTextCrc = Png({ihdr, text, Idat(kRgbaScanlines), Iend()});
    badTextCrc[8 + 25 + 8 + 9] ^= 0x80; // first CRC byte of tEXt
    Bytes badAdler = packed;
    badAdler.back() ^= 0x01;
    Bytes noAdler(packed.begin(), packed.end() - 4);
    Bytes streamThenJunk = Concat({packed, {1, 2, 3}});
    Bytes shortScanlines(kRgbaScanlines.begin(), kRgbaScanlines.end() - 1);
    Bytes longScanlines = Concat({kRgbaScanlines, {0}});
    Bytes filter5 = kRgbaScanlines;
    filter5[9] = 5;
    Bytes hugeLength = Png({ihdr, Idat(kRgbaScanlines), Iend()});
    hugeLength[8 + 25] = 0x80; // IDAT length 0x800000xx

    struct Case {
        const char* what;
        Bytes file;
        const char* error; // a part of the message, or nullptr for success
    };
    const Case cases[] = {
        {"minimal file", valid, nullptr},
        {"unknown ancillary chunks",
         Png({ihdr, Chunk("vpAg", {1, 2}), Idat(kRgbaScanlines), Chunk("zzZz", {}), Iend()}), nullptr},
        {"IDAT split in consecutive chunks",
         Png({ihdr, Chunk("IDAT", firstHalf), Chunk("IDAT", {}), Chunk("IDAT", secondHalf), Iend()}), nullptr},
        {"bytes after IEND", Concat({valid, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}), nullptr},
        {"compressed bytes after the zlib stream", Png({ihdr, Chunk("IDAT", streamThenJunk), Iend()}), nullptr},
        {"tRNS in an RGBA image is ignored", Png({ihdr, Chunk("tRNS", {0, 1}), Idat(kRgbaScanlines), Iend()}), nullptr},
        {"unknown critical chunk", Png({ihdr, Chunk("ABCD", {}), Idat(kRgbaScanlines), Iend()}),
         "unknown critical chunk ABCD"},
        {"IDAT chunks not consecutive", Png({ihdr, Chunk("IDAT", firstHalf), text, Chunk("IDAT", secondHalf), Iend()}),
         "not consecutive"},
        {"no IEND", Png({ihdr, Idat(kRgbaScanlines)}), "before its IEND"},
        {"no IDAT", Png({ihdr, Iend()}), "no image data"},
        {"IHDR not first", Png({text, ihdr, Idat(kRgbaScanlines), Iend()}), "IHDR"},
        {"second IHDR", Png({ihdr, ihdr, Idat(kRgbaScanlines), Iend()}), "second IHDR"},
        {"IHDR too short", Png({Chunk("IHDR", Bytes(12, 1)), Idat(kRgbaScanlines), Iend()}), "IHDR"},
        {"CRC error in IDAT", badIdatCrc, "CRC error in chunk IDAT"},
        {"CRC error in an ancillary chunk", badTextCrc, "CRC error in chunk tEXt"},
        {"chunk type with a digit", Png({ihdr, Chunk("ID4T", packed), Iend()}), "invalid type"},
        {"chunk length of 2^31 or more", hugeLength, "invalid length"},
        {"wrong Adler-32", Png({ihdr, Chunk("IDAT", badAdler), Iend()}), "damaged compressed data"},
        {"zlib stream without its end", Png({ihdr, Chunk("IDAT", noAdler), Iend()}), "proper end"},
        {"not zlib at all", Png({ihdr, Chunk("IDAT", {1, 2, 3, 4, 5, 6}), Iend()}), "damaged compressed data"},
        {"too little image data", Png({ihdr, Idat(shortScanlines), Iend()}), "less image data"},
        {"too much image data", Png({ihdr, Idat(longScanlines), Iend()}), "more image data"},
        {"filter type 5", Png({ihdr, Idat(filter5), Iend()}), "filter type (5)"},
        {"compression method 1", Png({Ihdr(2, 2, 8, 6, 0, 1), Idat(kRgbaScanlines), Iend()}), "compression method"},
        {"filter method 1", Png({Ihdr(2, 2, 8, 6, 0, 0, 1), Idat(kRgbaScanlines), Iend()}), "filter method"},
        {"interlace method 2", Png({Ihdr(2, 2, 8, 6, 2), Idat(kRgbaScanlines), Iend()}), "interlace method"},
        {"width 0", Png({Ihdr(0, 2, 8, 6), Idat(kRgbaScanlines), Iend()}), "invalid dimensions"},
        {"height 2^31", Png({Ihdr(2, 0x80000000u, 8, 6), Idat(kRgbaScanlines), Iend()}), "invalid dimensions"},
        {"palette image without PLTE", Png({Ihdr(1, 1, 8, 3), Idat({0, 0}), Iend()}), "PLTE"},
        {"PLTE in a grey image", Png({Ihdr(1, 1, 8, 0), Chunk("PLTE", {1, 2, 3}), Idat({0, 0}), Iend()}), "PLTE"},
        {"PLTE of 4 bytes", Png({Ihdr(1, 1, 8, 3), Chunk("PLTE", {1, 2, 3, 4}), Idat({0, 0}), Iend()}), "PLTE"},
        {"PLTE after IDAT", Png({Ihdr(1, 1, 8, 2), Idat({0, 0, 0, 0}), Chunk("PLTE", {1, 2, 3}), Iend()}), "PLTE"},
        {"two PLTE", Png({Ihdr(1, 1, 8, 3), Chunk("PLTE", {1, 2, 3}), Chunk("PLTE", {1, 2, 3}), Idat({0, 0}), Iend()}),
         "PLTE"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        std::string message = DecodeError(c.file);
        if (c.error == nullptr) {
            CHECK(message == "");
        } else {
            CAPTURE(message);
            CHECK(message.find(c.error) != std::string::npos);
            CHECK(message.rfind("The PNG image ", 0) == 0);
        }
    }
    RgbaImage image = Decode(Png({ihdr, Chunk("IDAT", firstHalf), Chunk("IDAT", secondHalf), Iend()}));
    CHECK(image.pixels == Bytes({10, 20, 30, 255, 40, 50, 60, 128, 70, 80, 90, 0, 100, 110, 120, 1}));
}

TEST_CASE("the table of colour type and bit depth pairs") {
    for (int colourType = 0; colourType <= 7; ++colourType) {
        for (int depth = 0; depth <= 17; ++depth) {
            CAPTURE(colourType);
            CAPTURE(depth);
            const int channels[] = {1, 0, 3, 1, 2, 0, 4, 0};
            bool allowed = (colourType == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)) ||
                           (colourType == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) ||
                           ((colourType == 2 || colourType == 4 || colourType == 6) && (depth == 8 || depth == 16));
            // One pixel of zeros, sized for the pair when it is valid.
            Bytes scanline(1 + (size_t(channels[colourType]) * depth + 7) / 8, 0);
            Bytes file = Png(
                {Ihdr(1, 1, uint8_t(depth), uint8_t(colourType)), Chunk("PLTE", {9, 8, 7}), Idat(scanline), Iend()});
            if (colourType == 0 || colourType == 4)
                file = Png({Ihdr(1, 1, uint8_t(depth), uint8_t(colourType)), Idat(scanline), Iend()});
            std::string message = DecodeError(file);
            if (allowed) {
                CHECK(message == "");
            } else {
                CAPTURE(message);
                CHECK(message.find("unsupported combination of colour type") != std::string::npos);
            }
        }
    }
}

TEST_CASE("palette and transparency corner cases") {
    const Bytes plte = Chunk("PLTE", {10, 20, 30, 40, 50, 60});
    struct Case {
        const char* what;
        Bytes file;
        Bytes pixels;
    };
    const Case cases[] = {
        {"index past the palette is opaque black",
         Png({Ihdr(3, 1, 8, 3), plte, Idat({0, 0, 1, 7}), Iend()}),
         {10, 20, 30, 255, 40, 50, 60, 255, 0, 0, 0, 255}},
        {"tRNS shorter than the palette",
         Png({Ihdr(2, 1, 8, 3), plte, Chunk("tRNS", {5}), Idat({0, 0, 1}), Iend()}),
         {10, 20, 30, 5, 40, 50, 60, 255}},
        {"tRNS before PLTE is ignored",
         Png({Ihdr(1, 1, 8, 3), Chunk("tRNS", {5}), plte, Idat({0, 0}), Iend()}),
         {10, 20, 30, 255}},
        {"tRNS after IDAT is ignored",
         Png({Ihdr(1, 1, 8, 3), plte, Idat({0, 0}), Chunk("tRNS", {5}), Iend()}),
         {10, 20, 30, 255}},
        {"grey tRNS of the wrong size is ignored",
         Png({Ihdr(1, 1, 8, 0), Chunk("tRNS", {0, 7, 0}), Idat({0, 7}), Iend()}),
         {7, 7, 7, 255}},
        {"grey tRNS compares the whole sample",
         Png({Ihdr(2, 1, 16, 0), Chunk("tRNS", {0x12, 0x34}), Idat({0, 0x12, 0x34, 0x12, 0x35}), Iend()}),
         {0x12, 0x12, 0x12, 0, 0x12, 0x12, 0x12, 255}},
        {"RGB tRNS",
         Png({Ihdr(2, 1, 8, 2), Chunk("tRNS", {0, 1, 0, 2, 0, 3}), Idat({0, 1, 2, 3, 1, 2, 4}), Iend()}),
         {1, 2, 3, 0, 1, 2, 4, 255}},
        {"16-bit alpha rounds up, colour down",
         Png({Ihdr(1, 1, 16, 6), Idat({0, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01}), Iend()}),
         {0, 255, 0, 1}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        CHECK(Decode(c.file).pixels == c.pixels);
    }
}

TEST_CASE("limits stop oversized pictures and decompression bombs") {
    // Dimensions that would need gigabytes: refused from the header alone.
    Bytes huge = Png({Ihdr(100000, 100000, 8, 6), Idat({0}), Iend()});
    CHECK_THROWS_AS(Decode(huge), PngTooLargeError);
    CHECK_THROWS_AS(Decode(Png({Ihdr(40000, 1, 8, 0), Idat({0}), Iend()})), PngTooLargeError);

    PngLimits limits;
    limits.maxWidth = 64;
    limits.maxHeight = 64;
    limits.maxPixelBytes = 64 * 32 * 4;
    auto blank = [](uint32_t width, uint32_t height) {
        return Png({Ihdr(width, height, 8, 0), Idat(Bytes(size_t(width + 1) * height, 0)), Iend()});
    };
    struct Case {
        uint32_t width, height;
        bool fits;
    };
    const Case cases[] = {{64, 32, true}, {32, 64, true}, {65, 1, false}, {1, 65, false}, {64, 33, false}};
    for (const Case& c : cases) {
        CAPTURE(c.width);
        CAPTURE(c.height);
        if (c.fits)
            CHECK(Decode(blank(c.width, c.height), limits).width == c.width);
        else
            CHECK_THROWS_AS(Decode(blank(c.width, c.height), limits), PngTooLargeError);
    }

    // A 1 x 1 picture whose stream inflates to 16 MiB: stopped at the third byte.
    Bytes bomb = Png({Ihdr(1, 1, 8, 0), Idat(Bytes(16 << 20, 0)), Iend()});
    CHECK(bomb.size() < 64 * 1024);
    CHECK(DecodeError(bomb).find("more image data") != std::string::npos);
    // A large picture promised by a tiny stream.
    CHECK(DecodeError(Png({Ihdr(4096, 4096, 8, 6), Idat({0, 1, 2}), Iend()})).find("less image data") !=
          std::string::npos);
}

TEST_CASE("damaged files fail cleanly: every byte flipped, zeroed or inverted, every length cut") {
    for (const char* name : {"c3-d2-i-t-5x7", "c6-d8-i-5x9", "c0-d1-i-3x3", "c0-d16-t-37x23"}) {
        CAPTURE(name);
        const Bytes original = ReadFile(MatrixPath(std::string(name) + ".png"));
        REQUIRE(original.size() > 50);
        // Cut short, a file always loses its IEND, so every cut must fail.
        for (size_t length = 0; length < original.size(); ++length) {
            Bytes cut(original.begin(), original.begin() + length);
            CAPTURE(length);
            CHECK_THROWS_AS(Decode(cut), ImageError);
        }
        size_t failures = 0, successes = 0;
        for (size_t i = 0; i < original.size(); ++i) {
            for (int mutation = 0; mutation < 4; ++mutation) {
                Bytes damaged = original;
                switch (mutation) {
                case 0:
                    damaged[i] ^= 0x01;
                    break;
                case 1:
                    damaged[i] ^= 0x80;
                    break;
                case 2:
                    damaged[i] = 0;
                    break;
                default:
                    damaged[i] = uint8_t(~damaged[i]);
                    break;
                }
                // With and without repaired CRCs, so the damage also reaches the later checks.
                for (const Bytes& file : {damaged, RepairCrcs(damaged)}) {
                    try {
                        RgbaImage image = Decode(file);
                        CHECK(image.pixels.size() == size_t(image.width) * image.height * 4);
                        ++successes;
                    } catch (const ImageError&) {
                        ++failures;
                    }
                }
            }
        }
        // Both outcomes occur: the sweep really exercises the decoder past its first check.
        CHECK(failures > 0);
        CHECK(successes > 0);
    }
}

TEST_CASE("decoding from a stream starts at its current position") {
    const Bytes png = ValidRgba();
    std::string data = "JUNK!" + std::string(png.begin(), png.end());
    std::istringstream stream(data);
    CHECK_THROWS_AS(DecodePng(stream), PngHeaderError);
    stream.clear();
    stream.seekg(5);
    RgbaImage image = DecodePng(stream);
    CHECK(image.width == 2);
    CHECK(image.pixels == Bytes({10, 20, 30, 255, 40, 50, 60, 128, 70, 80, 90, 0, 100, 110, 120, 1}));
}

TEST_CASE("files that once broke the decoder still fail cleanly or decode") {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SourcePath("tests/image/data"))) {
        if (entry.path().extension() != ".png")
            continue;
        ++count;
        CAPTURE(entry.path().string());
        try {
            RgbaImage image = Decode(ReadFile(entry.path().string()));
            CHECK(image.pixels.size() == size_t(image.width) * image.height * 4);
        } catch (const ImageError&) {
        }
    }
    CHECK(count > 0);
}

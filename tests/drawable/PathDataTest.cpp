#include <doctest/doctest.h>

#include <chrono>
#include <string>

#include "drawable/PathData.h"

namespace {

std::string Verbs(const TPath& path) {
    std::string letters;
    for (TPath::TVerb verb : path.verbs)
        letters += "MLQCZ"[int(verb)];
    return letters;
}

bool Near(TPoint p, double x, double y, double tolerance = 1e-9) {
    return std::abs(p.x - x) <= tolerance && std::abs(p.y - y) <= tolerance;
}

} // namespace

TEST_CASE("path data: verbs and points of good strings, refusal of bad ones") {
    struct Case {
        const char* text;
        const char* verbs;
        size_t index; // a point to check
        double x, y;
    };
    const Case good[] = {
        {"", "", 0, 0, 0},
        {"  M1 2  ", "M", 0, 1, 2},
        {"M1 2 3 4 5 6", "MLL", 2, 5, 6},
        {"m1 2 3 4", "ML", 1, 4, 6},
        {"M1.5.5", "M", 0, 1.5, 0.5},
        {"M-1-2", "M", 0, -1, -2},
        {"M1e1-1E-1", "M", 0, 10, -0.1},
        {"M+1e+1,,.5e1", "M", 0, 10, 5},
        {"M1e-999 5", "M", 0, 0, 5},
        {"M1 1 h2 2 v3", "MLLL", 3, 5, 4},
        {"M0 0 L5 5 Z l1 1", "MLZML", 3, 1, 1},
        {"M2 2 L5 5 z m1 1", "MLZM", 2, 3, 3},
        {"M1 2z z", "MZ", 0, 1, 2},
        {"L5 5", "ML", 0, 0, 0},
        {"M0 0 C1 1 2 2 3 3 S5 5 6 6", "MCC", 4, 4, 4},      // reflects the last control
        {"M0 0 L1 1 S2 2 3 3", "MLC", 2, 1, 1},              // nothing to reflect after a line
        {"M0 0 Q1 1 2 0 T4 0 T6 0", "MQQQ", 5, 5, 1},        // reflections chain
        {"M0 0 C1 1 2 2 3 3 T4 0", "MCQ", 4, 3, 3},          // a cubic is not reflected by T
        {"M0 0 A5 5 0 0 1 10 0", "MCC", 1, 0, -2.761423749}, // clockwise on screen: over the top
        {"M0 0 a1 1 0 1110 0", "MCC", 6, 10, 0},             // flags run together; radius too small
        {"M0 0 A0 5 0 0 1 10 10", "ML", 1, 10, 10},
        {"M0 0 A5 5 0 0 1 0 0", "M", 0, 0, 0},
    };
    for (const Case& c : good) {
        CAPTURE(std::string(c.text));
        TPath path;
        REQUIRE(ParsePathData(c.text, path));
        CHECK(Verbs(path) == c.verbs);
        if (path.points.size() > c.index)
            CHECK(Near(path.points[c.index], c.x, c.y, 1e-6));
    }
    const char* bad[] = {"M",
                         "M1",
                         "M1 2 3",
                         "M1 2 L",
                         "X1 2",
                         "M1 2 z 3",
                         "1 2",
                         "M1e 2",
                         "M1e999 0",
                         "M nan 0",
                         "M inf 0",
                         "M0x10 0",
                         "M1 2#",
                         "M1 2 c1 2 3 4 5",
                         "M0 0 a1 1 0 2 0 3 3",
                         "M1e308 0 l1e308 0"};
    for (const char* text : bad) {
        CAPTURE(std::string(text));
        TPath path;
        CHECK_FALSE(ParsePathData(text, path));
        CHECK(path.verbs.empty());
    }
}

TEST_CASE("path data: megabytes are read in linear time or refused past the caps") {
    std::string many = "M0 0";
    while (many.size() < size_t(4) << 20)
        many += "l1 0 1-.5e-1";
    auto begin = std::chrono::steady_clock::now();
    TPath path;
    CHECK(ParsePathData(many, path));
    CHECK(path.points.size() > 600000);
    CHECK(std::chrono::steady_clock::now() - begin < std::chrono::seconds(10));
    while (many.size() < size_t(12) << 20)
        many += "l1 0 1-.5e-1"; // more points than the cap
    CHECK_FALSE(ParsePathData(many, path));
    CHECK_FALSE(ParsePathData(std::string(kMaxPathDataLength + 1, ' '), path));
    CHECK(ParsePathData("M" + std::string(1 << 20, '0') + "1 5", path)); // one long number
}

TEST_CASE("trimming keeps Android's piece of the first contour") {
    struct Case {
        const char* d;
        double start, end, offset;
        const char* verbs;
        TPoint first, last;
    };
    const Case cases[] = {
        {"M0 0 h100", 0.25, 0.75, 0, "ML", {25, 0}, {75, 0}},
        {"M0 0 h100", 0.5, 0.25, 0, "MLML", {50, 0}, {25, 0}},
        {"M0 0 h100", 0.25, 0.75, 0.5, "MLML", {75, 0}, {25, 0}}, // wraps past the end
        {"M0 0 h100", 0.2, 1, 0, "ML", {20, 0}, {100, 0}},        // the end wraps to 0: nothing after it
        {"M0 0 h100", 0.25, 0.75, -0.5, "ML", {0, 0}, {25, 0}},   // negative: clamped to the start
        {"M0 0 h100", 0.5, 0.5, 0, "", {}, {}},
        {"M7 7 M0 0 h10 M0 5 h100", 0, 0.5, 0, "ML", {0, 0}, {5, 0}}, // first contour with length
        {"M0 0 h10 v10 h-10 z", 0.8, 1, 0, "ML", {0, 8}, {0, 0}},     // the closing side counts
        {"M0 0 C0 0 0 0 100 0", 0, 0.5, 0, "MC", {0, 0}, {50, 0}},    // by length, not parameter
        {"M0 0 A10 10 0 0 1 20 0", 0, 0.25, 0, "MC", {0, 0}, {2.929, -7.071}},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.d));
        CAPTURE(c.start);
        TPath path;
        REQUIRE(ParsePathData(c.d, path));
        TPath trimmed = TrimPath(path, c.start, c.end, c.offset);
        CHECK(Verbs(trimmed) == c.verbs);
        if (!trimmed.points.empty()) {
            CHECK(Near(trimmed.points.front(), c.first.x, c.first.y, 0.1));
            CHECK(Near(trimmed.points.back(), c.last.x, c.last.y, 0.1));
        }
    }
    TPath path;
    REQUIRE(ParsePathData("M0 0 h10 M5 5 h1", path));
    TPath same = TrimPath(path, 0, 1, 0.4);
    CHECK(Verbs(same) == "MLML");
}

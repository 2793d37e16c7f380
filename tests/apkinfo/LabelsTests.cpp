#include "apkinfo/Labels.h"

#include <doctest/doctest.h>

TEST_CASE("File sizes in K up to 1 MiB, in M above, halves away from zero") {
    struct Case {
        std::uint64_t size;
        const char* shown;
    };
    const Case cases[] = {
        {0, "0.0 K"},
        {51, "0.0 K"},
        {52, "0.1 K"},
        {512, "0.5 K"},
        {1280, "1.3 K"},
        {1000000, "976.6 K"},
        {1048576, "1,024.0 K"},
        {1048577, "1.00 M"},
        {1179648, "1.13 M"},
        {12345678, "11.77 M"},
        {1181116006, "1,126.40 M"},
        {2147483648ull, "2,048.00 M"},         // 2 GiB and more format the same way
        {5368709120ull + 5242, "5,120.00 M"},  // 5 GiB and a half hundredth less
        {5368709120ull + 5243, "5,120.01 M"},
        {1048576ull * 1048575 + 1048575, "1,048,576.00 M"}, // the carry runs into the integer part
    };
    for (const auto& c : cases) {
        CAPTURE(c.size);
        CHECK(FormatFileSize(c.size) == c.shown);
    }
    CHECK(FormatFileSize(1181116006, ".", ",") == "1.126,40 M");
    CHECK(FormatFileSize(1048576, "", ".") == "1024.0 K");
}

TEST_CASE("Integer syntax of the level text") {
    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    };
    const Case cases[] = {
        {"8", true, 8},          {" 8", true, 8},          {"8 ", false, 0},        {"", false, 0},
        {"L", false, 0},         {"1.5", false, 0},        {"-3", true, -3},        {"+21", true, 21},
        {"$A", true, 10},        {"0x1F", true, 31},       {"x10", true, 16},       {"X10", true, 16},
        {"0X10", true, 16},      {"$", false, 0},          {"0x", false, 0},        {"-", false, 0},
        {"2147483647", true, 2147483647},                  {"2147483648", false, 0},
        {"-2147483648", true, -2147483647 - 1},            {"99999999999999999999", false, 0},
        {"\t8", false, 0},       {"0021", true, 21},
    };
    for (const auto& c : cases) {
        CAPTURE(c.text);
        std::int32_t value = 12345;
        CHECK(TryParseInteger(c.text, value) == c.ok);
        if (c.ok)
            CHECK(value == c.value);
    }
}

TEST_CASE("Android release names by level") {
    struct Case {
        const char* text;
        std::string shown;
    };
    const Case cases[] = {
        {"1", "Android 1.0"},   {"8", "Android 2.2"},   {"10", "Android 2.3.3"}, {"14", "Android 4.0"},
        {"15", "Android 4.0.3"}, {"16", "Android 4.1"}, {"20", "Android 4.4W"},  {"21", "Android 5.0"},
        {"28", "Android 9"},    {"32", "Android 12L"},  {"35", "Android 15"},    {"37", "Android 17"},
        {"38", "API 38"},       {"1000", "API 1000"},   {"0", kUnknownText},     {"-3", kUnknownText},
        {"L", kUnknownText},    {"", kUnknownText},     {"8 ", kUnknownText},    {" 8", "Android 2.2"},
        {"$A", "Android 2.3.3"}, {"0x15", "Android 5.0"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.text);
        CHECK(AndroidVersionName(c.text) == c.shown);
    }
}

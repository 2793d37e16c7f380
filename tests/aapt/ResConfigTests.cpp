// The choice among resource variants: which configurations may serve a request and which of two
// serves it better, for the requests the badging makes (a portrait, medium-density, American
// English phone of a recent SDK, with the locale or the density changed).
#include "AaptTestSupport.h"
#include "resources/LocaleData.h"
#include "resources/ResConfig.h"

#include <cstring>

namespace {

// A configuration from a short description: "fr", "zh-TW", "sr-Latn", "es-419", "fil-PH" for the
// locale, then any of: land port night dpi=<n> v=<n> sw=<n> w=<n> mcc=<n> large small.
TResConfig Config(const std::string& description) {
    TResConfig c;
    size_t start = 0;
    bool first = true;
    while (start <= description.size()) {
        size_t end = description.find(' ', start);
        if (end == std::string::npos)
            end = description.size();
        const std::string part = description.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        const size_t eq = part.find('=');
        const int number = eq == std::string::npos ? 0 : std::stoi(part.substr(eq + 1));
        const std::string key = part.substr(0, eq);
        if (key == "land") {
            c.orientation = 2;
        } else if (key == "port") {
            c.orientation = 1;
        } else if (key == "night") {
            c.uiMode = 0x20;
        } else if (key == "dpi") {
            c.density = uint16_t(number);
        } else if (key == "v") {
            c.sdkVersion = uint16_t(number);
        } else if (key == "sw") {
            c.smallestScreenWidthDp = uint16_t(number);
        } else if (key == "w") {
            c.screenWidthDp = uint16_t(number);
        } else if (key == "mcc") {
            c.mcc = uint16_t(number);
        } else if (key == "large") {
            c.screenLayout = 0x03;
        } else if (key == "small") {
            c.screenLayout = 0x01;
        } else if (first) {
            // language[-Script][-REGION]
            std::string rest = part;
            const size_t dash = rest.find('-');
            const std::string language = rest.substr(0, dash);
            PackLocaleCode(language.c_str(), 'a', c.language);
            rest = dash == std::string::npos ? std::string() : rest.substr(dash + 1);
            if (rest.size() > 4 && rest[4] == '-') {
                std::memcpy(c.localeScript, rest.data(), 4);
                rest = rest.substr(5);
            } else if (rest.size() == 4) {
                std::memcpy(c.localeScript, rest.data(), 4);
                rest.clear();
            }
            if (!rest.empty())
                PackLocaleCode(rest.c_str(), '0', c.country);
        }
        first = false;
    }
    return c;
}

// The request the badging makes, with a locale ("" for none) and a density.
TResConfig Request(const std::string& locale, uint16_t density = 160) {
    TResConfig request = Config("port v=10000 sw=320 w=320");
    request.screenHeightDp = 480;
    request.screenLayout = 0x02;
    request.density = density;
    if (!locale.empty())
        request.SetLocaleFrom(Config(locale));
    return request;
}

} // namespace

TEST_CASE("locale tags are written as the tool lists them") {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"fr", "fr"},
        {"zh-TW", "zh-TW"},
        {"sr-Latn", "sr-Latn"},
        {"es-419", "es-419"},
        {"fil-PH", "fil-PH"},
        {"sr-Latn-ME", "sr-Latn-ME"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.first);
        CHECK(Config(c.first).Bcp47Locale() == c.second);
    }
    // A request's worked-out script is not part of its tag.
    CHECK(Request("zh-TW").Bcp47Locale() == "zh-TW");
    CHECK(std::string(Request("zh-TW").localeScript, 4) == "Hant");
}

TEST_CASE("which variants may serve a request") {
    struct TCase {
        const char* variant;
        const char* locale;
        uint16_t density;
        bool matches;
    };
    // clang-format off
    const TCase cases[] = {
        {"", "", 160, true},
        {"fr", "", 160, false},            // a default request takes no localized variant
        {"fr", "fr-CA", 160, true},        // the region does not decide
        {"fr-CA", "fr", 160, true},        // either way, once the scripts are known
        {"xx-YY", "xx", 160, false},       // for an unknown language the region must match
        {"zh", "zh-TW", 160, false},       // simplified Chinese does not serve Taiwan
        {"zh-HK", "zh-TW", 160, true},     // traditional does
        {"sr", "sr-Latn", 160, false},     // Cyrillic Serbian does not serve Latin
        {"en-XA", "en", 160, false},       // a pseudo-locale is not English
        {"en-XC", "en", 160, true},
        {"tl", "fil", 160, true},          // Tagalog and Filipino are one language
        {"land", "", 160, false},
        {"port", "", 160, true},
        {"night", "", 160, false},
        {"v=28", "", 160, true},
        {"v=20000", "", 160, false},
        {"sw=600", "", 160, false},
        {"sw=300", "", 160, true},
        {"w=320", "", 160, true},
        {"w=400", "", 160, false},
        {"mcc=310", "", 160, false},
        {"large", "", 160, false},
        {"small", "", 160, true},
        {"dpi=640", "", 120, true},        // any density can be scaled
    };
    // clang-format on
    for (const TCase& c : cases) {
        CAPTURE(c.variant);
        CAPTURE(c.locale);
        CHECK(Config(c.variant).Match(Request(c.locale, c.density)) == c.matches);
    }
}

TEST_CASE("which of two variants serves a request better") {
    struct TCase {
        const char* better;
        const char* worse;
        const char* locale;
        uint16_t density;
    };
    // clang-format off
    const TCase cases[] = {
        // Density: the exact bucket, then scaling down before scaling up, and anydpi above all.
        {"dpi=160", "dpi=240", "", 160},
        {"dpi=320", "dpi=160", "", 240},   // between the two: scaling 320 down wins
        {"dpi=120", "dpi=480", "", 160},   // far above: scaling 120 up wins
        {"dpi=240", "dpi=320", "", 65534}, // a request for anydpi chooses as for 160
        {"dpi=480", "dpi=320", "", 65535}, // a request for nodpi takes the largest
        {"dpi=65534", "dpi=160", "", 160},
        // Locale.
        {"fr", "", "fr-CA", 160},
        {"en", "", "en-US", 160},
        {"", "en-GB", "en-US", 160},       // American English lives in the default resources
        {"en-GB", "en-CA", "en-AU", 160},  // same distance; en-GB stands for International English
        {"en-XC", "en-GB", "en", 160},     // en-GB is two steps from en (via en-001), en-XC one
        {"es-419", "es-ES", "es-MX", 160},
        {"zh-HK", "zh-TW", "zh-MO", 160},
        {"pt-BR", "pt-PT", "pt", 160},     // equally near; pt-BR is the usual one
        {"fil", "tl", "fil", 160},         // the language spelled as asked
        // Other qualifiers.
        {"port", "", "", 160},
        {"v=28", "v=21", "", 160},
        {"sw=300", "", "", 160},
        {"w=320", "", "", 160},
        {"", "small", "", 160},            // no size counts as normal, the size requested
    };
    // clang-format on
    for (const TCase& c : cases) {
        CAPTURE(c.better);
        CAPTURE(c.worse);
        CAPTURE(c.locale);
        const TResConfig request = Request(c.locale, c.density);
        const TResConfig better = Config(c.better);
        const TResConfig worse = Config(c.worse);
        REQUIRE(better.Match(request));
        REQUIRE(worse.Match(request));
        CHECK(better.IsBetterThan(worse, request));
        CHECK_FALSE(worse.IsBetterThan(better, request));
    }
}

TEST_CASE("a configuration record is read up to its own size") {
    // A record that claims 12 bytes: the locale is in it, the density after it is not.
    TBytes record(64, 0);
    Put32(record, 0, 12);
    record[8] = 'd';
    record[9] = 'e';
    Put16(record, 14, 240);
    TResConfig c = TResConfig::Read(SpanOf(record));
    CHECK(c.Bcp47Locale() == "de");
    CHECK(c.density == 0);
    // A record longer than the bytes at hand reads what is there.
    Put32(record, 0, 64);
    c = TResConfig::Read(TByteSpan(record.data(), 16));
    CHECK(c.density == 240);
    CHECK(c.sdkVersion == 0);
}

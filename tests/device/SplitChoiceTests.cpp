#include "device/PhoneTraits.h"
#include "device/SplitApk.h"
#include "device/SplitChoice.h"

#include <doctest/doctest.h>

namespace {

const char* KindName(SplitKind kind) {
    switch (kind) {
    case SplitKind::Base:
        return "base";
    case SplitKind::Feature:
        return "feature";
    case SplitKind::Abi:
        return "abi";
    case SplitKind::Density:
        return "density";
    case SplitKind::Language:
        return "language";
    default:
        return "other";
    }
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

SplitApk Piece(const std::string& splitName) {
    SplitApk piece = ClassifySplitName(splitName);
    piece.name = splitName.empty() ? "base" : splitName;
    return piece;
}

// The pieces of the test bundles: three ABIs, four densities, two languages, a feature module with
// two ABIs of its own, and a texture-format split that no rule picks.
std::vector<SplitApk> BundlePieces() {
    std::vector<SplitApk> pieces;
    for (const char* name : {"", "config.arm64_v8a", "config.armeabi_v7a", "config.x86_64", "config.mdpi",
                             "config.hdpi", "config.xhdpi", "config.xxhdpi", "config.zh", "config.fr", "feature_x",
                             "feature_x.config.arm64_v8a", "feature_x.config.x86_64", "config.astc"})
        pieces.push_back(Piece(name));
    return pieces;
}

const std::vector<StandaloneApk> kStandalones = {
    {"standalone-arm64", "arm64-v8a", "xxhdpi"},
    {"standalone-v7a", "armeabi-v7a", "hdpi"},
    {"standalone-x86_64", "x86_64", "xhdpi"},
};

} // namespace

TEST_CASE("Split names and qualifiers") {
    struct Case {
        const char* splitName;
        SplitKind kind;
        const char* config;
        const char* module;
    };
    const Case cases[] = {
        {"", SplitKind::Base, "", "base"},
        {"base", SplitKind::Base, "", "base"},
        {"config.arm64_v8a", SplitKind::Abi, "arm64-v8a", "base"},
        {"config.armeabi_v7a", SplitKind::Abi, "armeabi-v7a", "base"},
        {"config.armeabi", SplitKind::Abi, "armeabi", "base"},
        {"config.x86", SplitKind::Abi, "x86", "base"},
        {"config.x86_64", SplitKind::Abi, "x86_64", "base"},
        {"config.xxhdpi", SplitKind::Density, "xxhdpi", "base"},
        {"config.xxhdpi_v4", SplitKind::Density, "xxhdpi", "base"}, // as aapt --split names it
        {"config.tvdpi", SplitKind::Density, "tvdpi", "base"},
        {"config.zh", SplitKind::Language, "zh", "base"},
        {"config.zh_rTW", SplitKind::Language, "zh", "base"},
        {"config.pt-BR", SplitKind::Language, "pt", "base"},
        {"config.fil", SplitKind::Language, "fil", "base"},
        {"config.b+sr+Latn", SplitKind::Language, "sr", "base"},
        {"config.iw", SplitKind::Language, "he", "base"},                    // the platform's old code for Hebrew
        {"config.hdpi_v4.fr", SplitKind::OtherConfig, "hdpi_v4.fr", "base"}, // two qualifiers in one
        {"config.astc", SplitKind::OtherConfig, "astc", "base"},
        {"config.xxhdpi_v", SplitKind::OtherConfig, "xxhdpi_v", "base"},
        {"config.english", SplitKind::OtherConfig, "english", "base"},
        {"feature_x", SplitKind::Feature, "", "feature_x"},
        {"feature_x.config.arm64_v8a", SplitKind::Abi, "arm64-v8a", "feature_x"},
        {"feature_x.config.ldpi", SplitKind::Density, "ldpi", "feature_x"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.splitName);
        const SplitApk split = ClassifySplitName(c.splitName);
        CHECK(KindName(split.kind) == std::string(KindName(c.kind)));
        CHECK(split.config == c.config);
        CHECK(split.module == c.module);
    }
    CHECK(DensityOfBucket("xxxhdpi") == 640);
    CHECK(DensityOfBucket("tvdpi") == 213);
    CHECK(DensityOfBucket("dpi") == 0);
}

TEST_CASE("Phone traits from what getprop prints") {
    struct Case {
        const char* name;
        PhoneProperties answers;
        const char* abis;
        int density;
        const char* language;
        int sdk;
    };
    const Case cases[] = {
        {"a current phone",
         {"arm64-v8a,armeabi-v7a,armeabi\r\n", "arm64-v8a\r\n", "480\r\n", "zh-CN\r\n", "en-US\r\n", "33\r\n"},
         "arm64-v8a armeabi-v7a armeabi",
         480,
         "zh",
         33},
        {"no list: the single ABI",
         {"\r\n", "armeabi-v7a\r\n", "240\r\n", "", "en-US\r\n", "19\r\n"},
         "armeabi-v7a",
         240,
         "en",
         19},
        {"old adb's daemon lines first",
         {"* daemon not running. starting it now on port 5037 *\r\n* daemon started successfully *\r\nx86_64,x86\r\n",
          "", " 320 \r\n", "fr-FR\r\n", "", "28\r\n"},
         "x86_64 x86",
         320,
         "fr",
         28},
        {"an old locale form and upper case", {"x86\r\n", "", "160", "", "ZH_tw\r\n", "17"}, "x86", 160, "zh", 17},
        {"Hebrew under its old code",
         {"arm64-v8a\r\n", "", "420\r\n", "iw-IL\r\n", "", "30\r\n"},
         "arm64-v8a",
         420,
         "he",
         30},
        {"nothing answered", {"", "", "", "", "", ""}, "", 0, "", 0},
        {"answers that are not numbers",
         {",,arm64-v8a,,arm64-v8a\r\n", "", "high\r\n", "-\r\n", "\r\n", "S\r\n"},
         "arm64-v8a",
         0,
         "",
         0},
        {"numbers out of reach", {"x86\r\n", "", "99999999\r\n", "", "", "4294967317\r\n"}, "x86", 0, "", 0},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        const PhoneTraits traits = ReadPhoneTraits(c.answers);
        CHECK(Joined(traits.abis) == c.abis);
        CHECK(traits.density == c.density);
        CHECK(traits.language == c.language);
        CHECK(traits.sdk == c.sdk);
    }
}

TEST_CASE("The pieces each phone gets") {
    struct Case {
        const char* name;
        PhoneTraits phone;
        ChoiceOutcome outcome;
        const char* names;
    };
    const Case cases[] = {
        {"arm64 phone, 480 dpi, Chinese",
         {{"arm64-v8a", "armeabi-v7a", "armeabi"}, 480, "zh", 33},
         ChoiceOutcome::Pieces,
         "base config.arm64_v8a config.xxhdpi config.zh feature_x feature_x.config.arm64_v8a"},
        {"x86_64 tablet, 240 dpi, French",
         {{"x86_64", "x86"}, 240, "fr", 30},
         ChoiceOutcome::Pieces,
         "base config.x86_64 config.hdpi config.fr feature_x feature_x.config.x86_64"},
        {"32-bit phone: the feature has no code for it",
         {{"armeabi-v7a", "armeabi"}, 320, "en", 28},
         ChoiceOutcome::NoMatchingAbi,
         ""},
        {"nearest density: 420 is nearer 480 than 320",
         {{"arm64-v8a"}, 420, "de", 29},
         ChoiceOutcome::Pieces,
         "base config.arm64_v8a config.xxhdpi feature_x feature_x.config.arm64_v8a"},
        {"a tie goes to the higher bucket",
         {{"arm64-v8a"}, 280, "", 29},
         ChoiceOutcome::Pieces,
         "base config.arm64_v8a config.xhdpi feature_x feature_x.config.arm64_v8a"},
        {"unknown density counts as 160",
         {{"arm64-v8a"}, 0, "zh", 0},
         ChoiceOutcome::Pieces,
         "base config.arm64_v8a config.mdpi config.zh feature_x feature_x.config.arm64_v8a"},
        {"far above every bucket",
         {{"arm64-v8a"}, 800, "zh", 34},
         ChoiceOutcome::Pieces,
         "base config.arm64_v8a config.xxhdpi config.zh feature_x feature_x.config.arm64_v8a"},
        {"a MIPS phone", {{"mips"}, 160, "zh", 24}, ChoiceOutcome::NoMatchingAbi, ""},
        {"Android 4.4 on arm: the standalone",
         {{"armeabi-v7a", "armeabi"}, 240, "zh", 19},
         ChoiceOutcome::Standalone,
         "standalone-v7a"},
        {"Android 4.4 on x86_64, 480 dpi",
         {{"x86_64", "x86"}, 480, "zh", 19},
         ChoiceOutcome::Standalone,
         "standalone-x86_64"},
        {"Android 4.4 on MIPS", {{"mips"}, 240, "zh", 19}, ChoiceOutcome::NoMatchingAbi, ""},
        {"Android 5.0 takes splits",
         {{"arm64-v8a"}, 240, "fr", 21},
         ChoiceOutcome::Pieces,
         "base config.arm64_v8a config.hdpi config.fr feature_x feature_x.config.arm64_v8a"},
    };
    const std::vector<SplitApk> pieces = BundlePieces();
    for (const auto& c : cases) {
        CAPTURE(c.name);
        const SplitChoice choice = ChooseSplits(pieces, kStandalones, c.phone);
        CHECK(static_cast<int>(choice.outcome) == static_cast<int>(c.outcome));
        CHECK(Joined(choice.names) == c.names);
    }
}

TEST_CASE("Old phones and bundles of other shapes") {
    const PhoneTraits kitkat{{"armeabi-v7a", "armeabi"}, 320, "zh", 19};
    const PhoneTraits current{{"arm64-v8a", "armeabi-v7a"}, 480, "zh", 34};

    // Splits with no standalone: an old phone can't have them.
    std::vector<SplitApk> pieces = {Piece(""), Piece("config.armeabi_v7a"), Piece("config.xhdpi")};
    SplitChoice choice = ChooseSplits(pieces, {}, kitkat);
    CHECK(static_cast<int>(choice.outcome) == static_cast<int>(ChoiceOutcome::TooOld));
    CHECK(choice.names.empty());

    // Only languages of other tongues beside the base: the base alone serves any phone.
    pieces = {Piece(""), Piece("config.fr"), Piece("config.de")};
    choice = ChooseSplits(pieces, {}, kitkat);
    CHECK(static_cast<int>(choice.outcome) == static_cast<int>(ChoiceOutcome::Pieces));
    CHECK(Joined(choice.names) == "base");

    // A bundle of standalone APKs alone serves new phones from them too; one without an ABI in
    // its name fits any processor, after those that name the phone's.
    const std::vector<StandaloneApk> standalones = {{"plain-hdpi", "", "hdpi"}, {"v7a-xhdpi", "armeabi-v7a", "xhdpi"}};
    choice = ChooseSplits({}, standalones, current);
    CHECK(static_cast<int>(choice.outcome) == static_cast<int>(ChoiceOutcome::Standalone));
    CHECK(Joined(choice.names) == "v7a-xhdpi");
    choice = ChooseSplits({}, {{"plain-hdpi", "", "hdpi"}, {"plain-xxhdpi", "", "xxhdpi"}}, current);
    CHECK(Joined(choice.names) == "plain-xxhdpi");

    // Config splits of a module that isn't there are left out.
    pieces = {Piece(""), Piece("missing.config.arm64_v8a")};
    choice = ChooseSplits(pieces, {}, current);
    CHECK(Joined(choice.names) == "base");
}

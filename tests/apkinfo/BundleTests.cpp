#include "apkinfo/Bundle.h"
#include "apkinfo/PackageKind.h"

#include "TestPaths.h"
#include "zip/ZipErrors.h"

#include <doctest/doctest.h>

namespace {
bool GbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}
} // namespace

TEST_CASE("Package files by their extension") {
    struct Case {
        const char* path;
        PackageFileKind kind;
    };
    const Case cases[] = {
        {"D:\\apps\\game.apk", PackageFileKind::Apk},
        {"D:\\apps\\game.APKS", PackageFileKind::Apks},
        {"D:\\apps\\game.XApk", PackageFileKind::Xapk},
        {"D:\\apps\\game.apkm", PackageFileKind::Apkm},
        {"D:\\apps\\game.apk.zip", PackageFileKind::None},
        {"D:\\apps\\game.apkx", PackageFileKind::None},
        {"D:\\apps\\game.ap", PackageFileKind::None},
        {"D:\\x.xapk\\readme", PackageFileKind::None},
        {"D:\\apps\\game", PackageFileKind::None},
        // GBK 95 2E: its second byte is no dot, so this name has no extension at all.
        {"D:\\apps\\game\x95.xapk", PackageFileKind::None},
        {"D:\\游戏\\原神.xapk", PackageFileKind::Xapk},
    };
    for (const auto& c : cases) {
        CAPTURE(c.path);
        CHECK(static_cast<int>(PackageKindOfPath(c.path, GbkLeadByte)) == static_cast<int>(c.kind));
    }
    CHECK(IsBundle(PackageFileKind::Apkm));
    CHECK_FALSE(IsBundle(PackageFileKind::Apk));
    CHECK_FALSE(IsBundle(PackageFileKind::None));
}

#ifdef VARNEL_BUNDLES
namespace {

std::string Bundle(const std::string& name) {
#ifdef _WIN32
    return TestPath(VARNEL_BUNDLES) + "\\" + name;
#else
    return std::string(VARNEL_BUNDLES) + "/" + name;
#endif
}

PackageFileKind KindOf(const std::string& name) {
    return PackageKindOfPath(name, [](unsigned char) { return false; });
}

// "base abi:arm64-v8a density:xxhdpi language:zh feature@feature_x abi:x86_64@feature_x ..."
std::string Described(const BundleInfo& info) {
    std::string text;
    for (const BundlePiece& piece : info.pieces) {
        const SplitApk& split = piece.split;
        std::string one;
        switch (split.kind) {
        case SplitKind::Base:
            one = "base";
            break;
        case SplitKind::Feature:
            one = "feature";
            break;
        case SplitKind::Abi:
            one = "abi:" + split.config;
            break;
        case SplitKind::Density:
            one = "density:" + split.config;
            break;
        case SplitKind::Language:
            one = "language:" + split.config;
            break;
        default:
            one = "other:" + split.config;
            break;
        }
        if (split.module != kBaseModule)
            one += "@" + split.module;
        text += (text.empty() ? "" : " ") + one;
    }
    return text;
}

std::string Standalones(const BundleInfo& info) {
    std::string text;
    for (const BundleStandalone& standalone : info.standalones)
        text += (text.empty() ? "" : " ") + standalone.apk.abi + "/" + standalone.apk.density;
    return text;
}

const char* const kAllPieces = "base abi:arm64-v8a abi:armeabi-v7a abi:x86_64 density:mdpi density:hdpi density:xhdpi "
                               "density:xxhdpi language:zh language:fr feature@feature_x abi:arm64-v8a@feature_x "
                               "abi:x86_64@feature_x";
const char* const kObbOnPhone = "Android/obb/org.varnel.bundle/main.7.org.varnel.bundle.obb";

std::string Message(const std::string& name) {
    try {
        ReadBundle(Bundle(name), KindOf(name), TZipPlatform::Portable());
    } catch (const VarnelError& error) {
        return error.what();
    }
    return "(read without complaint)";
}

} // namespace

TEST_CASE("Each layout read as its source lays it out") {
    struct Case {
        const char* file;
        const char* package;
        std::int64_t versionCode; // -1: the bundle doesn't say
        std::int64_t minSdk;
        const char* pieces;
        const char* showMember;
        const char* standalones;
        bool universal;
        const char* obb; // where the one OBB goes, or ""
    };
    const Case cases[] = {
        {"bundle.apks", "", -1, -1, kAllPieces, "splits\\base-master.apk",
         "arm64-v8a/xxhdpi armeabi-v7a/hdpi x86_64/xhdpi", false, ""},
        {"bundle.xapk", "org.varnel.bundle", 7, 21, kAllPieces, "org.varnel.bundle.apk", "", false, kObbOnPhone},
        {"bundle.apkm", "org.varnel.bundle", 7, 21, kAllPieces, "base.apk", "", false, ""},
        {"sai.apks", "", -1, -1, kAllPieces, "base.apk", "", false, ""},
        {"single.xapk", "org.varnel.bundle", 7, 21, "base", "org.varnel.bundle.apk", "", false, kObbOnPhone},
        {"universal.apks", "", -1, -1, "base", "universal.apk", "", true, ""},
        {"standalones.apks", "", -1, -1, "", "standalones\\standalone-arm64_v8a_xxhdpi.apk",
         "arm64-v8a/xxhdpi armeabi-v7a/hdpi x86_64/xhdpi", false, ""},
        // Hostile names are only names: the bundle reads, and its OBB still goes to its package.
        {"climb.xapk", "org.varnel.bundle", 7, 21,
         "base abi:arm64-v8a density:xxhdpi language:zh feature@feature_x language:fr density:mdpi density:hdpi",
         "..\\..\\climb-base.apk", "", false, kObbOnPhone},
    };
    for (const auto& c : cases) {
        CAPTURE(c.file);
        const BundleInfo info = ReadBundle(Bundle(c.file), KindOf(c.file), TZipPlatform::Portable());
        CHECK(info.packageName == c.package);
        CHECK(info.versionCode.value_or(-1) == c.versionCode);
        CHECK(info.minSdk.value_or(-1) == c.minSdk);
        CHECK(Described(info) == c.pieces);
        CHECK(info.ShowMember() == c.showMember);
        CHECK(Standalones(info) == c.standalones);
        CHECK(info.universal.has_value() == c.universal);
        if (*c.obb != '\0') {
            REQUIRE(info.obbs.size() == 1);
            CHECK(info.obbs[0].phonePath == c.obb);
            CHECK(info.obbs[0].size == 300000);
        } else {
            CHECK(info.obbs.empty());
        }
        CHECK(info.fileSize > 0);
    }
}

TEST_CASE("A bundle that can't be used says why") {
    using namespace BundleText;
    struct Case {
        const char* file;
        std::string message;
    };
    const std::string mixed = kMixedPackages;
    const Case cases[] = {
        {"nobase.apks", kNoBase},
        {"nobase.xapk", kNoBase},
        {"twobases.apks", kTwoBases},
        {"twobases.xapk", kTwoBases},
        {"mixed.xapk", mixed + "org.varnel.other 与 org.varnel.bundle。"},
        {"mixed-obb.xapk", mixed + "org.varnel.bundle 与 org.varnel.other。"},
        {"missing.xapk", "安装包清单列出的文件 config.x86.apk 不在安装包里，安装包不完整。"},
        {"toomany.xapk", kTooManyPieces},
        {"badjson.xapk", std::string("manifest.json") + kBadManifest},
        {"deepjson.xapk", std::string("manifest.json") + kBadManifest},
        {"hugejson.xapk", std::string("manifest.json") + kHugeManifest},
        {"badname.xapk", kBadPackageName},
        {"badobb.xapk", "安装包里的数据文件名 main\"7.obb 不合规，无法放到手机上。"},
        {"cut.xapk", kCut},
        {"notzip.xapk", kNotAZip},
        {"hugepiece.apks", "安装包里的文件 splits/base-xxhdpi.apk 声称的大小与安装包实际所含不符，安装包已损坏。"},
        {"pastend.apks", "安装包里的文件 splits/base-zh.apk 声称的大小与安装包实际所含不符，安装包已损坏。"},
        {"encrypted.apkm", kEncryptedApkm},
        {"encrypted-member.apkm", kEncryptedApkm},
    };
    for (const auto& c : cases) {
        CAPTURE(c.file);
        CHECK(Message(c.file) == c.message);
    }
}

TEST_CASE("A bundle read as another kind, and one that isn't there") {
    // A renamed APKPure file read by bundletool's rules: the top-level APKs, and no single base.
    CHECK(Message("bundle.xapk").find("(read") == 0);
    BundleInfo info;
    CHECK_THROWS_AS(info = ReadBundle(Bundle("bundle.xapk"), PackageFileKind::Apks, TZipPlatform::Portable()),
                    BundleError);
    // SAI's layout under .xapk: no manifest.json, the APKs at the top serve.
    info = ReadBundle(Bundle("sai.apks"), PackageFileKind::Xapk, TZipPlatform::Portable());
    CHECK(Described(info) == kAllPieces);
    // A file that can't be opened is the reader's open error, not a judgement on the bundle.
    CHECK_THROWS_AS(ReadBundle(Bundle("no-such.xapk"), PackageFileKind::Xapk, TZipPlatform::Portable()), EFOpenError);
}
#endif

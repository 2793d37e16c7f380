#include "apkinfo/OpenedBundle.h"

#include "RealSystem.h"
#include "TestPaths.h"

#include <doctest/doctest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef VARNEL_BUNDLES
namespace {

namespace fs = std::filesystem;

std::string Bundle(const std::string& name) {
#ifdef _WIN32
    return TestPath(VARNEL_BUNDLES) + "\\" + name;
#else
    return std::string(VARNEL_BUNDLES) + "/" + name;
#endif
}

std::string Piece(const std::string& name) {
    return Bundle("pieces") + (fs::path::preferred_separator == '\\' ? "\\" : "/") + name;
}

PackageFileKind KindOf(const std::string& name) {
    return PackageKindOfPath(name, [](unsigned char) { return false; });
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A temporary folder of the test's own, empty at the start.
struct Scratch {
    std::string folder;
    RealSystem system;

    explicit Scratch(const std::string& name)
        : folder(BinaryPath("tests/bundle-scratch-" + name) + std::string(1, fs::path::preferred_separator)),
          system(folder) {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~Scratch() { fs::remove_all(folder); }

    // Every file and folder under the scratch folder, relative to it, with '/' separators.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            names.push_back(fs::relative(entry.path(), folder).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

const PhoneTraits kArm64Phone{{"arm64-v8a", "armeabi-v7a"}, 480, "zh", 33};

} // namespace

TEST_CASE("The base comes out at opening, the pieces for a phone when asked, under our names only") {
    struct Case {
        const char* bundle;
        const char* basePiece; // the piece whose bytes the base is
        std::size_t pieces;    // for the arm64 phone
        std::size_t obbs;
    };
    const Case cases[] = {
        {"bundle.apks", "base.apk", 6, 0},
        {"bundle.xapk", "base.apk", 6, 1},
        {"bundle.apkm", "base.apk", 6, 0}, // deflated members
        {"single.xapk", "full.apk", 1, 1},
        {"universal.apks", "full.apk", 1, 0},
        {"standalones.apks", "full-arm64_v8a.apk", 1, 0},
        {"climb.xapk", "base.apk", 5, 1},
    };
    for (const auto& c : cases) {
        CAPTURE(c.bundle);
        Scratch scratch("layouts");
        {
            OpenedBundle bundle(Bundle(c.bundle), KindOf(c.bundle), scratch.system, TZipPlatform::Portable());
            const std::string folder = bundle.Folder().Path();
            CHECK(folder.rfind(scratch.folder + "Varnel-5EED0000-0000-4000-8000-", 0) == 0);
            CHECK(bundle.BasePath() == folder + "piece-1.apk");
            CHECK(Contents(bundle.BasePath()) == Contents(Piece(c.basePiece)));

            const SplitChoice choice = ChooseSplits(bundle.Info().Splits(), bundle.Info().Standalones(), kArm64Phone);
            const std::vector<std::string> files = bundle.PieceFiles(choice.names);
            REQUIRE(files.size() == c.pieces);
            CHECK(files[0] == bundle.BasePath()); // extracted once, at opening
            const std::vector<OpenedBundle::ObbOnDisk> obbs = bundle.ObbFiles();
            REQUIRE(obbs.size() == c.obbs);
            if (!obbs.empty()) {
                CHECK(obbs[0].file == folder + "obb-" + std::to_string(c.pieces + 1) + ".obb");
                CHECK(obbs[0].phonePath == "Android/obb/org.varnel.bundle/main.7.org.varnel.bundle.obb");
                CHECK(fs::file_size(obbs[0].file) == 300000);
            }
            // Asking again extracts nothing more.
            const std::uint64_t extracted = bundle.ExtractedBytes();
            CHECK(bundle.PieceFiles(choice.names) == files);
            CHECK(bundle.ExtractedBytes() == extracted);

            std::vector<std::string> expected = {fs::path(folder).parent_path().filename().generic_string()};
            for (std::size_t i = 1; i <= c.pieces; ++i)
                expected.push_back(expected[0] + "/piece-" + std::to_string(i) + ".apk");
            for (std::size_t i = 1; i <= c.obbs; ++i)
                expected.push_back(expected[0] + "/obb-" + std::to_string(c.pieces + i) + ".obb");
            std::sort(expected.begin(), expected.end());
            CHECK(Joined(scratch.Listing()) == Joined(expected));
        }
        CHECK(scratch.Listing().empty());
    }
}

TEST_CASE("Pieces of the arm64 phone from bundletool's layout, byte for byte") {
    Scratch scratch("bytes");
    OpenedBundle bundle(Bundle("bundle.apks"), PackageFileKind::Apks, scratch.system, TZipPlatform::Portable());
    const SplitChoice choice = ChooseSplits(bundle.Info().Splits(), bundle.Info().Standalones(), kArm64Phone);
    CHECK(Joined(choice.names) == "splits\\base-master.apk splits\\base-arm64_v8a.apk splits\\base-xxhdpi.apk "
                                  "splits\\base-zh.apk splits\\feature_x-master.apk splits\\feature_x-arm64_v8a.apk");
    const std::vector<std::string> files = bundle.PieceFiles(choice.names);
    const char* const sources[] = {"base.apk",    "config.arm64_v8a.apk", "base_xxhdpi-v4.apk",
                                   "base_zh.apk", "feature_x.apk",        "feature_x.config.arm64_v8a.apk"};
    for (std::size_t i = 0; i < files.size(); ++i) {
        CAPTURE(sources[i]);
        CHECK(Contents(files[i]) == Contents(Piece(sources[i])));
    }
    CHECK_THROWS_AS(bundle.PieceFiles({"splits\\base-mips.apk"}), BundleError);
}

TEST_CASE("A bundle that fails leaves nothing behind") {
    const char* const bundles[] = {"nobase.apks",    "twobases.xapk",  "cut.xapk",   "badjson.xapk",
                                   "hugepiece.apks", "encrypted.apkm", "notzip.xapk"};
    for (const char* name : bundles) {
        CAPTURE(name);
        Scratch scratch("failures");
        CHECK_THROWS_AS(OpenedBundle(Bundle(name), KindOf(name), scratch.system, TZipPlatform::Portable()),
                        BundleError);
        CHECK(scratch.Listing().empty());
    }
}

TEST_CASE("A damaged base shows, but is refused before it goes to a phone") {
    // The base is checked when an install first asks for it, so opening costs no more than a copy.
    Scratch scratch("badcrc");
    {
        OpenedBundle bundle(Bundle("badcrc.apks"), PackageFileKind::Apks, scratch.system, TZipPlatform::Portable());
        const SplitChoice choice = ChooseSplits(bundle.Info().Splits(), bundle.Info().Standalones(), kArm64Phone);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                bundle.PieceFiles(choice.names);
                FAIL("installed from");
            } catch (const BundleError& error) {
                CHECK(std::string(error.what()) == "安装包里的文件 splits/base-master.apk 已损坏（数据与校验不符）。");
            }
        }
        // Its sound pieces still come out.
        CHECK(bundle.PieceFiles({"splits\\base-zh.apk"}).size() == 1);
    }
    CHECK(scratch.Listing().empty());

    // A sound base passes the same check once, and is not read again after that.
    OpenedBundle bundle(Bundle("bundle.apks"), PackageFileKind::Apks, scratch.system, TZipPlatform::Portable());
    CHECK(bundle.PieceFiles({"splits\\base-master.apk"}).front() == bundle.BasePath());
    CHECK(bundle.PieceFiles({"splits\\base-master.apk"}).front() == bundle.BasePath());
}

TEST_CASE("Too little room on the disk stops before anything is written") {
    Scratch scratch("space");
    scratch.system.freeSpace = kFreeSpaceReserve; // the reserve, and not a byte for the base
    try {
        OpenedBundle bundle(Bundle("bundle.xapk"), PackageFileKind::Xapk, scratch.system, TZipPlatform::Portable());
        FAIL("opened");
    } catch (const BundleError& error) {
        CHECK(std::string(error.what()).find("临时文件夹所在的磁盘空间不足：需要 17 MB，只有 16 MB 可用。") == 0);
    }
    CHECK(scratch.Listing().empty());

    // Room for the base but not the OBB: the base stays on show, no part of the OBB is written.
    scratch.system.freeSpace = kFreeSpaceReserve + 100000;
    {
        OpenedBundle bundle(Bundle("bundle.xapk"), PackageFileKind::Xapk, scratch.system, TZipPlatform::Portable());
        CHECK_THROWS_AS(bundle.ObbFiles(), BundleError);
        const std::vector<std::string> listing = scratch.Listing();
        REQUIRE(listing.size() == 2);
        CHECK(listing[1] == listing[0] + "/piece-1.apk");
    }
    CHECK(scratch.Listing().empty());
}

#ifndef _WIN32
TEST_CASE("A disk that fills up during an extraction is reported as such") {
    // /dev/full fails every write as a full disk does; the free space beforehand looked fine.
    Scratch scratch("full");
    BundleFolder folder(scratch.system);
    TZipReader reader;
    reader.SetZipName(Bundle("bundle.xapk"));
    const std::string member = "Android\\obb\\org.varnel.bundle\\main.7.org.varnel.bundle.obb";
    try {
        ExtractMemberToFile(reader, member, 300000, false, folder, "/dev/full");
        FAIL("extracted");
    } catch (const BundleError& error) {
        CHECK(std::string(error.what()) == "无法写入临时文件 /dev/full，磁盘可能已满。");
    }
    // The same member into a file of the folder's own comes out whole.
    const std::string file = folder.NewFile("obb", ".obb");
    ExtractMemberToFile(reader, member, 300000, false, folder, file);
    CHECK(fs::file_size(file) == 300000);
    CHECK_THROWS_AS(ExtractMemberToFile(reader, member, 300000, true, folder, folder.NewFile("piece", ".apk")),
                    BundleError); // an OBB is no APK
}
#endif

TEST_CASE("A bundle changed while on show is not installed from") {
    Scratch scratch("changed");
    const std::string copy = scratch.folder + "copy.xapk";
    fs::copy_file(Bundle("bundle.xapk"), copy);
    OpenedBundle bundle(copy, PackageFileKind::Xapk, scratch.system, TZipPlatform::Portable());
    const std::string other = Contents(Bundle("bundle.apkm"));
    std::ofstream(copy, std::ios::binary | std::ios::trunc)
        .write(other.data(), static_cast<std::streamsize>(other.size()));
    try {
        bundle.PieceFiles({"config.arm64_v8a.apk"});
        FAIL("extracted");
    } catch (const BundleError& error) {
        CHECK(std::string(error.what()) == "安装包文件在打开之后被改动了，请重新打开它。");
    }
}

TEST_CASE("The icon of a bundle whose base holds only the adaptive icon") {
    struct Case {
        std::uint32_t box;
        std::uint32_t size;
        const char* densityFile; // the piece the icon came from
    };
    const Case cases[] = {
        {72, 72, "piece-2.apk"},   // hdpi's 72 px icon, as it is
        {100, 100, "piece-2.apk"}, // xxhdpi's 144 px, scaled down
        {40, 40, "piece-2.apk"},   // mdpi's 48 px, scaled down
    };
    for (const auto& c : cases) {
        CAPTURE(c.box);
        Scratch scratch("icon");
        OpenedBundle bundle(Bundle("bundle.apks"), PackageFileKind::Apks, scratch.system, TZipPlatform::Portable());
        RgbaImage icon;
        REQUIRE(
            LoadBundleIcon(bundle, "res\\drawable-anydpi-v26\\ic_launcher.xml", c.box, TZipPlatform::Portable(), icon));
        CHECK(icon.width == c.size);
        CHECK(icon.height == c.size);
        CHECK(fs::exists(bundle.Folder().Path() + c.densityFile));
        CHECK_FALSE(fs::exists(bundle.Folder().Path() + "piece-3.apk")); // the first density split served
    }
    Scratch scratch("noicon");
    OpenedBundle bundle(Bundle("universal.apks"), PackageFileKind::Apks, scratch.system, TZipPlatform::Portable());
    RgbaImage icon;
    CHECK(LoadBundleIcon(bundle, "res\\drawable-anydpi-v26\\ic_launcher.xml", 72, TZipPlatform::Portable(), icon));
    CHECK_FALSE(LoadBundleIcon(bundle, "res\\no-such.png", 72, TZipPlatform::Portable(), icon));
}
#endif

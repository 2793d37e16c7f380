#pragma once
#include "apkinfo/PackageKind.h"
#include "device/Errors.h"
#include "device/SplitApk.h"
#include "device/SplitChoice.h"
#include "zip/ZipPlatform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a bundle (.apks, .xapk, .apkm) holds, read from its ZIP directory and its own manifest
// without extracting anything else. Bundles come from strangers: every count, size and name in
// them is checked before it is believed, and a bundle that can't be installed as it is stops here
// with a message of its own.

// A bundle that can't be shown or installed, with the reason in words for the user.
class BundleError : public VarnelError {
public:
    using VarnelError::VarnelError;
};

// One APK of the bundle. split.name is the member's path as the ZIP reader has it ('\' separators).
struct BundlePiece {
    SplitApk split;
    std::uint64_t size = 0; // uncompressed, as the directory claims (checked against the archive)
};

struct BundleStandalone {
    StandaloneApk apk; // apk.name: the member's path
    std::uint64_t size = 0;
};

// An APK expansion file (.xapk), which goes onto the phone's shared storage before the install.
struct ObbFile {
    std::string member;
    std::uint64_t size = 0;
    std::string phonePath; // "Android/obb/<package>/<file name>", relative to the shared storage
};

struct BundleInfo {
    PackageFileKind kind = PackageFileKind::None;
    std::uint64_t fileSize = 0;
    // What the bundle's manifest states; empty or unset when it states nothing.
    std::string packageName;
    std::optional<std::int64_t> versionCode;
    std::optional<std::int64_t> minSdk;
    // The pieces to choose from, the base first, then in archive order. Empty only when the bundle
    // holds standalone APKs alone. A bundletool universal.apk stands here as the base when the
    // bundle has no splits.
    std::vector<BundlePiece> pieces;
    std::vector<BundleStandalone> standalones; // bundletool's standalones/ (phones before Android 5.0)
    std::optional<BundlePiece> universal;      // bundletool's universal.apk, when there is one
    std::vector<ObbFile> obbs;

    // The member the window inspects: the base, or the first standalone APK when there is no base.
    const std::string& ShowMember() const;
    std::uint64_t ShowMemberSize() const;
    std::vector<SplitApk> Splits() const;
    std::vector<StandaloneApk> Standalones() const;
};

// Caps on what a bundle may claim.
constexpr std::uint64_t kBundleManifestLimit = std::uint64_t(1) << 20; // manifest.json, info.json
constexpr std::size_t kBundleMaxApks = 512;
constexpr std::size_t kBundleMaxObbs = 64;

// Reads the bundle at `path` as the kind its name says. Raises BundleError for a bundle that can't
// be used, and the reader's EFOpenError when the file can't be opened at all.
BundleInfo ReadBundle(const std::string& path, PackageFileKind kind, const TZipPlatform& platform);

// A member name as a message shows it: printable ASCII only, '/' as separator, not endless. Names
// come from strangers' files and may hold anything.
std::string ShownMemberName(const std::string& name);

// The texts of the errors that name no member. Those that do are built as "...<member>..." and
// say the member's name in printable characters only.
namespace BundleText {
extern const char* const kNotAZip;
extern const char* const kCut;
extern const char* const kDamaged;
extern const char* const kNoBase;
extern const char* const kTwoBases;
extern const char* const kMixedPackages; // followed by the two names
extern const char* const kEncryptedApkm;
extern const char* const kBadManifest;  // the manifest's name is put in front
extern const char* const kHugeManifest; // the manifest's name is put in front
extern const char* const kBadPackageName;
extern const char* const kTooManyPieces;
extern const char* const kObbWithoutPackage;
} // namespace BundleText

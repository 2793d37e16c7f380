#pragma once
#include "apkinfo/Bundle.h"
#include "device/System.h"
#include "image/RgbaImage.h"
#include "zip/ZipPlatform.h"
#include "zip/ZipReader.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The temporary folder of one bundle, made for it under the system's temporary folder with a name
// of our own ("Varnel-<GUID>"). Files in it get names of our own too ("piece-1.apk", "obb-1.obb"):
// a member's name from the bundle never becomes a path, so no name can write outside the folder.
// The folder and every file made in it are removed when the owner goes, on every way out.
class BundleFolder {
public:
    // Raises BundleError when no folder can be made.
    explicit BundleFolder(ISystem& system);
    ~BundleFolder();
    BundleFolder(const BundleFolder&) = delete;
    BundleFolder& operator=(const BundleFolder&) = delete;

    // The folder, ending in its separator.
    const std::string& Path() const { return path_; }
    // A new file name inside: "<stem>-<n><extension>", n counting up from 1. The file is the
    // folder's to remove from now on, whether it gets made or not.
    std::string NewFile(const char* stem, const char* extension);
    // Removes one of the folder's files now (after a failed extraction).
    void Discard(const std::string& file);

private:
    ISystem& system_;
    std::string path_;
    std::vector<std::string> files_;
    int count_ = 0;
};

// When a member's bytes are checked against its CRC-32: as they come out, or later by the caller
// (CheckFileCrc), so that the first look at a large base costs no more than copying it.
enum class CrcCheck { Now, Later };

// Streams one member of the archive into a new file, `size` bytes as the directory claimed,
// through a small buffer. The file is removed again when the extraction fails: a damaged member,
// a full disk, or an archive changed since it was read all raise BundleError. `expectApk` also
// refuses a member that doesn't start as an APK does. Returns the CRC-32 the archive states.
std::uint32_t ExtractMemberToFile(TZipReader& reader, const std::string& member, std::uint64_t size, bool expectApk,
                                  BundleFolder& folder, const std::string& file, CrcCheck check = CrcCheck::Now);

// Raises BundleError naming `member` unless the file's CRC-32 is `crc`.
void CheckFileCrc(const std::string& file, std::uint32_t crc, const std::string& member);

// A bundle on show: what it holds, its temporary folder, and the APKs taken out of it so far. The
// constructor reads the bundle and extracts the member the window inspects (the base); the rest
// comes out when an install asks for it, each member once. Everything it extracted goes with it.
// The base is checked against its CRC-32 when an install first asks for it, not at opening: a
// damaged base is refused then, before anything goes to a phone.
//
// The window keeps one while the bundle is on show, from the opening to the next package or the
// window's end, and installs from it; the platform's message pump runs during extractions.
class OpenedBundle {
public:
    OpenedBundle(const std::string& path, PackageFileKind kind, ISystem& system, const TZipPlatform& platform);
    OpenedBundle(const OpenedBundle&) = delete;
    OpenedBundle& operator=(const OpenedBundle&) = delete;

    const BundleInfo& Info() const { return info_; }
    const std::string& Path() const { return path_; }
    // The base (or the standalone APK shown in its place), extracted: for aapt and the icon.
    const std::string& BasePath() const { return basePath_; }
    const BundleFolder& Folder() const { return folder_; }

    // The files of the named pieces (member names, as a SplitChoice gives them), in the same
    // order, extracting those not out yet. The free space is checked for all of them first.
    std::vector<std::string> PieceFiles(const std::vector<std::string>& members);

    struct ObbOnDisk {
        std::string file;      // in the folder
        std::string phonePath; // where it goes on the phone's shared storage
    };
    // The OBB files, extracted (once) after a check of the free space.
    std::vector<ObbOnDisk> ObbFiles();

    // The total size of what is extracted so far.
    std::uint64_t ExtractedBytes() const { return extractedBytes_; }

private:
    struct Wanted {
        std::string member;
        std::uint64_t size;
        bool apk;
    };
    void ExtractAll(const std::vector<Wanted>& wanted, CrcCheck check = CrcCheck::Now);
    const std::string& FileOf(const Wanted& wanted);

    std::string path_;
    ISystem& system_;
    TZipReader reader_;
    BundleInfo info_;
    BundleFolder folder_;
    std::map<std::string, std::string> extracted_;   // member -> file
    std::map<std::string, std::uint32_t> unchecked_; // member -> the CRC-32 its file must have
    std::string basePath_;
    std::uint64_t extractedBytes_ = 0;
};

// Room left on the disk beyond what an extraction needs, so the system keeps working.
constexpr std::uint64_t kFreeSpaceReserve = std::uint64_t(16) << 20;

// The icon of a bundle: from the base as for an APK (LoadPackageIcon), else from a density split
// of the base module, the one whose icon suits the box best first. False when none serves.
bool LoadBundleIcon(OpenedBundle& bundle, const std::string& memberName, std::uint32_t box,
                    const TZipPlatform& platform, RgbaImage& icon, unsigned dpi = 96);

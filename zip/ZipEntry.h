#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "zip/ArchiveFile.h"
#include "zip/ZipFormat.h"
#include "zip/ZipPlatform.h"

enum class TZipSortMode {
    ByName,
    ByFileName,
    ByDirectoryName,
    ByDate,
    ByCompressedSize,
    ByUnCompressedSize,
    ByRate,
    ByNone
};
enum class TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum class TOEMConvert { oemAlways, oemNever, oemFlexible };

// Repairs a packed MS-DOS date-time (time in the low 16 bits, date in the high 16 bits): fields out
// of range are clamped (hour 23, minute and second 59, year 1980..2099, month 1..12, day 1..31).
// A value that needed no clamping comes back unchanged.
uint32_t RepairDosDateTime(uint32_t dosDateTime);

// The Zip64 extended information of one entry, laid out as the reader keeps it.
struct TZip64Record {
    uint16_t Tag = ZipFormat::kZip64ExtraTag;
    uint16_t Size = 0;
    uint64_t UncompressedSize = 0;
    uint64_t CompressedSize = 0;
    uint64_t LocalHeaderOffset = 0;
    uint32_t StartDisk = 0;
};

// One archive entry, filled from its central header (or from its local header by the rebuild).
// The 32-bit fields are kept as stored; the Effective...() values are what the reader works with.
class TZipEntryInfo {
public:
    TZipEntryInfo() = default;
    explicit TZipEntryInfo(TOEMConvert oemMode) : OemMode(oemMode) {}
    TZipEntryInfo(const TZipEntryInfo& other) { Assign(other); }
    TZipEntryInfo& operator=(const TZipEntryInfo& other) {
        Assign(other);
        return *this;
    }

    // Copies every field, the Zip64 record and the comment.
    void Assign(const TZipEntryInfo& other);

    // Reads the central header at the stream's position. On success the stream stands after the
    // name; on failure it is back where it was and nothing is to be trusted.
    bool ReadCentralHeader(TArchiveFileStream& stream, IZipCodePage& codePage);
    // Reads a local header (for the rebuild of a lost directory); same rules.
    bool ReadLocalHeader(TArchiveFileStream& stream, IZipCodePage& codePage);
    // Walks the central extra field (at the stream's position) and takes the Zip64 values whose
    // header fields hold the marker.
    void ParseExtraField(TArchiveFileStream& stream);

    uint64_t EffectiveUncompressedSize() const;
    uint64_t EffectiveCompressedSize() const;
    uint64_t EffectiveLocalHeaderOffset() const;
    uint32_t EffectiveStartDisk() const;
    // Keeps the given offset as the entry's effective local header offset.
    void SetEffectiveLocalHeaderOffset(uint64_t offset);

    bool IsEncrypted() const { return (Flags & ZipFormat::kFlagEncrypted) != 0; }
    bool HasDataDescriptor() const { return (Flags & ZipFormat::kFlagDataDescriptor) != 0; }
    bool IsDirectory() const { return FileName.empty(); }
    // The stored name with '\' as separator: directory followed by file name.
    std::string FullPath() const { return Directory + FileName; }
    // Sets the name from a normalised full path, splitting at the last '\' or ':' that is not part
    // of a double-byte character.
    void SetFullPath(const std::string& path, IZipCodePage& codePage);
    void SetFileName(const std::string& name);
    void SetDirectory(const std::string& directory);
    TZip64Record& Zip64(); // created on first need
    const TZip64Record* Zip64OrNull() const { return zip64_.get(); }
    void ClearZip64() { zip64_.reset(); }

    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint32_t DateTime = 0; // MS-DOS time low, date high, repaired
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0; // length of directory + file name
    uint16_t CentralExtraLength = 0;
    uint16_t LocalExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t StartDisk = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;
    int64_t CentralHeaderPosition = 0;
    std::string FileName;
    std::string Directory;
    std::unique_ptr<std::string> Comment; // null unless read
    bool Selected = false;
    TOEMConvert OemMode = TOEMConvert::oemAlways;
    int64_t ExtraFieldPosition = 0;
    uint16_t ExtraFieldLength = 0;
    uint16_t Zip64StoredSize = 0; // the Zip64 record's data size plus its 4-byte header

private:
    std::unique_ptr<TZip64Record> zip64_;
};

// The end-of-central-directory record, with the Zip64 locator and end record when the archive has
// them (kept as on disk).
class TEndOfCentralDir {
public:
    TEndOfCentralDir() { Reset(); }

    // Finds the end record in the last 64 KiB + 22 bytes of the stream; the one nearest the end
    // wins. A 0-byte file counts as found (an archive without entries); 1 to 21 bytes do not.
    bool FindEndOfCentral(TArchiveFileStream& stream);
    void Reset();

    uint32_t EffectiveThisDisk() const;
    uint32_t EffectiveCentralDisk() const;
    uint64_t EffectiveTotalEntries() const;
    uint64_t EffectiveCentralOffset() const;
    // After a rebuild from local headers: one disk, the directory at the given offset, the given
    // number of entries (values beyond the 16/32-bit fields go into a Zip64 end record).
    void SetFromRebuild(uint64_t centralOffset, uint64_t totalEntries);
    bool HasZip64Locator() const { return zip64Locator_ != nullptr; }
    bool HasZip64EndRecord() const { return zip64End_ != nullptr; }

    uint32_t Signature = 0;
    uint16_t ThisDisk = 0;
    uint16_t CentralDisk = 0;
    uint16_t EntriesThisDisk = 0;
    uint16_t TotalEntries = 0;
    uint32_t CentralSize = 0;
    uint32_t CentralOffset = 0;
    uint16_t CommentLength = 0;
    std::unique_ptr<std::string> Comment;
    int64_t CommentPosition = 0;

private:
    std::unique_ptr<std::array<uint8_t, ZipFormat::kZip64LocatorSize>> zip64Locator_;
    std::unique_ptr<std::array<uint8_t, ZipFormat::kZip64EndReadSize>> zip64End_;
};

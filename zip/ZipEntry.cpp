#include "zip/ZipEntry.h"

#include <algorithm>
#include <vector>

#include "zip/ByteReader.h"

using namespace ZipFormat;

uint32_t RepairDosDateTime(uint32_t dosDateTime) {
    const uint32_t time = dosDateTime & 0xFFFF;
    const uint32_t date = dosDateTime >> 16;
    uint32_t hour = time >> 11;
    uint32_t minute = (time >> 5) & 0x3F;
    uint32_t second = (time & 0x1F) * 2;
    uint32_t year = 1980 + (date >> 9);
    uint32_t month = (date >> 5) & 0x0F;
    uint32_t day = date & 0x1F;
    bool clamped = false;
    auto clamp = [&clamped](uint32_t& value, uint32_t low, uint32_t high) {
        if (value < low) {
            value = low;
            clamped = true;
        } else if (value > high) {
            value = high;
            clamped = true;
        }
    };
    clamp(hour, 0, 23);
    clamp(minute, 0, 59);
    clamp(second, 0, 59);
    clamp(year, 1980, 2099);
    clamp(month, 1, 12);
    clamp(day, 1, 31);
    if (!clamped)
        return dosDateTime;
    const uint32_t newTime = (hour << 11) | (minute << 5) | (second / 2);
    const uint32_t newDate = ((year - 1980) << 9) | (month << 5) | day;
    return newTime | (newDate << 16);
}

namespace {

// Names use '\' as separator inside the reader; the conversion stops at a zero byte, as the
// system's string functions would.
void NormaliseSeparators(std::string& name) {
    for (char& c : name) {
        if (c == '\0')
            break;
        if (c == '/')
            c = '\\';
    }
}

bool ReadExactly(TArchiveFileStream& stream, void* buffer, size_t count) {
    return stream.Read(buffer, count) == count;
}

} // namespace

void TZipEntryInfo::Assign(const TZipEntryInfo& other) {
    if (this == &other)
        return;
    VersionMadeBy = other.VersionMadeBy;
    VersionNeeded = other.VersionNeeded;
    Flags = other.Flags;
    Method = other.Method;
    DateTime = other.DateTime;
    Crc32 = other.Crc32;
    CompressedSize = other.CompressedSize;
    UncompressedSize = other.UncompressedSize;
    NameLength = other.NameLength;
    CentralExtraLength = other.CentralExtraLength;
    LocalExtraLength = other.LocalExtraLength;
    CommentLength = other.CommentLength;
    StartDisk = other.StartDisk;
    InternalAttributes = other.InternalAttributes;
    ExternalAttributes = other.ExternalAttributes;
    LocalHeaderOffset = other.LocalHeaderOffset;
    CentralHeaderPosition = other.CentralHeaderPosition;
    FileName = other.FileName;
    Directory = other.Directory;
    Comment = other.Comment ? std::make_unique<std::string>(*other.Comment) : nullptr;
    Selected = other.Selected;
    OemMode = other.OemMode;
    ExtraFieldPosition = other.ExtraFieldPosition;
    ExtraFieldLength = other.ExtraFieldLength;
    Zip64StoredSize = other.Zip64StoredSize;
    zip64_ = other.zip64_ ? std::make_unique<TZip64Record>(*other.zip64_) : nullptr;
}

TZip64Record& TZipEntryInfo::Zip64() {
    if (!zip64_) {
        // A value the record does not supply stays the 32-bit one, marker or not.
        zip64_ = std::make_unique<TZip64Record>();
        zip64_->UncompressedSize = UncompressedSize;
        zip64_->CompressedSize = CompressedSize;
        zip64_->LocalHeaderOffset = LocalHeaderOffset;
        zip64_->StartDisk = StartDisk;
    }
    return *zip64_;
}

uint64_t TZipEntryInfo::EffectiveUncompressedSize() const {
    return UncompressedSize == kZip64Marker32 && zip64_ ? zip64_->UncompressedSize : UncompressedSize;
}

uint64_t TZipEntryInfo::EffectiveCompressedSize() const {
    return CompressedSize == kZip64Marker32 && zip64_ ? zip64_->CompressedSize : CompressedSize;
}

uint64_t TZipEntryInfo::EffectiveLocalHeaderOffset() const {
    return LocalHeaderOffset == kZip64Marker32 && zip64_ ? zip64_->LocalHeaderOffset : LocalHeaderOffset;
}

uint32_t TZipEntryInfo::EffectiveStartDisk() const {
    return StartDisk == kZip64Marker16 && zip64_ ? zip64_->StartDisk : StartDisk;
}

void TZipEntryInfo::SetEffectiveLocalHeaderOffset(uint64_t offset) {
    if (offset < kZip64Marker32) {
        LocalHeaderOffset = static_cast<uint32_t>(offset);
        return;
    }
    LocalHeaderOffset = kZip64Marker32;
    Zip64().LocalHeaderOffset = offset;
}

void TZipEntryInfo::SetFileName(const std::string& name) {
    FileName = name;
    NameLength = static_cast<uint16_t>(std::min<size_t>(Directory.size() + FileName.size(), 0xFFFF));
}

void TZipEntryInfo::SetDirectory(const std::string& directory) {
    Directory = directory;
    NameLength = static_cast<uint16_t>(std::min<size_t>(Directory.size() + FileName.size(), 0xFFFF));
}

void TZipEntryInfo::SetFullPath(const std::string& path, IZipCodePage& codePage) {
    size_t split = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<uint8_t>(path[i]);
        if (codePage.IsLeadByte(c) && i + 1 < path.size()) {
            ++i; // the trail byte may look like '\' but belongs to the character
            continue;
        }
        if (c == '\\' || c == ':')
            split = i;
    }
    if (split == std::string::npos) {
        Directory.clear();
        SetFileName(path);
        return;
    }
    std::string directory = path.substr(0, split + 1);
    if (directory.back() != '\\')
        directory += '\\';
    Directory = std::move(directory);
    SetFileName(path.substr(split + 1));
}

bool TZipEntryInfo::ReadCentralHeader(TArchiveFileStream& stream, IZipCodePage& codePage) {
    const int64_t start = stream.Position();
    uint8_t header[kCentralHeaderSize];
    TByteReader record(header, sizeof header);
    if (!ReadExactly(stream, header, sizeof header) || record.U32(0) != kCentralHeaderSignature) {
        stream.Seek(start, TSeekOrigin::Begin);
        return false;
    }
    const uint16_t nameLength = record.U16(Central::kNameLength);
    std::string name(nameLength, '\0');
    if (nameLength != 0 && !ReadExactly(stream, &name[0], nameLength)) {
        stream.Seek(start, TSeekOrigin::Begin);
        return false;
    }
    VersionMadeBy = record.U16(Central::kVersionMadeBy);
    NormaliseSeparators(name);
    if ((VersionMadeBy >> 8) == kHostMsDos &&
        (OemMode == TOEMConvert::oemAlways ||
         (OemMode == TOEMConvert::oemFlexible && (VersionMadeBy & 0x0B00) != 0x0B00)))
        codePage.OemToAnsi(name);

    VersionNeeded = record.U16(Central::kVersionNeeded);
    Flags = record.U16(Central::kFlags);
    Method = record.U16(Central::kMethod);
    DateTime =
        RepairDosDateTime(record.U16(Central::kTime) | (static_cast<uint32_t>(record.U16(Central::kDate)) << 16));
    Crc32 = record.U32(Central::kCrc);
    CompressedSize = record.U32(Central::kCompressedSize);
    UncompressedSize = record.U32(Central::kUncompressedSize);
    CentralExtraLength = record.U16(Central::kExtraLength);
    CommentLength = record.U16(Central::kCommentLength);
    StartDisk = record.U16(Central::kStartDisk);
    InternalAttributes = record.U16(Central::kInternalAttributes);
    ExternalAttributes = record.U32(Central::kExternalAttributes);
    LocalHeaderOffset = record.U32(Central::kLocalHeaderOffset);
    SetFullPath(name, codePage);
    CentralHeaderPosition = start;
    zip64_.reset();
    Zip64StoredSize = 0;
    Comment.reset();
    Selected = false;
    ExtraFieldPosition = 0;
    ExtraFieldLength = 0;

    if (CentralExtraLength != 0) {
        ExtraFieldPosition = stream.Position();
        ExtraFieldLength = CentralExtraLength;
        ParseExtraField(stream);
        stream.Seek(ExtraFieldPosition, TSeekOrigin::Begin);
    }
    return true;
}

void TZipEntryInfo::ParseExtraField(TArchiveFileStream& stream) {
    std::vector<uint8_t> extra(ExtraFieldLength);
    extra.resize(stream.Read(extra.data(), extra.size()));
    TByteReader field(extra.data(), extra.size());
    size_t pos = 0;
    while (pos + kExtraRecordHeaderSize <= extra.size()) {
        const uint16_t tag = field.U16(pos);
        const uint16_t size = field.U16(pos + 2);
        const size_t dataStart = pos + kExtraRecordHeaderSize;
        // A record that claims more than the field holds ends the walk at the field's end.
        const size_t dataEnd = std::min(dataStart + size, extra.size());
        if (tag == kZip64ExtraTag) {
            TZip64Record& zip64 = Zip64();
            zip64.Size = size;
            Zip64StoredSize = static_cast<uint16_t>(size + kExtraRecordHeaderSize);
            // Only the values whose header field holds the marker are present, in this order.
            size_t q = dataStart;
            if (UncompressedSize == kZip64Marker32 && q + 8 <= dataEnd) {
                zip64.UncompressedSize = field.U64(q);
                q += 8;
            }
            if (CompressedSize == kZip64Marker32 && q + 8 <= dataEnd) {
                zip64.CompressedSize = field.U64(q);
                q += 8;
            }
            if (LocalHeaderOffset == kZip64Marker32 && q + 8 <= dataEnd) {
                zip64.LocalHeaderOffset = field.U64(q);
                q += 8;
            }
            if (StartDisk == kZip64Marker16 && q + 4 <= dataEnd)
                zip64.StartDisk = field.U32(q);
        }
        pos = dataStart + size;
    }
}

bool TZipEntryInfo::ReadLocalHeader(TArchiveFileStream& stream, IZipCodePage& codePage) {
    const int64_t start = stream.Position();
    uint8_t header[kLocalHeaderSize];
    TByteReader record(header, sizeof header);
    if (!ReadExactly(stream, header, sizeof header) || record.U32(0) != kLocalHeaderSignature) {
        stream.Seek(start, TSeekOrigin::Begin);
        return false;
    }
    const uint16_t nameLength = record.U16(Local::kNameLength);
    std::string name(nameLength, '\0');
    if (nameLength != 0 && !ReadExactly(stream, &name[0], nameLength)) {
        stream.Seek(start, TSeekOrigin::Begin);
        return false;
    }
    NormaliseSeparators(name);
    // A local header has no host byte: the mode alone decides.
    if (OemMode != TOEMConvert::oemNever)
        codePage.OemToAnsi(name);

    VersionMadeBy = 0;
    VersionNeeded = record.U16(Local::kVersionNeeded);
    Flags = record.U16(Local::kFlags);
    Method = record.U16(Local::kMethod);
    DateTime = RepairDosDateTime(record.U16(Local::kTime) | (static_cast<uint32_t>(record.U16(Local::kDate)) << 16));
    Crc32 = record.U32(Local::kCrc);
    CompressedSize = record.U32(Local::kCompressedSize);
    UncompressedSize = record.U32(Local::kUncompressedSize);
    LocalExtraLength = record.U16(Local::kExtraLength);
    CentralExtraLength = 0;
    CommentLength = 0;
    StartDisk = 0;
    InternalAttributes = 0;
    ExternalAttributes = 0;
    SetFullPath(name, codePage);
    CentralHeaderPosition = 0;
    zip64_.reset();
    Zip64StoredSize = 0;
    Comment.reset();
    Selected = false;
    LocalHeaderOffset = 0;
    SetEffectiveLocalHeaderOffset(static_cast<uint64_t>(start));

    if (LocalExtraLength != 0) {
        const int64_t afterName = stream.Position();
        uint8_t extra[kZip64ExtraRecordSize] = {};
        const size_t got = stream.Read(extra, std::min<size_t>(sizeof extra, LocalExtraLength));
        TByteReader field(extra, got);
        if (got >= kExtraRecordHeaderSize && field.U16(0) == kZip64ExtraTag) {
            // The local Zip64 record holds the sizes only, each when its field holds the marker.
            TZip64Record& zip64 = Zip64();
            zip64.Size = field.U16(2);
            Zip64StoredSize = static_cast<uint16_t>(zip64.Size + kExtraRecordHeaderSize);
            size_t q = kExtraRecordHeaderSize;
            if (UncompressedSize == kZip64Marker32 && q + 8 <= got) {
                zip64.UncompressedSize = field.U64(q);
                q += 8;
            }
            if (CompressedSize == kZip64Marker32 && q + 8 <= got)
                zip64.CompressedSize = field.U64(q);
        }
        stream.Seek(afterName, TSeekOrigin::Begin);
    }
    return true;
}

void TEndOfCentralDir::Reset() {
    Signature = kEndOfCentralSignature;
    ThisDisk = 0;
    CentralDisk = 0;
    EntriesThisDisk = 0;
    TotalEntries = 0;
    CentralSize = 0;
    CentralOffset = 0;
    CommentLength = 0;
    Comment.reset();
    CommentPosition = 0;
    zip64Locator_.reset();
    zip64End_.reset();
}

bool TEndOfCentralDir::FindEndOfCentral(TArchiveFileStream& stream) {
    const int64_t size = stream.Size();
    if (size < static_cast<int64_t>(kEndOfCentralSize))
        return size == 0;
    zip64Locator_.reset();
    zip64End_.reset();
    const size_t n = static_cast<size_t>(std::min<int64_t>(kEndSearchSize, size));
    const int64_t base = size - static_cast<int64_t>(n);
    std::vector<uint8_t> tail(n);
    stream.Seek(base, TSeekOrigin::Begin);
    if (stream.Read(tail.data(), n) != n)
        return false;
    TByteReader reader(tail.data(), n);
    size_t pos = n - kEndOfCentralSize;
    for (;;) {
        if (tail[pos] == 0x50 && reader.U32(pos) == kEndOfCentralSignature)
            break;
        if (pos == 0)
            return false;
        --pos;
    }
    Signature = kEndOfCentralSignature;
    ThisDisk = reader.U16(pos + Eocd::kThisDisk);
    CentralDisk = reader.U16(pos + Eocd::kCentralDisk);
    EntriesThisDisk = reader.U16(pos + Eocd::kEntriesThisDisk);
    TotalEntries = reader.U16(pos + Eocd::kTotalEntries);
    CentralSize = reader.U32(pos + Eocd::kCentralSize);
    CentralOffset = reader.U32(pos + Eocd::kCentralOffset);
    CommentLength = reader.U16(pos + Eocd::kCommentLength);
    CommentPosition = base + static_cast<int64_t>(pos + kEndOfCentralSize);

    if (pos >= kZip64LocatorSize && reader.U32(pos - kZip64LocatorSize) == kZip64LocatorSignature) {
        zip64Locator_ = std::make_unique<std::array<uint8_t, kZip64LocatorSize>>();
        std::copy_n(tail.begin() + static_cast<std::ptrdiff_t>(pos - kZip64LocatorSize), kZip64LocatorSize,
                    zip64Locator_->begin());
        const uint64_t recordOffset = reader.U64(pos - kZip64LocatorSize + Zip64Locator::kEndRecordOffset);
        auto record = std::make_unique<std::array<uint8_t, kZip64EndReadSize>>();
        // An offset outside the file, or a record cut short, gives no Zip64 end record at all.
        if (recordOffset <= static_cast<uint64_t>(size) - kZip64EndReadSize &&
            stream.Seek(static_cast<int64_t>(recordOffset), TSeekOrigin::Begin) == static_cast<int64_t>(recordOffset) &&
            stream.Read(record->data(), record->size()) == record->size())
            zip64End_ = std::move(record);
    }
    return true;
}

uint32_t TEndOfCentralDir::EffectiveThisDisk() const {
    if (ThisDisk == kZip64Marker16 && zip64End_)
        return TByteReader(zip64End_->data(), zip64End_->size()).U32(Zip64End::kThisDisk);
    return ThisDisk;
}

uint32_t TEndOfCentralDir::EffectiveCentralDisk() const {
    if (CentralDisk == kZip64Marker16 && zip64End_)
        return TByteReader(zip64End_->data(), zip64End_->size()).U32(Zip64End::kCentralDisk);
    return CentralDisk;
}

uint64_t TEndOfCentralDir::EffectiveTotalEntries() const {
    if (TotalEntries == kZip64Marker16 && zip64End_)
        return TByteReader(zip64End_->data(), zip64End_->size()).U64(Zip64End::kTotalEntries);
    return TotalEntries;
}

uint64_t TEndOfCentralDir::EffectiveCentralOffset() const {
    if (CentralOffset == kZip64Marker32 && zip64End_)
        return TByteReader(zip64End_->data(), zip64End_->size()).U64(Zip64End::kCentralOffset);
    return CentralOffset;
}

void TEndOfCentralDir::SetFromRebuild(uint64_t centralOffset, uint64_t totalEntries) {
    ThisDisk = 0;
    CentralDisk = 0;
    zip64End_.reset();
    const bool offsetFits = centralOffset < kZip64Marker32;
    const bool countFits = totalEntries < kZip64Marker16;
    CentralOffset = offsetFits ? static_cast<uint32_t>(centralOffset) : kZip64Marker32;
    TotalEntries = countFits ? static_cast<uint16_t>(totalEntries) : kZip64Marker16;
    EntriesThisDisk = TotalEntries;
    if (!offsetFits || !countFits) {
        zip64End_ = std::make_unique<std::array<uint8_t, kZip64EndReadSize>>();
        zip64End_->fill(0);
        PutU32(zip64End_->data(), kZip64EndSignature);
        PutU64(zip64End_->data() + Zip64End::kTotalEntries, totalEntries);
        PutU64(zip64End_->data() + Zip64End::kEntriesThisDisk, totalEntries);
        PutU64(zip64End_->data() + Zip64End::kCentralOffset, centralOffset);
    }
}

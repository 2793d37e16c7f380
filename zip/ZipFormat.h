#pragma once
#include <cstddef>
#include <cstdint>

// Every signature, record size, marker and method number of the ZIP format that the reader knows,
// from the ZIP application note (with the Zip64 extensions). Integers on disk are little-endian.
namespace ZipFormat {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndOfCentralSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndOfCentralSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndReadSize = 56; // the fixed part; the extensible data after it is not used
constexpr size_t kMaxCommentLength = 65535;
// The end record plus the longest comment it can carry: the whole area the backward search covers.
constexpr size_t kEndSearchSize = kEndOfCentralSize + kMaxCommentLength;

// Extra field records: a tag and a data size (u16 each), then the data.
constexpr size_t kExtraRecordHeaderSize = 4;
constexpr uint16_t kZip64ExtraTag = 0x0001;
// The Zip64 extended information as the entry keeps it: tag, size, uncompressed size, compressed
// size, local header offset, starting disk.
constexpr size_t kZip64ExtraRecordSize = 32;

// A 32-bit (or 16-bit) field holding this value means that the Zip64 record has the real value.
constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t kZip64Marker16 = 0xFFFF;

// General-purpose flag bits.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagImplode8KDictionary = 0x0002; // method 6
constexpr uint16_t kFlagImplodeLiteralTree = 0x0004;  // method 6
constexpr uint16_t kFlagDataDescriptor = 0x0008;

// The traditional encryption header before the member data.
constexpr size_t kEncryptionHeaderSize = 12;
// A data descriptor without its optional signature: CRC-32, compressed size, uncompressed size.
constexpr size_t kDataDescriptorSize = 16;

// Compression methods.
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodShrunk = 1;
constexpr uint16_t kMethodReduced1 = 2;
constexpr uint16_t kMethodReduced4 = 5;
constexpr uint16_t kMethodImploded = 6;
constexpr uint16_t kMethodDeflated = 8;

// High byte of "version made by": the host system. 0 is MS-DOS and OS/2 FAT, whose names are
// in the OEM code page.
constexpr uint16_t kHostMsDos = 0;

// Byte offsets inside the records.
namespace Eocd {
constexpr size_t kThisDisk = 4, kCentralDisk = 6, kEntriesThisDisk = 8, kTotalEntries = 10, kCentralSize = 12,
                 kCentralOffset = 16, kCommentLength = 20;
}
namespace Zip64Locator {
constexpr size_t kEndRecordDisk = 4, kEndRecordOffset = 8, kTotalDisks = 16;
}
namespace Zip64End {
constexpr size_t kRecordSize = 4, kVersionMadeBy = 12, kVersionNeeded = 14, kThisDisk = 16, kCentralDisk = 20,
                 kEntriesThisDisk = 24, kTotalEntries = 32, kCentralSize = 40, kCentralOffset = 48;
}
namespace Central {
constexpr size_t kVersionMadeBy = 4, kVersionNeeded = 6, kFlags = 8, kMethod = 10, kTime = 12, kDate = 14, kCrc = 16,
                 kCompressedSize = 20, kUncompressedSize = 24, kNameLength = 28, kExtraLength = 30, kCommentLength = 32,
                 kStartDisk = 34, kInternalAttributes = 36, kExternalAttributes = 38, kLocalHeaderOffset = 42;
}
namespace Local {
constexpr size_t kVersionNeeded = 4, kFlags = 6, kMethod = 8, kTime = 10, kDate = 12, kCrc = 14, kCompressedSize = 18,
                 kUncompressedSize = 22, kNameLength = 26, kExtraLength = 28;
}

} // namespace ZipFormat

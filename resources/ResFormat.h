#pragma once
// Record types, sizes and value types of Android's compiled resource formats (binary XML and the
// resource table), as the platform's ResourceTypes.h publishes them, and the common chunk header.
#include <cstdint>

#include "resources/ByteSpan.h"

namespace ResFormat {

// Chunk types.
constexpr uint16_t kNullType = 0x0000;
constexpr uint16_t kStringPoolType = 0x0001;
constexpr uint16_t kTableType = 0x0002;
constexpr uint16_t kXmlType = 0x0003;
constexpr uint16_t kXmlFirstChunkType = 0x0100;
constexpr uint16_t kXmlStartNamespaceType = 0x0100;
constexpr uint16_t kXmlEndNamespaceType = 0x0101;
constexpr uint16_t kXmlStartElementType = 0x0102;
constexpr uint16_t kXmlEndElementType = 0x0103;
constexpr uint16_t kXmlCdataType = 0x0104;
constexpr uint16_t kXmlLastChunkType = 0x017f;
constexpr uint16_t kXmlResourceMapType = 0x0180;
constexpr uint16_t kTablePackageType = 0x0200;
constexpr uint16_t kTableTypeType = 0x0201;
constexpr uint16_t kTableTypeSpecType = 0x0202;
constexpr uint16_t kTableLibraryType = 0x0203;

// Fixed record sizes.
constexpr uint32_t kChunkHeaderSize = 8;
constexpr uint32_t kStringPoolHeaderSize = 28;
constexpr uint32_t kXmlNodeHeaderSize = 16; // chunk header, line number, comment
constexpr uint32_t kXmlNamespaceExtSize = 8;
constexpr uint32_t kXmlAttrExtSize = 20;
constexpr uint32_t kXmlEndElementExtSize = 8;
constexpr uint32_t kXmlCdataExtSize = 12;
constexpr uint32_t kXmlAttributeSize = 20;
constexpr uint32_t kTableHeaderSize = 12;
constexpr uint32_t kPackageHeaderMinSize = 284; // without the late typeIdOffset field
constexpr uint32_t kTypeSpecHeaderSize = 16;
constexpr uint32_t kTypeHeaderMinSize = 24; // up to and including the configuration's size field
constexpr uint32_t kTypeConfigOffset = 20;
constexpr uint32_t kEntryHeaderSize = 8;
constexpr uint32_t kValueSize = 8;
constexpr uint32_t kMapEntryHeaderSize = 16;
constexpr uint32_t kMapSize = 12;

// String pool flags.
constexpr uint32_t kSortedFlag = 1u << 0;
constexpr uint32_t kUtf8Flag = 1u << 8;

// Type chunk flags and entry flags.
constexpr uint8_t kTypeFlagSparse = 0x01;
constexpr uint8_t kTypeFlagOffset16 = 0x02;
constexpr uint32_t kNoEntry = 0xFFFFFFFFu;
constexpr uint16_t kNoEntry16 = 0xFFFF;
constexpr uint16_t kEntryFlagComplex = 0x0001;
constexpr uint16_t kEntryFlagCompact = 0x0008;

// Value types.
constexpr uint8_t kTypeNull = 0x00;
constexpr uint8_t kTypeReference = 0x01;
constexpr uint8_t kTypeAttribute = 0x02;
constexpr uint8_t kTypeString = 0x03;
constexpr uint8_t kTypeDynamicReference = 0x07;
constexpr uint8_t kTypeDynamicAttribute = 0x08;
constexpr uint8_t kTypeFirstInt = 0x10;
constexpr uint8_t kTypeLastInt = 0x1f;

constexpr uint32_t kNoIndex = 0xFFFFFFFFu;

} // namespace ResFormat

// A typed value as the formats store it.
struct TResValue {
    uint8_t dataType = ResFormat::kTypeNull;
    uint32_t data = 0;
};

struct TChunkHeader {
    uint16_t type = 0;
    uint16_t headerSize = 0;
    uint32_t size = 0;
};

// Reads the 8-byte header at offset; false when it is not all inside the span.
inline bool ReadChunkHeader(const TByteSpan& span, size_t offset, TChunkHeader& out) {
    return span.U16(offset, out.type) && span.U16(offset + 2, out.headerSize) && span.U32(offset + 4, out.size);
}

// The platform's sanity rule for a chunk with available bytes left from its start: a header of at
// least minHeaderSize, a size that holds the header and fits, both multiples of four.
inline bool ChunkIsSound(const TChunkHeader& header, size_t minHeaderSize, size_t available) {
    return header.headerSize >= minHeaderSize && header.headerSize <= header.size &&
           ((header.headerSize | header.size) & 3u) == 0 && header.size <= available;
}

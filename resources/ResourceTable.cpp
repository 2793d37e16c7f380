#include "resources/ResourceTable.h"

#include <map>
#include <set>

using namespace ResFormat;

bool TResourceTable::Load(const TByteSpan& data) {
    *this = TResourceTable();
    TChunkHeader header;
    if (!ReadChunkHeader(data, 0, header) || header.headerSize > header.size || header.size > data.Size() ||
        ((header.headerSize | header.size) & 3u) != 0 || header.headerSize < kTableHeaderSize) {
        *this = TResourceTable();
        return false;
    }
    const TByteSpan table = data.Sub(0, header.size);
    const uint32_t declaredPackages = table.U32Or0(8);
    size_t packages = 0;
    bool haveValues = false;
    size_t offset = header.headerSize;
    for (;;) {
        // Like the platform, stop quietly where the rest can't hold the next chunk.
        TChunkHeader chunk;
        if (uint64_t(offset) + kChunkHeaderSize > table.Size() || !ReadChunkHeader(table, offset, chunk) ||
            uint64_t(offset) + chunk.size > table.Size())
            break;
        if (!ChunkIsSound(chunk, kChunkHeaderSize, table.Size() - offset)) {
            *this = TResourceTable();
            return false;
        }
        if (chunk.type == kStringPoolType) {
            if (!haveValues) { // only the first pool counts
                if (!values_.Load(table.From(offset))) {
                    *this = TResourceTable();
                    return false;
                }
                haveValues = true;
            }
        } else if (chunk.type == kTablePackageType) {
            if (packages >= declaredPackages || packages >= kMaxPackages ||
                !LoadPackage(table, offset, chunk, packages)) {
                *this = TResourceTable();
                return false;
            }
            ++packages;
        }
        offset += chunk.size; // other chunk types are skipped by their size
    }
    if (packages < declaredPackages || !haveValues) {
        *this = TResourceTable();
        return false;
    }
    return true;
}

bool TResourceTable::LoadPackage(const TByteSpan& table, size_t offset, const TChunkHeader& header,
                                 size_t packageIndex) {
    if (!ChunkIsSound(header, kPackageHeaderMinSize, table.Size() - offset))
        return false;
    const TByteSpan package = table.Sub(offset, header.size);
    const uint32_t id = package.U32Or0(8);
    const uint32_t typeStrings = package.U32Or0(268);
    const uint32_t keyStrings = package.U32Or0(276);
    if (id >= 256 || typeStrings >= header.size || (typeStrings & 3u) != 0 || keyStrings >= header.size ||
        (keyStrings & 3u) != 0)
        return false;
    // The name pools are not needed for a lookup by id, but a table with broken ones is broken.
    for (uint32_t poolOffset : {typeStrings, keyStrings}) {
        auto pool = std::make_unique<TStringPool>();
        if (!pool->Load(table.From(offset + poolOffset)))
            return false;
        packagePools_.push_back(std::move(pool));
    }
    if (groupOf_[id] == 0) {
        auto group = std::make_unique<TPackageGroup>();
        group->id = id;
        groups_.push_back(std::move(group));
        groupOf_[id] = static_cast<uint8_t>(groups_.size());
    }
    TPackageGroup& group = *groups_[groupOf_[id] - 1];

    size_t pos = header.headerSize;
    for (;;) {
        TChunkHeader chunk;
        if (uint64_t(pos) + kChunkHeaderSize > package.Size() || !ReadChunkHeader(package, pos, chunk) ||
            uint64_t(pos) + chunk.size > package.Size())
            break;
        const size_t available = package.Size() - pos;
        if (chunk.type == kTableTypeSpecType) {
            if (!ChunkIsSound(chunk, kTypeSpecHeaderSize, available))
                return false;
            const uint8_t typeId = package.U8Or0(pos + 8);
            const uint32_t entryCount = package.U32Or0(pos + 12);
            if (chunk.headerSize + uint64_t(entryCount) * 4 > chunk.size || typeId == 0)
                return false;
            if (entryCount > 0) {
                std::vector<TType>& list = group.types[typeId - 1];
                // A second package in the group that disagrees about the type's size is left out.
                if (list.empty() || list.front().entryCount == entryCount) {
                    TType type;
                    type.packageIndex = packageIndex;
                    type.entryCount = entryCount;
                    list.push_back(std::move(type));
                }
            }
        } else if (chunk.type == kTableTypeType) {
            if (!ChunkIsSound(chunk, kTypeHeaderMinSize, available))
                return false;
            const uint8_t typeId = package.U8Or0(pos + 8);
            const uint8_t flags = package.U8Or0(pos + 9);
            const uint32_t entryCount = package.U32Or0(pos + 12);
            const uint32_t entriesStart = package.U32Or0(pos + 16);
            const uint64_t indexSize = (flags & kTypeFlagOffset16) ? 2 : 4;
            if (chunk.headerSize + uint64_t(entryCount) * indexSize > chunk.size)
                return false;
            if (entryCount != 0 && uint64_t(entriesStart) > uint64_t(chunk.size) - kEntryHeaderSize)
                return false;
            if (typeId == 0)
                return false;
            if (entryCount > 0) {
                std::vector<TType>& list = group.types[typeId - 1];
                if (list.empty() || list.back().packageIndex != packageIndex)
                    return false; // no type-flags chunk for this type in this package
                if (++typeChunks_ > kMaxTypeChunks)
                    return false;
                TTypeChunk type;
                type.chunk = package.Sub(pos, chunk.size);
                type.config = TResConfig::Read(type.chunk.Sub(kTypeConfigOffset, chunk.headerSize - kTypeConfigOffset));
                type.flags = flags;
                type.entryCount = entryCount;
                type.entriesStart = entriesStart;
                type.headerSize = chunk.headerSize;
                list.back().configs.push_back(type);
            }
        } else if (chunk.type == kTableLibraryType) {
            // Shared-library references: checked for size only, as no lookup here crosses packages.
            if (!ChunkIsSound(chunk, 12, available) ||
                uint64_t(package.U32Or0(pos + 8)) * 260 > uint64_t(chunk.size) - chunk.headerSize)
                return false;
        } else if (!ChunkIsSound(chunk, kChunkHeaderSize, available)) {
            return false; // unknown chunks are skipped by their size, but it must be sound
        }
        pos += chunk.size;
    }
    return true;
}

TResourceTable::TLookup TResourceTable::ReadEntry(const TTypeChunk& type, uint32_t offset, TResValue& value) const {
    const uint64_t at = uint64_t(type.entriesStart) + offset;
    if (at > uint64_t(type.chunk.Size()) - kEntryHeaderSize || (at & 3u) != 0)
        return TLookup::Unusable;
    const size_t entry = static_cast<size_t>(at);
    const uint16_t size = type.chunk.U16Or0(entry);
    const uint16_t flags = type.chunk.U16Or0(entry + 2);
    if (flags & kEntryFlagCompact) {
        // A compact entry keeps its value type in the flags' high byte and its data in place.
        value.dataType = static_cast<uint8_t>(flags >> 8);
        value.data = type.chunk.U32Or0(entry + 4);
        NormalizeDynamic(value);
        return TLookup::Found;
    }
    if (size < kEntryHeaderSize)
        return TLookup::Unusable;
    if (flags & kEntryFlagComplex)
        return TLookup::Unusable; // a bag (style, array, plurals): no single value
    uint8_t dataType = 0;
    uint32_t data = 0;
    if (!type.chunk.U8(entry + size + 3, dataType) || !type.chunk.U32(entry + size + 4, data))
        return TLookup::Unusable;
    value.dataType = dataType;
    value.data = data;
    NormalizeDynamic(value);
    return TLookup::Found;
}

TResourceTable::TLookup TResourceTable::GetValue(uint32_t resId, const TResConfig& request, TResValue& value) const {
    const uint32_t packageId = resId >> 24;
    const uint32_t typeId = (resId >> 16) & 0xFF;
    const uint32_t entryIndex = resId & 0xFFFF;
    if (groupOf_[packageId] == 0 || typeId == 0)
        return TLookup::Missing;
    const TPackageGroup& group = *groups_[groupOf_[packageId] - 1];
    const std::vector<TType>& types = group.types[typeId - 1];
    if (types.empty())
        return TLookup::Unusable;

    const TTypeChunk* best = nullptr;
    uint32_t bestOffset = kNoEntry;
    for (const TType& type : types) {
        if (entryIndex >= type.entryCount)
            continue;
        work_ += type.configs.size();
        if (Exhausted())
            return TLookup::Missing;
        for (const TTypeChunk& chunk : type.configs) {
            if (!chunk.config.Match(request))
                continue;
            uint32_t offset = kNoEntry;
            if (chunk.flags & kTypeFlagSparse) {
                // Sorted (index, offset / 4) pairs: binary search.
                uint32_t low = 0;
                uint32_t high = chunk.entryCount;
                while (low < high) {
                    const uint32_t mid = low + (high - low) / 2;
                    const uint16_t index = chunk.chunk.U16Or0(chunk.headerSize + size_t(mid) * 4);
                    if (index < entryIndex)
                        low = mid + 1;
                    else
                        high = mid;
                }
                if (low < chunk.entryCount && chunk.chunk.U16Or0(chunk.headerSize + size_t(low) * 4) == entryIndex)
                    offset = uint32_t(chunk.chunk.U16Or0(chunk.headerSize + size_t(low) * 4 + 2)) * 4;
            } else if (chunk.flags & kTypeFlagOffset16) {
                if (entryIndex < chunk.entryCount) {
                    const uint16_t stored = chunk.chunk.U16Or0(chunk.headerSize + size_t(entryIndex) * 2);
                    if (stored != kNoEntry16)
                        offset = uint32_t(stored) * 4;
                }
            } else if (entryIndex < chunk.entryCount) {
                offset = chunk.chunk.U32Or0(chunk.headerSize + size_t(entryIndex) * 4);
            }
            if (offset == kNoEntry)
                continue;
            if (best != nullptr && !chunk.config.IsBetterThan(best->config, request))
                continue;
            best = &chunk;
            bestOffset = offset;
        }
    }
    if (best == nullptr)
        return TLookup::Missing;
    return ReadEntry(*best, bestOffset, value);
}

bool TResourceTable::ResolveReference(TResValue& value, const TResConfig& request) const {
    for (int step = 0; step < kMaxReferenceChain; ++step) {
        if (value.dataType != kTypeReference || value.data == 0)
            break;
        TResValue next;
        const TLookup found = GetValue(value.data, request, next);
        if (found == TLookup::Missing)
            return false;
        if (found == TLookup::Unusable)
            break;
        value = next;
    }
    return true;
}

std::vector<TResourceTable::TLocale> TResourceTable::Locales() const {
    std::map<std::string, TResConfig> tags;
    for (const auto& group : groups_) {
        for (const auto& types : group->types) {
            for (const TType& type : types) {
                for (const TTypeChunk& chunk : type.configs) {
                    std::string tag = chunk.config.Bcp47Locale();
                    if (tags.find(tag) == tags.end() && tags.size() < kMaxLocales) {
                        TResConfig request;
                        request.SetLocaleFrom(chunk.config);
                        tags.emplace(std::move(tag), request);
                    }
                }
            }
        }
    }
    std::vector<TLocale> locales;
    locales.reserve(tags.size());
    for (auto& item : tags)
        locales.push_back(TLocale{item.first, item.second});
    return locales;
}

std::vector<int> TResourceTable::Densities() const {
    std::set<int> densities;
    for (const auto& group : groups_) {
        for (const auto& types : group->types) {
            for (const TType& type : types) {
                for (const TTypeChunk& chunk : type.configs) {
                    const int density = chunk.config.density == 0 ? TResConfig::kDensityMedium : chunk.config.density;
                    if (densities.size() < kMaxDensities)
                        densities.insert(density);
                }
            }
        }
    }
    return std::vector<int>(densities.begin(), densities.end());
}

void TResourceTable::NormalizeDynamic(TResValue& value) const {
    if (value.dataType != kTypeDynamicReference && value.dataType != kTypeDynamicAttribute)
        return;
    uint32_t package = value.data >> 24;
    if (package == 0 && !groups_.empty())
        package = groups_.front()->id; // a library's own resources: the package it was loaded as
    else if (package != 0x01 && package != 0x7F)
        return; // another library: no map to go by
    value.data = (package << 24) | (value.data & 0x00FFFFFFu);
    value.dataType = value.dataType == kTypeDynamicReference ? kTypeReference : kTypeAttribute;
}

#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resources/ByteSpan.h"
#include "resources/ResConfig.h"
#include "resources/ResFormat.h"
#include "resources/StringPool.h"

// The resource table (resources.arsc): packages, their types with one chunk per configuration,
// and the lookup of a resource id for a requested configuration the way the platform picks the
// variant. Load checks the layout of every chunk header up front; entries are checked when looked
// up, so one damaged entry only spoils that resource.
class TResourceTable {
public:
    // The longest chain of references that is followed; a longer one (or a loop) stays unresolved.
    static constexpr int kMaxReferenceChain = 20;
    // Caps against absurd tables, far above real ones (framework-res.apk: 1 package, 3857
    // configuration chunks, 141 locales, 8 densities).
    static constexpr size_t kMaxPackages = 256;
    static constexpr size_t kMaxTypeChunks = 65536;
    static constexpr size_t kMaxLocales = 1024;
    static constexpr size_t kMaxDensities = 64;
    // Configuration chunks examined over all lookups: a lookup scans every chunk of its type, so a
    // crafted table with a manifest full of lookups would otherwise take hours. Real packages stay
    // below a million.
    static constexpr uint64_t kMaxLookupWork = 50000000;

    // The bytes must outlive the table. False when the table is not sound; the table is then empty.
    bool Load(const TByteSpan& data);

    enum class TLookup {
        Found,
        Missing,  // no such package or type, or no variant for the configuration
        Unusable, // the entry is complex (a bag), damaged, or its type has no type-flags chunk
    };
    // The value of resource id for the request.
    TLookup GetValue(uint32_t resId, const TResConfig& request, TResValue& value) const;

    // Follows value while it is a reference, at most kMaxReferenceChain steps. False when a step
    // found nothing (value then holds the last reference); true otherwise, even when value is
    // still a reference (loop, bag, damaged entry).
    bool ResolveReference(TResValue& value, const TResConfig& request) const;

    // True once the lookups have examined kMaxLookupWork chunks; later lookups find nothing.
    bool Exhausted() const { return work_ > kMaxLookupWork; }

    // A string of the table's value pool, or null.
    const std::string* ValueString(uint32_t index) const { return values_.StringAt(index); }

    // Every locale that some configuration of the table has, as a BCP 47 tag ("" for none) with the
    // locale part of a request for it; sorted by tag, each once, at most kMaxLocales.
    struct TLocale {
        std::string tag;
        TResConfig request;
    };
    std::vector<TLocale> Locales() const;
    // Every density that some configuration has (0 counted as 160), sorted, each once, at most
    // kMaxDensities.
    std::vector<int> Densities() const;

    // Turns a reference the packager marked as dynamic (shared libraries) into a plain one where the
    // package is known without a library map.
    void NormalizeDynamic(TResValue& value) const;

private:
    struct TTypeChunk {
        TByteSpan chunk;
        TResConfig config;
        uint8_t flags = 0;
        uint32_t entryCount = 0;
        uint32_t entriesStart = 0;
        uint16_t headerSize = 0;
    };
    struct TType {
        size_t packageIndex = 0;
        uint32_t entryCount = 0;
        std::vector<TTypeChunk> configs;
    };
    struct TPackageGroup {
        uint32_t id = 0;
        std::array<std::vector<TType>, 256> types; // by type id - 1
    };

    bool LoadPackage(const TByteSpan& table, size_t offset, const TChunkHeader& header, size_t packageIndex);
    TLookup ReadEntry(const TTypeChunk& type, uint32_t offset, TResValue& value) const;

    TStringPool values_;
    std::vector<std::unique_ptr<TStringPool>> packagePools_; // type and key names, checked only
    std::vector<std::unique_ptr<TPackageGroup>> groups_;
    std::array<uint8_t, 256> groupOf_{}; // package id -> group index + 1
    size_t typeChunks_ = 0;
    mutable uint64_t work_ = 0;
};

#pragma once
// Shared pieces of the aapt tests: the corpus packages that the build makes with Debian's aapt,
// and small writers of resource chunks for the encodings no Debian tool produces (offset-16 and
// compact entries) and for damage that must be placed exactly.
#include <doctest/doctest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "resources/ByteSpan.h"
#include "PackageFile.h"
#include "TestPaths.h"

using TBytes = std::vector<uint8_t>;

inline std::string CorpusPackage(const std::string& name) {
    return TestPath(std::string(VARNEL_AAPT_CORPUS) + "/" + name + ".apk");
}

// A member of a corpus package; the test stops when it is missing.
inline TBytes CorpusMember(const std::string& package, const char* member) {
    TBytes bytes;
    const std::string what = package + ": " + member;
    INFO(what);
    REQUIRE(ReadPackageMember(CorpusPackage(package), member, bytes));
    return bytes;
}

inline TByteSpan SpanOf(const TBytes& bytes) {
    return TByteSpan(bytes.data(), bytes.size());
}

inline void Put16(TBytes& out, size_t at, uint32_t value) {
    out[at] = uint8_t(value);
    out[at + 1] = uint8_t(value >> 8);
}
inline void Put32(TBytes& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(value >> (8 * i));
}
inline void Add16(TBytes& out, uint32_t value) {
    out.resize(out.size() + 2);
    Put16(out, out.size() - 2, value);
}
inline void Add32(TBytes& out, uint32_t value) {
    out.resize(out.size() + 4);
    Put32(out, out.size() - 4, value);
}
inline void Pad4(TBytes& out) {
    while (out.size() % 4)
        out.push_back(0);
}

// A string pool chunk. UTF-8 strings are given as UTF-8 bytes with the UTF-16 length to store;
// UTF-16 ones as units.
struct TPoolWriter {
    bool utf8 = true;
    std::vector<TBytes> data; // each string's encoded bytes including lengths and terminator

    void AddUtf8(const std::string& text, size_t utf16Length) {
        TBytes s;
        for (size_t length : {utf16Length, text.size()}) {
            if (length > 0x7F) {
                s.push_back(uint8_t(0x80 | ((length >> 8) & 0x7F)));
                s.push_back(uint8_t(length));
            } else {
                s.push_back(uint8_t(length));
            }
        }
        s.insert(s.end(), text.begin(), text.end());
        s.push_back(0);
        data.push_back(s);
    }
    void AddUtf16(const std::u16string& text) {
        TBytes s;
        if (text.size() > 0x7FFF) {
            Add16(s, 0x8000 | uint32_t(text.size() >> 16));
            Add16(s, uint32_t(text.size() & 0xFFFF));
        } else {
            Add16(s, uint32_t(text.size()));
        }
        for (char16_t unit : text)
            Add16(s, unit);
        Add16(s, 0);
        data.push_back(s);
    }
    TBytes Bytes() const {
        TBytes out;
        Add16(out, 0x0001);
        Add16(out, 28);
        Add32(out, 0); // size, below
        Add32(out, uint32_t(data.size()));
        Add32(out, 0);
        Add32(out, utf8 ? 0x100 : 0);
        Add32(out, uint32_t(28 + 4 * data.size()));
        Add32(out, 0);
        uint32_t offset = 0;
        for (const TBytes& s : data) {
            Add32(out, offset);
            offset += uint32_t(s.size());
        }
        for (const TBytes& s : data)
            out.insert(out.end(), s.begin(), s.end());
        Pad4(out);
        Put32(out, 4, uint32_t(out.size()));
        return out;
    }
};

// A one-package resource table (package 0x7f) with types added chunk by chunk. Entries are given
// as (entry index, value type, data); each type chunk is written in the requested encoding.
struct TTableWriter {
    enum class TEncoding { Dense, Sparse, Offset16 };
    struct TEntry {
        uint32_t index;
        uint8_t type;
        uint32_t data;
        bool complex = false;
        bool compact = false;
    };
    TBytes values; // the value string pool
    TBytes chunks; // type-flags and type chunks

    void TypeSpec(uint8_t typeId, uint32_t entryCount) {
        const size_t at = chunks.size();
        Add16(chunks, 0x0202);
        Add16(chunks, 16);
        Add32(chunks, 16 + 4 * entryCount);
        chunks.push_back(typeId);
        chunks.push_back(0);
        Add16(chunks, 0);
        Add32(chunks, entryCount);
        for (uint32_t i = 0; i < entryCount; ++i)
            Add32(chunks, 0);
        (void)at;
    }

    // config: the bytes of a configuration record after its size field (up to 60 bytes).
    void Type(uint8_t typeId, uint32_t entryCount, const TBytes& config, const std::vector<TEntry>& entries,
              TEncoding encoding = TEncoding::Dense) {
        TBytes body; // the entries
        std::vector<std::pair<uint32_t, uint32_t>> offsets;
        for (const TEntry& e : entries) {
            offsets.push_back({e.index, uint32_t(body.size())});
            if (e.compact) {
                Add16(body, 0);                                // key index
                Add16(body, 0x0008 | (uint32_t(e.type) << 8)); // compact, type in the high byte
                Add32(body, e.data);
            } else if (e.complex) {
                Add16(body, 16);
                Add16(body, 0x0001);
                Add32(body, 0);
                Add32(body, 0); // parent
                Add32(body, 1); // one map item
                Add32(body, 0x01010001);
                Add16(body, 8);
                body.push_back(0);
                body.push_back(e.type);
                Add32(body, e.data);
            } else {
                Add16(body, 8);
                Add16(body, 0);
                Add32(body, 0);
                Add16(body, 8);
                body.push_back(0);
                body.push_back(e.type);
                Add32(body, e.data);
            }
        }
        TBytes index;
        if (encoding == TEncoding::Sparse) {
            for (const auto& o : offsets) {
                Add16(index, o.first);
                Add16(index, o.second / 4);
            }
        } else {
            for (uint32_t i = 0; i < entryCount; ++i) {
                uint32_t offset = encoding == TEncoding::Offset16 ? 0xFFFF : 0xFFFFFFFF;
                for (const auto& o : offsets) {
                    if (o.first == i)
                        offset = encoding == TEncoding::Offset16 ? o.second / 4 : o.second;
                }
                if (encoding == TEncoding::Offset16)
                    Add16(index, offset);
                else
                    Add32(index, offset);
            }
            Pad4(index);
        }
        const uint32_t configSize = 64;
        const uint32_t headerSize = 20 + configSize;
        const uint32_t count = encoding == TEncoding::Sparse ? uint32_t(offsets.size()) : entryCount;
        Add16(chunks, 0x0201);
        Add16(chunks, headerSize);
        Add32(chunks, uint32_t(headerSize + index.size() + body.size()));
        chunks.push_back(typeId);
        chunks.push_back(encoding == TEncoding::Sparse ? 1 : encoding == TEncoding::Offset16 ? 2 : 0);
        Add16(chunks, 0);
        Add32(chunks, count);
        Add32(chunks, uint32_t(headerSize + index.size()));
        Add32(chunks, configSize);
        TBytes record = config;
        record.resize(configSize - 4, 0);
        chunks.insert(chunks.end(), record.begin(), record.end());
        chunks.insert(chunks.end(), index.begin(), index.end());
        chunks.insert(chunks.end(), body.begin(), body.end());
    }

    TBytes Bytes() const {
        TPoolWriter names;
        names.AddUtf8("t", 1);
        const TBytes namePool = names.Bytes();
        TBytes package;
        Add16(package, 0x0200);
        Add16(package, 288);
        Add32(package, 0); // size, below
        Add32(package, 0x7f);
        package.resize(package.size() + 256, 0); // name
        Add32(package, 288);                     // type names
        Add32(package, 0);
        Add32(package, uint32_t(288 + namePool.size())); // key names
        Add32(package, 0);
        Add32(package, 0);
        package.insert(package.end(), namePool.begin(), namePool.end());
        package.insert(package.end(), namePool.begin(), namePool.end());
        package.insert(package.end(), chunks.begin(), chunks.end());
        Put32(package, 4, uint32_t(package.size()));
        TBytes table;
        Add16(table, 0x0002);
        Add16(table, 12);
        Add32(table, uint32_t(12 + values.size() + package.size()));
        Add32(table, 1);
        table.insert(table.end(), values.begin(), values.end());
        table.insert(table.end(), package.begin(), package.end());
        return table;
    }
};

// A configuration record (without its size field) with some bytes set, by their offsets in the
// whole record: 8/9 language, 10/11 country, 14/15 density, 24/25 SDK version.
inline TBytes ConfigRecord(const std::vector<std::pair<size_t, uint8_t>>& bytes) {
    TBytes record(60, 0);
    for (const auto& b : bytes)
        record[b.first - 4] = b.second;
    return record;
}

// The resource table: what tables made by the packager list, the entry encodings of hand-made
// tables (offset-16 and compact entries, which no Debian tool writes), reference chains, broken
// structure, and tables cut or changed byte by byte. Lookups in real tables are checked through
// the badging of the whole corpus (BadgingTests.cpp).
#include "AaptTestSupport.h"
#include "resources/ResourceTable.h"

namespace {

std::string Resolve(const TResourceTable& table, uint32_t id, const TResConfig& request) {
    TResValue value;
    value.dataType = 0x01;
    value.data = id;
    if (!table.ResolveReference(value, request))
        return "<missing>";
    if (value.dataType != 0x03)
        return "<type " + std::to_string(value.dataType) + ">";
    const std::string* text = table.ValueString(value.data);
    return text ? *text : "<bad string>";
}

} // namespace

TEST_CASE("the table lists its locales and densities") {
    const TBytes densityBytes = CorpusMember("densities", "resources.arsc");
    TResourceTable densities;
    REQUIRE(densities.Load(SpanOf(densityBytes)));
    CHECK(densities.Densities() == std::vector<int>{120, 160, 213, 240, 280, 320, 400, 480, 640, 65534, 65535});

    const TBytes fullBytes = CorpusMember("full", "resources.arsc");
    TResourceTable full;
    REQUIRE(full.Load(SpanOf(fullBytes)));
    std::vector<std::string> tags;
    for (const auto& locale : full.Locales())
        tags.push_back(locale.tag);
    const std::vector<std::string> expected = {"",   "ar",    "de",    "en-GB", "es",      "es-419", "fr",
                                               "ja", "pt-BR", "pt-PT", "sr",    "sr-Latn", "zh-CN",  "zh-TW"};
    CHECK(tags == expected);
}

TEST_CASE("every entry encoding is read") {
    using TEncoding = TTableWriter::TEncoding;
    struct TCase {
        const char* name;
        TEncoding encoding;
        bool compact;
    };
    const TCase cases[] = {
        {"dense", TEncoding::Dense, false},
        {"sparse", TEncoding::Sparse, false},
        {"offset-16", TEncoding::Offset16, false},
        {"compact entries", TEncoding::Dense, true},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.name);
        TTableWriter writer;
        TPoolWriter values;
        values.AddUtf8("default", 7);
        values.AddUtf8("french", 6);
        writer.values = values.Bytes();
        writer.TypeSpec(1, 6);
        // Entry 0: a string; 2: an integer; 4: a string only in French; 5: missing everywhere.
        writer.Type(1, 6, ConfigRecord({}), {{0, 0x03, 0, false, c.compact}, {2, 0x10, 42, false, c.compact}},
                    c.encoding);
        writer.Type(1, 6, ConfigRecord({{8, 'f'}, {9, 'r'}}),
                    {{0, 0x03, 1, false, c.compact}, {4, 0x03, 1, false, c.compact}}, c.encoding);
        const TBytes bytes = writer.Bytes();
        TResourceTable table;
        REQUIRE(table.Load(SpanOf(bytes)));
        TResConfig plain;
        TResConfig french;
        french.language[0] = 'f';
        french.language[1] = 'r';
        TResValue value;
        REQUIRE(table.GetValue(0x7f010000, plain, value) == TResourceTable::TLookup::Found);
        CHECK(*table.ValueString(value.data) == "default");
        REQUIRE(table.GetValue(0x7f010000, french, value) == TResourceTable::TLookup::Found);
        CHECK(*table.ValueString(value.data) == "french");
        REQUIRE(table.GetValue(0x7f010002, french, value) == TResourceTable::TLookup::Found);
        CHECK(value.dataType == 0x10);
        CHECK(value.data == 42);
        CHECK(table.GetValue(0x7f010004, plain, value) == TResourceTable::TLookup::Missing);
        CHECK(table.GetValue(0x7f010004, french, value) == TResourceTable::TLookup::Found);
        CHECK(table.GetValue(0x7f010005, french, value) == TResourceTable::TLookup::Missing);
        CHECK(table.GetValue(0x7f010006, french, value) == TResourceTable::TLookup::Missing);  // past the end
        CHECK(table.GetValue(0x7f020000, french, value) == TResourceTable::TLookup::Unusable); // no such type
        CHECK(table.GetValue(0x7e010000, french, value) == TResourceTable::TLookup::Missing);  // no such package
    }
}

TEST_CASE("references are followed to their end, within a bound") {
    TTableWriter writer;
    TPoolWriter values;
    values.AddUtf8("the end", 7);
    writer.values = values.Bytes();
    writer.TypeSpec(1, 8);
    writer.Type(1, 8, ConfigRecord({}),
                {
                    {0, 0x01, 0x7f010001}, // 0 -> 1 -> 2: a string
                    {1, 0x01, 0x7f010002},
                    {2, 0x03, 0},
                    {3, 0x01, 0x7f010004}, // 3 -> 4 -> 3: a loop
                    {4, 0x01, 0x7f010003},
                    {5, 0x01, 0x7f010007},       // to an entry that is nowhere
                    {6, 0x01, 0x7f010002, true}, // a bag is not a value
                    {7, 0x01, 0x05050505},       // to a package that is not here
                });
    const TBytes bytes = writer.Bytes();
    TResourceTable table;
    REQUIRE(table.Load(SpanOf(bytes)));
    const TResConfig request;
    CHECK(Resolve(table, 0x7f010000, request) == "the end");
    CHECK(Resolve(table, 0x7f010003, request) == "<type 1>");
    CHECK(Resolve(table, 0x7f010005, request) == "<missing>");
    CHECK(Resolve(table, 0x7f010006, request) == "<type 1>");
    CHECK(Resolve(table, 0x7f010007, request) == "<missing>");
    // A chain of exactly the bound ends on its value; one step longer stays a reference.
    TTableWriter longWriter;
    longWriter.values = values.Bytes();
    longWriter.TypeSpec(1, 24);
    std::vector<TTableWriter::TEntry> chain;
    for (uint32_t i = 0; i < 23; ++i)
        chain.push_back({i, 0x01, 0x7f010000 + i + 1});
    chain.push_back({23, 0x03, 0});
    longWriter.Type(1, 24, ConfigRecord({}), chain);
    const TBytes longBytes = longWriter.Bytes();
    TResourceTable longTable;
    REQUIRE(longTable.Load(SpanOf(longBytes)));
    CHECK(Resolve(longTable, 0x7f010000 + 24 - TResourceTable::kMaxReferenceChain, request) == "the end");
    CHECK(Resolve(longTable, 0x7f010000 + 23 - TResourceTable::kMaxReferenceChain, request) == "<type 1>");
}

TEST_CASE("tables with broken structure are refused") {
    struct TCase {
        const char* name;
        size_t offset; // into the package chunk's first type-flags chunk, or the table when below 12
        uint32_t value;
        int width;
        bool loads;
    };
    TTableWriter writer;
    TPoolWriter values;
    values.AddUtf8("v", 1);
    writer.values = values.Bytes();
    writer.TypeSpec(1, 2);
    writer.Type(1, 2, ConfigRecord({}), {{0, 0x03, 0}});
    const TBytes good = writer.Bytes();
    const size_t package = 12 + writer.values.size();
    // Offsets of the type-flags and type chunks inside the built table.
    size_t typeSpec = 0;
    size_t type = 0;
    for (size_t at = package + 288; at + 8 <= good.size();) {
        const uint16_t kind = uint16_t(good[at] | (good[at + 1] << 8));
        if (kind == 0x0202)
            typeSpec = at;
        if (kind == 0x0201)
            type = at;
        at += good[at + 4] | (good[at + 5] << 8) | (good[at + 6] << 16);
    }
    REQUIRE(typeSpec > 0);
    REQUIRE(type > 0);
    const TCase cases[] = {
        {"intact", 0, 0, 0, true},
        {"two packages declared, one there", 8, 2, 32, false},
        {"table size past the data", 4, uint32_t(good.size() + 4), 32, false},
        {"package id out of range", package + 8, 0x1234, 32, false},
        {"type names past the package", package + 268, 0x00FFFFFF, 32, false},
        {"type-flags chunk with id 0", typeSpec + 8, 0, 8, false},
        {"type-flags count past its chunk", typeSpec + 12, 0x40000000, 32, false},
        {"type with id 0", type + 8, 0, 8, false},
        {"type without a type-flags chunk", type + 8, 9, 8, false},
        {"type count past its chunk", type + 12, 0x40000000, 32, false},
        {"type entries start past its chunk", type + 16, 0x7FFFFFF0, 32, false},
        {"type chunk size not a multiple of four", type + 4, 0x46, 32, false},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.name);
        TBytes bytes = good;
        if (c.width == 8)
            bytes[c.offset] = uint8_t(c.value);
        else if (c.width == 32)
            Put32(bytes, c.offset, c.value);
        TResourceTable table;
        CHECK(table.Load(SpanOf(bytes)) == c.loads);
    }
}

TEST_CASE("a table cut at any length or changed at any byte is read without harm") {
    const TBytes original = CorpusMember("nolabel", "resources.arsc");
    auto exercise = [](const TBytes& bytes) {
        TResourceTable table;
        if (!table.Load(SpanOf(bytes)))
            return false;
        for (const auto& locale : table.Locales()) {
            TResConfig request;
            request.SetLocaleFrom(locale.request);
            for (uint32_t type = 1; type <= 4; ++type) {
                for (uint32_t entry = 0; entry < 4; ++entry) {
                    TResValue value;
                    value.dataType = 0x01;
                    value.data = 0x7f000000 | (type << 16) | entry;
                    table.ResolveReference(value, request);
                    if (value.dataType == 0x03)
                        table.ValueString(value.data);
                }
            }
        }
        table.Densities();
        return true;
    };
    REQUIRE(exercise(original));
    for (size_t length = 0; length < original.size(); ++length) {
        CAPTURE(length);
        CHECK_FALSE(exercise(TBytes(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(length))));
    }
    for (size_t pos = 0; pos < original.size(); ++pos) {
        for (uint8_t change : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
            TBytes damaged = original;
            damaged[pos] ^= change;
            exercise(damaged);
        }
    }
}

TEST_CASE("absurd tables are capped: locales, densities, and the work of all lookups") {
    // 2000 configurations of one type, each with its own locale and density.
    TTableWriter writer;
    TPoolWriter values;
    values.AddUtf8("v", 1);
    writer.values = values.Bytes();
    writer.TypeSpec(1, 1);
    for (uint32_t i = 0; i < 2000; ++i) {
        const uint8_t a = uint8_t('a' + i % 26);
        const uint8_t b = uint8_t('a' + (i / 26) % 26);
        const uint8_t c = uint8_t('a' + i / 676);
        writer.Type(
            1, 1,
            ConfigRecord(
                {{8, a}, {9, b}, {10, uint8_t('A' + c - 'a')}, {11, 'Z'}, {14, uint8_t(i)}, {15, uint8_t(i >> 8)}}),
            {{0, 0x03, 0}});
    }
    const TBytes bytes = writer.Bytes();
    TResourceTable table;
    REQUIRE(table.Load(SpanOf(bytes)));
    CHECK(table.Locales().size() == TResourceTable::kMaxLocales);
    CHECK(table.Densities().size() == TResourceTable::kMaxDensities);
    TResConfig request;
    request.SetLocaleFrom(table.Locales().front().request);
    TResValue value;
    size_t lookups = 0;
    while (lookups < 1000000 && table.GetValue(0x7f010000, request, value) == TResourceTable::TLookup::Found)
        ++lookups;
    CHECK(table.Exhausted());
    CHECK(lookups == TResourceTable::kMaxLookupWork / 2000);
    CHECK(table.GetValue(0x7f010000, request, value) == TResourceTable::TLookup::Missing);
}

// String pools as the packager writes them (UTF-8 tables, UTF-16 tables and manifests) and pools
// damaged in each way the checks must catch.
#include "AaptTestSupport.h"
#include "resources/StringPool.h"

#include <functional>

namespace {

// The global value pool of a resource table starts right after the 12-byte table header.
TStringPool TablePool(const TBytes& table) {
    TStringPool pool;
    REQUIRE(pool.Load(SpanOf(table).From(12)));
    return pool;
}

bool PoolHolds(const TStringPool& pool, const std::string& text) {
    for (uint32_t i = 0; i < pool.Count(); ++i) {
        const std::string* s = pool.StringAt(i);
        if (s != nullptr && *s == text)
            return true;
    }
    return false;
}

} // namespace

TEST_CASE("pools written by the packager read back in both encodings") {
    struct TCase {
        const char* package;
        bool utf8;
        const char* text;
    };
    const TCase cases[] = {
        {"full", true, u8"Korpus vollständig"},
        {"full", true, u8"語料庫全集"},
        {"quotes", true, "Tom's \"Quoted\" App \\ back\nslash\ttab"},
        {"utf16", false, u8"Wide Text 𝔘𝔗𝔉 ✓"}, // characters outside the BMP as surrogate pairs
        {"utf16", false, u8"ข้อความกว้าง"},
        {"legacy", false, "Altlast"}, // minSdkVersion 3: UTF-16 without being asked
    };
    for (const TCase& c : cases) {
        CAPTURE(c.package);
        CAPTURE(c.text);
        const TBytes table = CorpusMember(c.package, "resources.arsc");
        const TStringPool pool = TablePool(table);
        CHECK(pool.IsUtf8() == c.utf8);
        CHECK(PoolHolds(pool, c.text));
    }
    // Manifests always carry UTF-16 pools.
    const TBytes manifest = CorpusMember("full", "AndroidManifest.xml");
    TStringPool pool;
    REQUIRE(pool.Load(SpanOf(manifest).From(8)));
    CHECK_FALSE(pool.IsUtf8());
    CHECK(PoolHolds(pool, "org.varnel.corpus.full"));
    CHECK(pool.StringAt(pool.Count()) == nullptr);
}

TEST_CASE("text is decoded the way the platform decodes it") {
    struct TCase {
        const char* name;
        bool utf8;
        std::function<void(TPoolWriter&)> add;
        bool usable;
        std::string expected;
    };
    const TCase cases[] = {
        {"two-byte lengths", true, [](TPoolWriter& w) { w.AddUtf8(std::string(300, 'x'), 300); }, true,
         std::string(300, 'x')},
        {"a stray continuation byte is a character of its own", true, [](TPoolWriter& w) { w.AddUtf8("a\x85z", 3); },
         true, "a\xC2\x85z"},
        {"stored UTF-16 length disagrees with the text", true, [](TPoolWriter& w) { w.AddUtf8("abc", 4); }, false, ""},
        {"a sequence cut by the end", true, [](TPoolWriter& w) { w.AddUtf8("ab\xE4\xB8", 3); }, false, ""},
        {"a NUL ends the text", false, [](TPoolWriter& w) { w.AddUtf16(std::u16string(u"ab\0cd", 5)); }, true, "ab"},
        {"a surrogate pair becomes four bytes", false,
         [](TPoolWriter& w) { w.AddUtf16(std::u16string(u"\xD83D\xDE00")); }, true, "\xF0\x9F\x98\x80"},
        {"a lone surrogate is dropped", false, [](TPoolWriter& w) { w.AddUtf16(std::u16string(u"a\xD800z")); }, true,
         "az"},
        {"a UTF-16 length in two units", false, [](TPoolWriter& w) { w.AddUtf16(std::u16string(0x9000, u'w')); }, true,
         std::string(0x9000, 'w')},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.name);
        TPoolWriter writer;
        writer.utf8 = c.utf8;
        c.add(writer);
        const TBytes bytes = writer.Bytes();
        TStringPool pool;
        REQUIRE(pool.Load(SpanOf(bytes)));
        const std::string* text = pool.StringAt(0);
        REQUIRE((text != nullptr) == c.usable);
        if (text != nullptr)
            CHECK(*text == c.expected);
    }
}

TEST_CASE("a long UTF-8 string whose lengths an old packager cut to 15 bits is found by its end") {
    const std::string text(0x8005, 'q');
    TPoolWriter writer;
    writer.AddUtf8(text, text.size());
    TBytes bytes = writer.Bytes();
    // Both lengths stored as 0x8005 & 0x7FFF = 5, in the two-byte form the packager used.
    const size_t at = 28 + 4;
    bytes[at] = 0x80;
    bytes[at + 1] = 0x05;
    bytes[at + 2] = 0x80;
    bytes[at + 3] = 0x05;
    TStringPool pool;
    REQUIRE(pool.Load(SpanOf(bytes)));
    const std::string* found = pool.StringAt(0);
    REQUIRE(found != nullptr);
    CHECK(found->size() == text.size());
}

TEST_CASE("damaged pools are refused or give no string") {
    struct TCase {
        const char* name;
        std::function<void(TBytes&)> damage;
        bool loads;
    };
    const TCase cases[] = {
        {"intact", [](TBytes&) {}, true},
        {"header smaller than a pool header", [](TBytes& b) { Put16(b, 2, 20); }, false},
        {"size beyond the data", [](TBytes& b) { Put32(b, 4, uint32_t(b.size() + 4)); }, false},
        {"size not a multiple of four", [](TBytes& b) { Put32(b, 4, uint32_t(b.size() - 1)); }, false},
        {"string count whose offsets pass the end", [](TBytes& b) { Put32(b, 8, 0x40000000); }, false},
        {"string count that overflows 32 bits", [](TBytes& b) { Put32(b, 8, 0xFFFFFFFF); }, false},
        {"strings start past the end", [](TBytes& b) { Put32(b, 20, uint32_t(b.size())); }, false},
        {"string area not terminated", [](TBytes& b) { b[b.size() - 1] = 'x'; }, false},
        {"styles without their end marker",
         [](TBytes& b) {
             Put32(b, 12, 1);
             Put32(b, 24, uint32_t(b.size() - 4));
         },
         false},
        {"string offset past the area", [](TBytes& b) { Put32(b, 28, 0x7FFFFFF0); }, true},
        {"string length past the area", [](TBytes& b) { b[28 + 8 + 1] = 0x7F; }, true},
        {"string not terminated", [](TBytes& b) { b[28 + 8 + 2 + 5] = 'x'; }, true},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.name);
        TPoolWriter writer;
        writer.AddUtf8("first", 5);
        writer.AddUtf8("second", 6);
        TBytes bytes = writer.Bytes();
        c.damage(bytes);
        TStringPool pool;
        CHECK(pool.Load(SpanOf(bytes)) == c.loads);
        if (c.loads && std::string(c.name) != "intact") {
            CHECK(pool.StringAt(0) == nullptr);
        }
    }
}

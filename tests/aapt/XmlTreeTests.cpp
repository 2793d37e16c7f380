// The binary XML reader on manifests made by the packager, with chunks it does not know put in,
// and cut or changed byte by byte.
#include "AaptTestSupport.h"
#include "resources/XmlTree.h"

namespace {

// "depth:name" of every start tag, until the walk ends; the final event tells how it ended.
std::vector<std::string> Walk(TXmlTree& tree, TXmlTree::TEvent* last = nullptr) {
    std::vector<std::string> tags;
    int depth = 0;
    for (size_t guard = 0; guard < 100000; ++guard) {
        const TXmlTree::TEvent event = tree.Next();
        if (event == TXmlTree::TEvent::EndDocument || event == TXmlTree::TEvent::BadDocument) {
            if (last != nullptr)
                *last = event;
            return tags;
        }
        if (event == TXmlTree::TEvent::StartTag) {
            ++depth;
            const std::string* name = tree.ElementName();
            tags.push_back(std::to_string(depth) + ":" + (name ? *name : std::string("?")));
        } else if (event == TXmlTree::TEvent::EndTag) {
            --depth;
        }
    }
    FAIL("the walk does not end");
    return tags;
}

// Inserts a chunk of an unknown type (0x0177 inside the node range, or 0x0042 outside) of the
// given size at offset, fixing the document's size.
TBytes WithUnknownChunk(TBytes doc, size_t offset, uint16_t type, uint32_t size) {
    TBytes chunk(size, 0xAB);
    Put16(chunk, 0, type);
    Put16(chunk, 2, 16);
    Put32(chunk, 4, size);
    doc.insert(doc.begin() + static_cast<std::ptrdiff_t>(offset), chunk.begin(), chunk.end());
    Put32(doc, 4, uint32_t(doc.size()));
    return doc;
}

size_t FirstNodeOffset(const TBytes& doc) {
    size_t offset = 8;
    while (offset + 8 <= doc.size()) {
        const uint16_t type = uint16_t(doc[offset] | (doc[offset + 1] << 8));
        if (type >= 0x0100 && type <= 0x017f)
            return offset;
        offset += doc[offset + 4] | (doc[offset + 5] << 8) | (doc[offset + 6] << 16) | (size_t(doc[offset + 7]) << 24);
    }
    return 0;
}

} // namespace

TEST_CASE("the manifest of a package reads element by element with its attributes") {
    const TBytes doc = CorpusMember("full", "AndroidManifest.xml");
    TXmlTree tree;
    REQUIRE(tree.Load(SpanOf(doc)));
    const std::vector<std::string> expected = {
        "1:manifest",        "2:uses-sdk",        "2:uses-permission", "2:uses-permission", "2:uses-permission",
        "2:uses-permission", "2:uses-permission", "2:uses-permission", "2:application",     "3:activity",
        "4:intent-filter",   "5:action",          "5:category",        "3:activity",        "3:service",
    };
    TXmlTree::TEvent end = TXmlTree::TEvent::Other;
    CHECK(Walk(tree, &end) == expected);
    CHECK(end == TXmlTree::TEvent::EndDocument);

    tree.Restart();
    REQUIRE(tree.Next() == TXmlTree::TEvent::StartNamespace);
    REQUIRE(tree.Next() == TXmlTree::TEvent::StartTag);
    const long package = tree.FindAttributeWithoutNamespace("package");
    REQUIRE(package >= 0);
    CHECK(*tree.AttributeRawString(size_t(package)) == "org.varnel.corpus.full");
    const long versionCode = tree.FindAttribute(0x0101021b);
    REQUIRE(versionCode >= 0);
    CHECK(tree.AttributeValue(size_t(versionCode)).dataType == 0x10);
    CHECK(tree.AttributeValue(size_t(versionCode)).data == 305);
    CHECK(*tree.AttributeNamespace(size_t(versionCode)) == "http://schemas.android.com/apk/res/android");
    const long versionName = tree.FindAttribute(0x0101021c);
    REQUIRE(versionName >= 0);
    CHECK(tree.AttributeValue(size_t(versionName)).dataType == 0x01); // a reference
    CHECK(tree.FindAttribute(0x01010001) == -1);
    CHECK(tree.LineNumber() == 5); // after the XML declaration and a three-line comment
}

TEST_CASE("chunks of unknown types are skipped by their size") {
    const TBytes doc = CorpusMember("nores", "AndroidManifest.xml");
    TXmlTree plain;
    REQUIRE(plain.Load(SpanOf(doc)));
    const std::vector<std::string> expected = Walk(plain);
    const size_t root = FirstNodeOffset(doc);
    REQUIRE(root > 0);
    struct TCase {
        const char* name;
        size_t offset;
        uint16_t type;
    };
    const TCase cases[] = {
        {"before the pool", 8, 0x0042},
        {"before the first node", root, 0x0042},
        {"an unknown node type after the first node", root + 24, 0x0177},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.name);
        const TBytes changed = WithUnknownChunk(doc, c.offset, c.type, 40);
        TXmlTree tree;
        REQUIRE(tree.Load(SpanOf(changed)));
        CHECK(Walk(tree) == expected);
    }
}

TEST_CASE("a manifest cut at any length or changed at any byte is read without harm") {
    const TBytes doc = CorpusMember("nores", "AndroidManifest.xml");
    for (size_t length = 0; length < doc.size(); ++length) {
        CAPTURE(length);
        // The header still claims the whole size: a cut document never loads.
        TXmlTree tree;
        CHECK_FALSE(tree.Load(TByteSpan(doc.data(), length)));
    }
    size_t loaded = 0;
    for (size_t pos = 0; pos < doc.size(); ++pos) {
        for (uint8_t change : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
            TBytes damaged = doc;
            damaged[pos] ^= change;
            TXmlTree tree;
            if (!tree.Load(SpanOf(damaged)))
                continue;
            ++loaded;
            TXmlTree::TEvent event = TXmlTree::TEvent::Other;
            tree.Restart();
            while ((event = tree.Next()) != TXmlTree::TEvent::EndDocument && event != TXmlTree::TEvent::BadDocument) {
                for (size_t i = 0; i < tree.AttributeCount(); ++i) {
                    tree.AttributeName(i);
                    tree.AttributeRawString(i);
                    tree.AttributeNameResId(i);
                }
            }
        }
    }
    CHECK(loaded > 0);
}

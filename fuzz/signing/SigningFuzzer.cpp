// The readers of what a signed package carries, on arbitrary bytes. The first byte picks one:
//   0  an APK Signing Block: its pairs, then the v2, v3 and v3.1 signers in it, each checked as far
//      as the block alone allows (certificates, keys, signatures, the v3 history of keys)
//   1  a manifest or .SF text and its digest attributes
//   2  a JAR signature: the rest split at each "\n--\n" into MANIFEST.MF, CERT.SF, CERT.RSA and a
//      member classes.dex, verified as a package of those four members
#include "signing/ContentDigest.h"
#include "signing/JarManifest.h"
#include "signing/JarSignature.h"
#include "signing/SchemeSigners.h"
#include "signing/SigningBlock.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

class TMemoryJar : public IJarSource {
public:
    std::vector<std::string> names;
    std::vector<TBytes> contents;
    size_t Count() const override { return names.size(); }
    const std::string& Name(size_t index) const override { return names[index]; }
    bool Read(size_t index, uint64_t limit, TBytes& bytes) override {
        if (contents[index].size() > limit)
            return false;
        bytes = contents[index];
        return true;
    }
    bool DigestOf(size_t index, const std::vector<TDigestKind>& kinds, std::vector<TBytes>& digests) override {
        digests.clear();
        for (TDigestKind kind : kinds)
            digests.push_back(Digest(kind, contents[index]));
        return true;
    }
};

void SigningBlock(TByteView block) {
    std::vector<TBlockPair> pairs;
    std::string problem;
    if (!ParseSigningBlock(block, pairs, problem))
        return;
    for (const TBlockPair& pair : pairs) {
        const TScheme scheme = pair.id == SigningBlockIds::kV2   ? TScheme::V2
                               : pair.id == SigningBlockIds::kV3 ? TScheme::V3
                                                                 : TScheme::V31;
        TCheckedScheme checked = CheckSchemeSigners(scheme, pair.value, AsciiOnly);
        std::set<TContentDigest> kinds;
        NeededContentDigests(checked, kinds);
        const uint8_t entries[] = {1, 2, 3};
        CheckContentDigests(checked, ContentDigestsOfBytes(TByteView(entries, 3), {}, {}, kinds));
        // The history of keys on its own, as a signer whose signature did not hold never reaches it.
        std::vector<TLineageNode> nodes;
        ParseLineage(pair.value, nodes, problem);
    }
}

void JarSignature(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"META-INF/MANIFEST.MF", "META-INF/CERT.SF", "META-INF/CERT.RSA",
                                         "classes.dex"};
    const std::string text(reinterpret_cast<const char*>(data), size);
    TMemoryJar jar;
    size_t at = 0;
    for (const char* name : kNames) {
        size_t cut = text.find("\n--\n", at);
        if (cut == std::string::npos)
            cut = text.size();
        jar.names.push_back(name);
        jar.contents.emplace_back(text.begin() + static_cast<long>(std::min(at, text.size())),
                                  text.begin() + static_cast<long>(cut));
        at = cut + 4;
    }
    std::atomic<bool> cancel{false};
    VerifyJarSignature(jar, AsciiOnly, cancel);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const TByteView rest(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        SigningBlock(rest);
        break;
    case 1: {
        TManifest manifest;
        std::string problem;
        if (ParseManifest(rest, "MANIFEST.MF", manifest, problem)) {
            for (const TManifestSection& section : manifest.sections)
                DigestAttributes(section, "-Digest");
        }
        break;
    }
    default:
        JarSignature(rest.data, rest.size);
    }
    return 0;
}

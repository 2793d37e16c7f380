// Signing blocks made to hurt: lengths that overflow or reach past the block, absurd counts, DER
// nested deeply or cut short, signatures of the wrong size. Each is put into a real v2-signed
// package in place of its own block; the verdict must be Broken with a reason, quickly.
#include "SignedPackages.h"

#include "signing/SigningBlock.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

TBytes Le(uint64_t value, int bytes) {
    TBytes out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return out;
}
TBytes Cat(std::initializer_list<TBytes> parts) {
    TBytes out;
    for (const TBytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
TBytes Prefixed(const TBytes& bytes) {
    return Cat({Le(bytes.size(), 4), bytes});
}
TBytes Sequence(const std::vector<TBytes>& items) {
    TBytes all;
    for (const TBytes& item : items) {
        const TBytes length = Le(item.size(), 4);
        all.insert(all.end(), length.begin(), length.end());
        all.insert(all.end(), item.begin(), item.end());
    }
    return Prefixed(all);
}
TBytes IdValue(uint32_t id, const TBytes& value) {
    return Cat({Le(id, 4), Prefixed(value)});
}
TBytes Block(const std::vector<std::pair<uint32_t, TBytes>>& pairs) {
    TBytes body;
    for (const auto& [id, value] : pairs) {
        const TBytes head = Cat({Le(value.size() + 4, 8), Le(id, 4)});
        body.insert(body.end(), head.begin(), head.end());
        body.insert(body.end(), value.begin(), value.end());
    }
    const TBytes size = Le(body.size() + 8 + 16, 8);
    return Cat(
        {size, body, size, TBytes{'A', 'P', 'K', ' ', 'S', 'i', 'g', ' ', 'B', 'l', 'o', 'c', 'k', ' ', '4', '2'}});
}

// The v2 package cut into its entries, its one v2 signer and its directory with the end record.
struct TParts {
    TBytes file, entries, directoryAndEnd, blockBytes;
    uint64_t endAt = 0; // of the end record, within directoryAndEnd
    std::vector<TRawSigner> signers;
};

TParts ReadParts() {
    TParts parts;
    std::FILE* f = std::fopen(SignedPackage("v2").c_str(), "rb");
    REQUIRE(f);
    int c;
    while ((c = std::fgetc(f)) != EOF)
        parts.file.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    size_t end = parts.file.size() - 22;
    while (
        !(parts.file[end] == 'P' && parts.file[end + 1] == 'K' && parts.file[end + 2] == 5 && parts.file[end + 3] == 6))
        --end;
    const uint32_t directory = parts.file[end + 16] | parts.file[end + 17] << 8 | parts.file[end + 18] << 16 |
                               static_cast<uint32_t>(parts.file[end + 19]) << 24;
    const TBlockFooter footer = ReadBlockFooter(TByteView(parts.file.data() + directory - 24, 24), directory);
    REQUIRE(footer.found == 1);
    parts.entries.assign(parts.file.begin(), parts.file.begin() + static_cast<long>(footer.blockOffset));
    parts.blockBytes.assign(parts.file.begin() + static_cast<long>(footer.blockOffset), parts.file.begin() + directory);
    parts.directoryAndEnd.assign(parts.file.begin() + directory, parts.file.end());
    parts.endAt = end - directory;
    std::vector<TBlockPair> pairs;
    std::string problem;
    REQUIRE(ParseSigningBlock(parts.blockBytes, pairs, problem));
    REQUIRE(ParseSigners(pairs.at(0).value, false, parts.signers, problem));
    return parts;
}

// A v2 signer record from its parts.
TBytes Signer(const TBytes& signedData, const std::vector<TBytes>& signatures, const TBytes& publicKey) {
    return Cat({Prefixed(signedData), Sequence(signatures), Prefixed(publicKey)});
}
TBytes SignedData(const std::vector<TBytes>& digests, const std::vector<TBytes>& certificates) {
    return Cat({Sequence(digests), Sequence(certificates), Sequence({})});
}

std::string WritePackage(const TParts& parts, const TBytes& block, const std::string& name, bool fixOffset = true) {
    TBytes tail = parts.directoryAndEnd;
    if (fixOffset) {
        const TBytes offset = Le(parts.entries.size() + block.size(), 4);
        std::copy(offset.begin(), offset.end(), tail.begin() + static_cast<long>(parts.endAt + 16));
    }
    const std::string path = TestPath(std::string(VARNEL_SIGNING_PACKAGES) + "/hostile-" + name + ".apk");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    REQUIRE(f);
    const TBytes all = Cat({parts.entries, block, tail});
    std::fwrite(all.data(), 1, all.size(), f);
    std::fclose(f);
    return path;
}

} // namespace

TEST_CASE("hostile signing blocks are Broken with a reason, in bounded time") {
    const TParts parts = ReadParts();
    const TRawSigner& real = parts.signers.at(0);
    const TBytes certificate = real.certificates.at(0).Copy();
    const TBytes publicKey = real.publicKey.Copy();
    const TBytes signedData = real.signedData.Copy();
    const TBytes signature = IdValue(real.signatures.at(0).id, real.signatures.at(0).value.Copy());
    const TBytes digest = IdValue(real.digests.at(0).id, real.digests.at(0).value.Copy());
    auto v2 = [](const std::vector<TBytes>& signers) { return Block({{SigningBlockIds::kV2, Sequence(signers)}}); };

    TBytes deep; // SEQUENCE inside SEQUENCE, far deeper than any certificate: built back to front
    for (int i = 0; i < 3000; ++i) {
        const size_t inner = deep.size();
        deep.insert(deep.end(), {static_cast<uint8_t>(inner), static_cast<uint8_t>(inner >> 8), 0x82, 0x30});
    }
    std::reverse(deep.begin(), deep.end());
    const TBytes cut(certificate.begin(), certificate.begin() + static_cast<long>(certificate.size() / 2));
    std::vector<TBytes> manySigners(5000, Signer(signedData, {signature}, publicKey));
    std::vector<TBytes> manyCertificates(5000, certificate);
    std::vector<std::pair<uint32_t, TBytes>> manyPairs(10000, {0x42726577, TBytes{}});
    TBytes overflowing = Block({{SigningBlockIds::kV2, TBytes(16)}});
    std::fill(overflowing.begin() + 8, overflowing.begin() + 16, 0xff); // the pair's length

    const struct {
        const char* name;
        TBytes block;
        const char* problem; // nullptr: the control, Intact
    } kCases[] = {
        {"control", v2({Signer(signedData, {signature}, publicKey)}), nullptr},
        {"footer-overflow",
         Cat({TBytes(8), Le(0xfffffffffffffff0u, 8), TBytes(parts.blockBytes.end() - 16, parts.blockBytes.end())}),
         "签名块已损坏"},
        {"footer-past-start",
         Cat({Le(parts.entries.size() + 100, 8), TBytes(parts.blockBytes.end() - 16, parts.blockBytes.end())}),
         "签名块已损坏"},
        {"pair-overflow", overflowing, "签名块已损坏"},
        {"many-pairs", Block(manyPairs), "签名块已损坏"},
        {"many-signers", v2(manySigners), "v2 签名块里的签名者"},
        {"many-certificates", v2({Signer(SignedData({digest}, manyCertificates), {signature}, publicKey)}),
         "v2 签名块里的签名者"},
        {"deep-der", v2({Signer(SignedData({digest}, {deep}), {signature}, publicKey)}), "v2 签名里的证书已损坏"},
        {"cut-der", v2({Signer(SignedData({digest}, {cut}), {signature}, publicKey)}), "v2 签名里的证书已损坏"},
        {"short-signature", v2({Signer(signedData, {IdValue(real.signatures[0].id, TBytes{1})}, publicKey)}),
         "v2 签名与证书不符"},
        {"long-signature", v2({Signer(signedData, {IdValue(real.signatures[0].id, TBytes(70000, 7))}, publicKey)}),
         "v2 签名与证书不符"},
        {"no-signers", v2({}), "v2 签名块里没有签名者"},
        {"unknown-algorithm", v2({Signer(signedData, {IdValue(0x9999, TBytes(256))}, publicKey)}), "v2 签名"},
        {"lengths-inside-lie", Block({{SigningBlockIds::kV2, Cat({Le(0xfffffff0u, 4), TBytes(32)})}}),
         "v2 签名块里的签名者记录已损坏"},
    };
    for (const auto& test : kCases) {
        const std::string name = test.name;
        CAPTURE(name);
        const auto start = std::chrono::steady_clock::now();
        const TSignatureReport report = Verify(WritePackage(parts, test.block, test.name), 24);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        CHECK(seconds < 5);
        if (!test.problem) {
            CHECK(report.verdict == TSignatureVerdict::Intact);
            continue;
        }
        CHECK(report.verdict == TSignatureVerdict::Broken);
        CHECK_MESSAGE(HasProblem(report, test.problem), SignatureSummary(report));
    }
}

// Signing blocks made to hurt: lengths that overflow or reach past the block, absurd counts, DER
// nested deeply or cut short, signatures of the wrong size. Each is put into a real v2-signed
// package in place of its own block; the verdict must be Broken with a reason, quickly.
#include "SignedPackages.h"

#include "signing/ContentDigest.h"
#include "signing/SigningBlock.h"

#include <openssl/pkcs12.h>

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

namespace {

// A key and certificate from one of the keystores keytool made for the test packages.
struct TKey {
    std::unique_ptr<EVP_PKEY, TOpenSslFree> key;
    TBytes certificate, publicKey;
};
TKey LoadKey(const char* name) {
    TKey loaded;
    std::FILE* f = std::fopen(TestPath(std::string(VARNEL_SIGNING_PACKAGES) + "/work/" + name + ".jks").c_str(), "rb");
    REQUIRE(f);
    std::unique_ptr<PKCS12, decltype(&PKCS12_free)> store(d2i_PKCS12_fp(f, nullptr), PKCS12_free);
    std::fclose(f);
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    REQUIRE((store && PKCS12_parse(store.get(), "varnel", &key, &certificate, nullptr) == 1));
    loaded.key.reset(key);
    TX509Ptr owned(certificate);
    loaded.certificate = EncodeCertificate(certificate);
    loaded.publicKey = EncodePublicKey(X509_get0_pubkey(certificate));
    return loaded;
}
TBytes Sign(const TKey& key, const TBytes& data) {
    TMdCtxPtr ctx(EVP_MD_CTX_new());
    size_t length = 0;
    REQUIRE(EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.key.get()) == 1);
    REQUIRE(EVP_DigestSign(ctx.get(), nullptr, &length, data.data(), data.size()) == 1);
    TBytes signature(length);
    REQUIRE(EVP_DigestSign(ctx.get(), signature.data(), &length, data.data(), data.size()) == 1);
    signature.resize(length);
    return signature;
}
// A v3 or v3.1 signer over the given content digest, signed with RSA PKCS#1 SHA-256.
TBytes V3Signer(const TKey& key, const TBytes& digest, uint32_t minSdk, uint32_t maxSdk,
                const std::vector<TBytes>& attributes) {
    const TBytes signedData = Cat({Sequence({IdValue(0x0103, digest)}), Sequence({key.certificate}), Le(minSdk, 4),
                                   Le(maxSdk, 4), Sequence(attributes)});
    return Cat({Prefixed(signedData), Le(minSdk, 4), Le(maxSdk, 4), Sequence({IdValue(0x0103, Sign(key, signedData))}),
                Prefixed(key.publicKey)});
}

} // namespace

// apksigner 31 makes no v3.1 blocks: this one is made here with apksigner's keys, the history of
// keys apksigner wrote into the rotated package, and the digest of the package it goes into.
TEST_CASE("a v3.1 block hands the newest key to Android 13 while v3 keeps the old one") {
    const TParts parts = ReadParts();
    const TKey oldKey = LoadKey("rsa");
    const TKey newKey = LoadKey("new");
    TBytes rotated;
    {
        std::FILE* f = std::fopen(SignedPackage("rotated").c_str(), "rb");
        REQUIRE(f);
        for (int c; (c = std::fgetc(f)) != EOF;)
            rotated.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    std::vector<TRawSigner> signers;
    std::vector<TBlockPair> pairs;
    std::string problem;
    size_t end = rotated.size() - 22;
    while (rotated[end] != 'P' || rotated[end + 1] != 'K' || rotated[end + 2] != 5)
        --end;
    const uint32_t directory = rotated[end + 16] | rotated[end + 17] << 8 | rotated[end + 18] << 16;
    const TBlockFooter footer = ReadBlockFooter(TByteView(rotated.data() + directory - 24, 24), directory);
    REQUIRE(ParseSigningBlock(TByteView(rotated.data() + footer.blockOffset, footer.blockSize), pairs, problem));
    auto v3 =
        std::find_if(pairs.begin(), pairs.end(), [](const TBlockPair& p) { return p.id == SigningBlockIds::kV3; });
    REQUIRE((v3 != pairs.end() && ParseSigners(v3->value, true, signers, problem)));
    TBytes lineage;
    for (const TIdValue& attribute : signers.at(0).attributes) {
        if (attribute.id == SignerAttributeIds::kProofOfRotation)
            lineage = Cat({Le(attribute.id, 4), attribute.value.Copy()});
    }
    REQUIRE(!lineage.empty());

    TBytes endRecord(parts.directoryAndEnd.begin() + static_cast<long>(parts.endAt), parts.directoryAndEnd.end());
    const TBytes offset = Le(parts.entries.size(), 4);
    std::copy(offset.begin(), offset.end(), endRecord.begin() + 16);
    const TBytes digest =
        ContentDigestsOfBytes(parts.entries, TByteView(parts.directoryAndEnd.data(), static_cast<size_t>(parts.endAt)),
                              endRecord, {TContentDigest::ChunkedSha256})[TContentDigest::ChunkedSha256];

    for (uint32_t rotationMinSdk : {33u, 34u}) {
        CAPTURE(rotationMinSdk);
        const TBytes block =
            Block({{SigningBlockIds::kV3,
                    Sequence({V3Signer(oldKey, digest, 28, 32,
                                       {Cat({Le(SignerAttributeIds::kRotationMinSdk, 4), Le(rotationMinSdk, 4)})})})},
                   {SigningBlockIds::kV31, Sequence({V3Signer(newKey, digest, 33, 0x7fffffff, {lineage})})}});
        const TSignatureReport report = Verify(WritePackage(parts, block, "v31"), 28);
        if (rotationMinSdk == 34) {
            CHECK(HasProblem(report, "v3.1 签名和 v3 签名对不上"));
            continue;
        }
        CHECK_MESSAGE(report.verdict == TSignatureVerdict::Intact, SignatureSummary(report));
        CHECK(report.SchemesText() == "v3+v3.1");
        REQUIRE(report.signers.size() == 1);
        CHECK(report.signers[0].certificate.commonName == "Varnel Next");
        CHECK(report.signers[0].lineage.front().commonName == "Varnel Test");
        CHECK(report.Scheme(TScheme::V3).signers.at(0).certificate.commonName == "Varnel Test");
    }
}

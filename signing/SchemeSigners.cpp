#include "signing/SchemeSigners.h"

#include "signing/Certificate.h"

#include <openssl/err.h>

#include <algorithm>

namespace {

constexpr TSignatureAlgorithm kAlgorithms[] = {
    {0x0101,
     {TDigestKind::Sha256, TPadding::Pss, EVP_PKEY_RSA},
     TContentDigest::ChunkedSha256,
     false,
     "RSA-PSS SHA-256"},
    {0x0102,
     {TDigestKind::Sha512, TPadding::Pss, EVP_PKEY_RSA},
     TContentDigest::ChunkedSha512,
     false,
     "RSA-PSS SHA-512"},
    {0x0103, {TDigestKind::Sha256, TPadding::Pkcs1, EVP_PKEY_RSA}, TContentDigest::ChunkedSha256, false, "RSA SHA-256"},
    {0x0104, {TDigestKind::Sha512, TPadding::Pkcs1, EVP_PKEY_RSA}, TContentDigest::ChunkedSha512, false, "RSA SHA-512"},
    {0x0201, {TDigestKind::Sha256, TPadding::None, EVP_PKEY_EC}, TContentDigest::ChunkedSha256, false, "ECDSA SHA-256"},
    {0x0202, {TDigestKind::Sha512, TPadding::None, EVP_PKEY_EC}, TContentDigest::ChunkedSha512, false, "ECDSA SHA-512"},
    {0x0301, {TDigestKind::Sha256, TPadding::None, EVP_PKEY_DSA}, TContentDigest::ChunkedSha256, false, "DSA SHA-256"},
    // The verity variants sign the signed data like their plain twins; the digest they record is
    // a page tree's root for the file system, and the contents are checked through the plain
    // digest recorded beside it.
    {0x0421,
     {TDigestKind::Sha256, TPadding::Pkcs1, EVP_PKEY_RSA},
     TContentDigest::ChunkedSha256,
     true,
     "RSA SHA-256 verity"},
    {0x0423,
     {TDigestKind::Sha256, TPadding::None, EVP_PKEY_EC},
     TContentDigest::ChunkedSha256,
     true,
     "ECDSA SHA-256 verity"},
    {0x0425,
     {TDigestKind::Sha256, TPadding::None, EVP_PKEY_DSA},
     TContentDigest::ChunkedSha256,
     true,
     "DSA SHA-256 verity"},
};

// "v2 " and the like, in front of a scheme's problems.
std::string Prefix(TScheme scheme) {
    return std::string(SchemeName(scheme)) + " ";
}

bool CheckLineage(TScheme scheme, TByteView attribute, TCheckedSigner& signer, const TToAnsi& toAnsi,
                  std::string& problem) {
    std::vector<TLineageNode> nodes;
    if (!ParseLineage(attribute, nodes, problem))
        return false;
    TX509Ptr previous;
    const std::string broken = Prefix(scheme) + "签名里换过签名密钥的记录对不上";
    for (size_t i = 0; i < nodes.size(); ++i) {
        TX509Ptr certificate = ParseCertificate(nodes[i].certificate);
        if (!certificate) {
            problem = broken;
            return false;
        }
        // Each newer key is vouched for by the one before it, with the algorithm that one named.
        if (previous) {
            const TSignatureAlgorithm* algorithm = FindSignatureAlgorithm(nodes[i].signedAlgorithm);
            if (!algorithm || nodes[i].signedAlgorithm != nodes[i - 1].algorithm ||
                !VerifySignature(X509_get0_pubkey(previous.get()), algorithm->method, nodes[i].signedData,
                                 nodes[i].signature)) {
                problem = broken;
                return false;
            }
        }
        TBytes der = nodes[i].certificate.Copy();
        if (std::find(signer.lineage.begin(), signer.lineage.end(), der) != signer.lineage.end()) {
            problem = broken;
            return false;
        }
        signer.facts.lineage.push_back(ReadCertificateFacts(certificate.get(), toAnsi));
        signer.lineage.push_back(std::move(der));
        previous = std::move(certificate);
    }
    // The newest key is the one that signed.
    if (signer.lineage.back() != signer.certificate) {
        problem = broken;
        return false;
    }
    return true;
}

bool CheckSigner(TScheme scheme, const TRawSigner& raw, TCheckedSigner& signer, const TToAnsi& toAnsi,
                 std::string& problem) {
    const std::string prefix = Prefix(scheme);
    TX509Ptr certificate = raw.certificates.empty() ? nullptr : ParseCertificate(raw.certificates.front());
    if (!certificate) {
        problem = prefix + "签名里的证书已损坏";
        return false;
    }
    signer.certificate = raw.certificates.front().Copy();
    signer.facts.certificate = ReadCertificateFacts(certificate.get(), toAnsi);
    if (scheme != TScheme::V2) {
        signer.facts.minSdk = raw.minSdk;
        signer.facts.maxSdk = raw.maxSdk;
    }

    TPkeyPtr key = ParsePublicKey(raw.publicKey);
    if (!key || EncodePublicKey(X509_get0_pubkey(certificate.get())) != raw.publicKey.Copy()) {
        problem = prefix + "签名与证书不符";
        return false;
    }
    // The signatures and the digests they vouch for name the same algorithms in the same order.
    bool sameOrder = raw.signatures.size() == raw.digests.size();
    for (size_t i = 0; sameOrder && i < raw.signatures.size(); ++i)
        sameOrder = raw.signatures[i].id == raw.digests[i].id;
    if (!sameOrder) {
        problem = prefix + "签名块里的记录前后不一致";
        return false;
    }
    size_t known = 0;
    for (size_t i = 0; i < raw.signatures.size(); ++i) {
        const TSignatureAlgorithm* algorithm = FindSignatureAlgorithm(raw.signatures[i].id);
        if (!algorithm)
            continue; // a newer algorithm, which a phone that knows it checks
        ++known;
        if (!VerifySignature(key.get(), algorithm->method, raw.signedData, raw.signatures[i].value)) {
            problem = prefix + "签名与证书不符";
            return false;
        }
        if (!algorithm->verity)
            signer.expected[algorithm->content] = raw.digests[i].value.Copy();
    }
    if (known == 0) {
        problem = prefix + "签名用的算法手机都不认得";
        return false;
    }
    if (signer.expected.empty()) {
        problem = prefix + "签名没有可核对安装包内容的摘要";
        return false;
    }

    if (scheme != TScheme::V2) {
        if (raw.minSdk != raw.signedMinSdk || raw.maxSdk != raw.signedMaxSdk || raw.minSdk > raw.maxSdk) {
            problem = prefix + "签名适用的 Android 版本范围不对";
            return false;
        }
        for (const TIdValue& attribute : raw.attributes) {
            if (attribute.id == SignerAttributeIds::kProofOfRotation) {
                if (!signer.lineage.empty() || !CheckLineage(scheme, attribute.value, signer, toAnsi, problem))
                    return false;
            } else if (attribute.id == SignerAttributeIds::kRotationMinSdk && scheme == TScheme::V3 &&
                       attribute.value.size == 4) {
                signer.rotationMinSdk = attribute.value.data[0] | (attribute.value.data[1] << 8) |
                                        (attribute.value.data[2] << 16) |
                                        (static_cast<uint32_t>(attribute.value.data[3]) << 24);
            }
        }
    }
    return true;
}

} // namespace

const TSignatureAlgorithm* FindSignatureAlgorithm(uint32_t id) {
    for (const TSignatureAlgorithm& algorithm : kAlgorithms) {
        if (algorithm.id == id)
            return &algorithm;
    }
    return nullptr;
}

TCheckedScheme CheckSchemeSigners(TScheme scheme, TByteView block, const TToAnsi& toAnsi) {
    TCheckedScheme checked;
    checked.result.scheme = scheme;
    checked.result.state = TSchemeState::Failed;
    std::vector<TRawSigner> raw;
    std::string problem;
    if (!ParseSigners(block, scheme != TScheme::V2, raw, problem)) {
        checked.result.problems.push_back(Prefix(scheme) + problem);
        return checked;
    }
    for (const TRawSigner& one : raw) {
        TCheckedSigner signer;
        const bool ok = CheckSigner(scheme, one, signer, toAnsi, problem);
        ERR_clear_error();
        checked.result.signers.push_back(signer.facts);
        if (!ok) {
            checked.result.problems.push_back(problem);
            checked.signers.clear();
            return checked;
        }
        checked.signers.push_back(std::move(signer));
    }
    if (scheme != TScheme::V2) {
        // Each phone takes the one signer whose range holds its version: ranges may not overlap.
        std::vector<std::pair<uint32_t, uint32_t>> ranges;
        for (const TCheckedSigner& signer : checked.signers)
            ranges.emplace_back(signer.facts.minSdk, signer.facts.maxSdk);
        std::sort(ranges.begin(), ranges.end());
        for (size_t i = 1; i < ranges.size(); ++i) {
            if (ranges[i].first <= ranges[i - 1].second) {
                checked.result.problems.push_back(Prefix(scheme) + "签名里几个签名者适用的 Android 版本重叠");
                return checked;
            }
        }
    }
    checked.result.state = TSchemeState::Verified;
    return checked;
}

void NeededContentDigests(const TCheckedScheme& scheme, std::set<TContentDigest>& kinds) {
    if (scheme.result.state != TSchemeState::Verified)
        return;
    for (const TCheckedSigner& signer : scheme.signers) {
        for (const auto& [kind, digest] : signer.expected)
            kinds.insert(kind);
    }
}

void CheckContentDigests(TCheckedScheme& scheme, const std::map<TContentDigest, TBytes>& actual) {
    if (scheme.result.state != TSchemeState::Verified)
        return;
    for (const TCheckedSigner& signer : scheme.signers) {
        for (const auto& [kind, digest] : signer.expected) {
            auto found = actual.find(kind);
            if (found == actual.end() || found->second != digest) {
                scheme.result.state = TSchemeState::Failed;
                scheme.result.problems.push_back(Prefix(scheme.result.scheme) + "签名之后安装包的内容被改动过");
                return;
            }
        }
    }
}

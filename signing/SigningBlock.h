#pragma once
#include "signing/Crypto.h"

#include <cstdint>
#include <string>
#include <vector>

// The APK Signing Block that sits between a package's entries and its central directory, and the
// signer records of the v2, v3 and v3.1 blocks inside it. Only reading: every length is checked
// against what holds it and every count is capped; a record that does not add up ends the
// reading with a sentence for the user (GBK) and nothing half-read is used.

namespace SigningBlockIds {
constexpr uint32_t kV2 = 0x7109871a;
constexpr uint32_t kV3 = 0xf05368c0;
constexpr uint32_t kV31 = 0x1b93ad61;
} // namespace SigningBlockIds

// Attributes of a v3 signer's signed data.
namespace SignerAttributeIds {
constexpr uint32_t kProofOfRotation = 0x3ba06f8c;
constexpr uint32_t kRotationMinSdk = 0x559f8b02; // in the v3 signer of a package that has v3.1
} // namespace SignerAttributeIds

constexpr uint64_t kSigningBlockFooterSize = 24; // size, then the 16-byte magic
constexpr uint64_t kMaxSigningBlockSize = 32u << 20;
constexpr size_t kMaxSigners = 16;
constexpr size_t kMaxRecordsPerList = 64; // digests, signatures, certificates, attributes
constexpr size_t kMaxLineageNodes = 64;

// Where the footer says the block starts, if the 24 bytes before the central directory are a
// signing block's footer: 0 = no block (not an error), 1 = found, -1 = a footer whose size can't be.
struct TBlockFooter {
    int found = 0;
    uint64_t blockOffset = 0; // of the block's first byte (its leading size field)
    uint64_t blockSize = 0;   // the whole block, both size fields included
};
TBlockFooter ReadBlockFooter(TByteView footer, uint64_t centralDirectoryOffset);

struct TBlockPair {
    uint32_t id = 0;
    TByteView value;
};
// Checks the whole block (both size fields, the magic) and lists its id-value pairs in order.
bool ParseSigningBlock(TByteView block, std::vector<TBlockPair>& pairs, std::string& problem);

struct TIdValue {
    uint32_t id = 0; // algorithm id or attribute id
    TByteView value;
};

// One signer of a v2, v3 or v3.1 block, as recorded.
struct TRawSigner {
    TByteView signedData; // the bytes the signatures cover
    std::vector<TIdValue> digests;
    std::vector<TByteView> certificates;
    uint32_t signedMinSdk = 0, signedMaxSdk = 0; // v3: inside the signed data
    std::vector<TIdValue> attributes;
    uint32_t minSdk = 0, maxSdk = 0; // v3: outside it, must agree
    std::vector<TIdValue> signatures;
    TByteView publicKey; // SubjectPublicKeyInfo DER
};
bool ParseSigners(TByteView schemeBlock, bool v3, std::vector<TRawSigner>& signers, std::string& problem);

// One certificate of a v3 signer's history of keys (proof of rotation), oldest first.
struct TLineageNode {
    TByteView signedData;  // the certificate and the algorithm the previous key signed with
    TByteView certificate; // inside signedData
    uint32_t signedAlgorithm = 0;
    uint32_t flags = 0;
    uint32_t algorithm = 0;
    TByteView signature; // by the previous node's key over signedData; empty for the first
};
bool ParseLineage(TByteView attribute, std::vector<TLineageNode>& nodes, std::string& problem);

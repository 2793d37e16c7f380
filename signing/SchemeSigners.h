#pragma once
#include "signing/ContentDigest.h"
#include "signing/SignatureReport.h"
#include "signing/SigningBlock.h"

#include <map>
#include <set>

// The signers of a v2, v3 or v3.1 block checked as far as the block alone allows: each signature
// over its signed data with the signer's key, the key against the first certificate, v3's SDK range
// and history of keys. What is left is comparing the content digests the signers recorded with
// those of the file (CheckContentDigests), which needs one read of the whole package.

struct TSignatureAlgorithm {
    uint32_t id;
    TSignatureMethod method;
    TContentDigest content;
    bool verity; // its recorded digest is a page tree's root, which the installer leaves to the file system
    const char* name;
};
// The algorithms phones know, or null.
const TSignatureAlgorithm* FindSignatureAlgorithm(uint32_t id);

struct TCheckedSigner {
    TSignerFacts facts;
    std::map<TContentDigest, TBytes> expected; // what the signer recorded, for the algorithms it signed with
    TBytes certificate;                        // DER of its certificate
    std::vector<TBytes> lineage;               // DER of its history of keys, oldest first (empty: none)
    uint32_t rotationMinSdk = 0;               // v3: from what SDK level v3.1 takes over (0: no v3.1)
};

struct TCheckedScheme {
    TSchemeResult result; // Failed with problems, or Verified pending the content digests
    std::vector<TCheckedSigner> signers;
};

TCheckedScheme CheckSchemeSigners(TScheme scheme, TByteView block, const TToAnsi& toAnsi);

// The digest kinds a verified scheme needs from the file.
void NeededContentDigests(const TCheckedScheme& scheme, std::set<TContentDigest>& kinds);
// Compares; a mismatch fails the scheme with what it means for the user.
void CheckContentDigests(TCheckedScheme& scheme, const std::map<TContentDigest, TBytes>& actual);

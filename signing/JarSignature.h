#pragma once
#include "signing/Crypto.h"
#include "signing/SignatureReport.h"

#include <atomic>
#include <string>
#include <vector>

// JAR signing (v1), as phones before Android 7.0 check it, and as later phones do when a package
// has nothing newer: every entry listed with its digest in META-INF/MANIFEST.MF, each signer's
// .SF vouching for the manifest, and the signer's PKCS#7 block signing the .SF.

// The package's members as the verifier needs them. Names use '/' as separator, as stored.
class IJarSource {
public:
    virtual ~IJarSource() = default;
    virtual size_t Count() const = 0;
    virtual const std::string& Name(size_t index) const = 0;
    // The member's bytes, false when it can't be had or is larger than limit.
    virtual bool Read(size_t index, uint64_t limit, TBytes& bytes) = 0;
    // Digests of the member's bytes, one per kind asked for, without holding it whole. False when
    // it can't be read (damaged, or cancelled).
    virtual bool DigestOf(size_t index, const std::vector<TDigestKind>& kinds, std::vector<TBytes>& digests) = 0;
};

struct TJarResult {
    TSchemeResult scheme;
    // The schemes the signers say were applied after them (X-Android-APK-Signed: 2, 3): a package
    // that lacks one of them has had it taken away.
    std::vector<int> laterSchemes;
};

// Members whose names need no digest in the manifest: the signature files themselves.
bool IsSignatureFile(const std::string& name);
// A signer's PKCS#7 block (META-INF/*.RSA, *.DSA, *.EC): its presence makes a package v1-signed.
bool IsSignatureBlockFile(const std::string& name);

TJarResult VerifyJarSignature(IJarSource& source, const TToAnsi& toAnsi, const std::atomic<bool>& cancel);

// A member name as a message shows it: in the program's code page, not endless.
std::string ShownName(const std::string& utf8Name, const TToAnsi& toAnsi);

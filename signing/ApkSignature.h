#pragma once
#include "signing/SignatureReport.h"

#include <atomic>
#include <string>
#include <vector>

// Verifies an APK's signatures as the phones it is meant for do, and as Debian's apksigner does
// for the package's own minSdkVersion: JAR signing (v1) where a phone below Android 7.0 would read
// it, APK Signature Scheme v2, v3 and v3.1 from the signing block, each signer's certificate, the
// contents against every digest, and the schemes against each other.
//
// Runs on any thread: it opens the file itself (through a ZIP reader with the portable platform:
// no message pump) and keeps nothing between calls. `cancel` is looked at between pieces of at most
// a few megabytes; once it is set the call returns soon with the verdict Cancelled. Never throws
// for anything in the file; a file that can't be opened is Broken with the reason.

struct TVerifyOptions {
    TToAnsi toAnsi = AsciiOnly; // certificate and member names into the program's code page
    uint32_t minSdk = 0;        // judge for this API level instead of the package's own minSdkVersion
};

TSignatureReport VerifyApkSignature(const std::string& path, const std::atomic<bool>& cancel,
                                    const TVerifyOptions& options = {});

// A bundle's APKs, each extracted to a file of its own.
struct TBundlePieceFile {
    std::string name; // as the user knows it ("base.apk", "config.arm64_v8a.apk"), in the code page
    std::string path;
};

struct TBundleSignatureReport {
    TSignatureVerdict verdict = TSignatureVerdict::Unsigned;
    std::vector<std::string> names;       // of the pieces, as given
    std::vector<TSignatureReport> pieces; // one per piece, as given
    int failedPiece = -1;                 // the first piece that is not Intact, or -1
    int otherSignerPiece = -1;            // the first piece signed by someone other than the first
    std::vector<TSignerFacts> signers;    // the bundle's signers (those of the first piece)
    uint32_t refusedBelowSdk = 0;         // the highest of the pieces'
};

// Every piece must be Intact and all must be signed by the same signers, as a phone installing them
// together demands.
TBundleSignatureReport VerifyBundleSignatures(const std::vector<TBundlePieceFile>& pieces,
                                              const std::atomic<bool>& cancel, const TVerifyOptions& options = {});

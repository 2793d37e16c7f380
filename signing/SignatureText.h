#pragma once
#include "signing/ApkSignature.h"

#include <string>

// What the window says about a package's signatures, in plain Chinese (GBK at run time):
//   label    one line for the label beside the facts, at most kSignatureLabelMax bytes: the verdict,
//            the schemes and the signer with its SHA-256 shortened to its ends;
//   summary  the verdict in a few lines: "签名有效" with the schemes, each signer's CN/O and whole
//            SHA-256, key rotation, a debug certificate, the phones that refuse it; "签名无效"
//            with every problem; "未签名"; both of the latter saying that phones will refuse it;
//   details  every certificate (subject, its signer, validity, key, SHA-256, SHA-1, MD5) and each
//            scheme's result.
constexpr size_t kSignatureLabelMax = 80;

std::string SignatureLabel(const TSignatureReport& report);
std::string SignatureSummary(const TSignatureReport& report);
std::string SignatureDetails(const TSignatureReport& report);

// The same for a bundle: the label and summary name the piece that fails or is signed by someone
// else; the details give every piece's.
std::string BundleSignatureLabel(const TBundleSignatureReport& bundle);
std::string BundleSignatureSummary(const TBundleSignatureReport& bundle);
std::string BundleSignatureDetails(const TBundleSignatureReport& bundle);

// "Android 7.0" for 24 and the like; "API 35" past what we know.
std::string AndroidVersionName(uint32_t sdk);
// A fingerprint with a colon between each pair of digits.
std::string ColonHex(const std::string& hex);

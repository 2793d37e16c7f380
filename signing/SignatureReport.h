#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the verifier found out about a package's signatures. Every text in here is in the program's
// ANSI code page (GBK), ready for the window; names from certificates come through the converter
// the caller gives (TVerifyOptions::toAnsi).

// Turns UTF-16 into the program's code page. Certificate names and member names are Unicode;
// only the window knows its code page, so it hands this in.
using TToAnsi = std::function<std::string(const std::u16string&)>;
// Printable ASCII as it is, everything else '?': what a caller gets that gives no converter.
std::string AsciiOnly(const std::u16string& text);

struct TCertificateFacts {
    std::string commonName;   // CN, or empty
    std::string organization; // O, or empty
    std::string subject;      // "CN=..., OU=..., O=..., C=..." as a certificate viewer shows it
    std::string authority;    // who signed the certificate, in the same form
    std::string notBefore;    // "2024-05-01 08:00:00 UTC"
    std::string notAfter;
    std::string keyType; // "RSA", "EC", "DSA" or OpenSSL's name for another
    int keyBits = 0;
    std::string curve;             // EC only: "P-256", ...
    std::string sha256, sha1, md5; // of the certificate's DER, upper-case hex without separators
    bool debug = false;            // made by the SDK's debug keystore (CN=Android Debug)
};

// One signer as a scheme sees it: its certificate and, for v3, the SDK range it signs for and its
// history of keys.
struct TSignerFacts {
    TCertificateFacts certificate;
    std::vector<TCertificateFacts> lineage; // v3 key rotation: oldest first, this signer last
    bool Rotated() const { return lineage.size() > 1; }
    uint32_t minSdk = 0; // v3 and v3.1; 0 and 0 for v1 and v2
    uint32_t maxSdk = 0;
};

enum class TScheme { V1, V2, V3, V31 };
constexpr int kSchemeCount = 4;
const char* SchemeName(TScheme scheme); // "v1", "v2", "v3", "v3.1"

enum class TSchemeState {
    Absent,     // not in the package
    Verified,   // present and sound
    Failed,     // present and broken
    NotChecked, // present, but no phone the package supports reads it (and so it was not read)
};

struct TSchemeResult {
    TScheme scheme = TScheme::V1;
    TSchemeState state = TSchemeState::Absent;
    std::vector<TSignerFacts> signers; // what was read, also when the scheme failed
    std::vector<std::string> problems; // why it failed, each a sentence for the user
    std::vector<std::string> notes;    // what is worth knowing although it did not fail
};

enum class TSignatureVerdict {
    Intact,   // every signature a supported phone checks is sound
    Broken,   // something a phone checks fails: phones refuse the package
    Unsigned, // no signature at all: phones refuse the package
    Cancelled // the caller asked to stop
};

struct TSignatureReport {
    TSignatureVerdict verdict = TSignatureVerdict::Unsigned;
    uint32_t minSdk = 1;                 // the package's minSdkVersion, as the verdict took it
    uint32_t refusedBelowSdk = 0;        // Intact, but phones below this API level refuse it (24 or 28); 0: none
    TSchemeResult schemes[kSchemeCount]; // indexed by TScheme
    std::vector<TSignerFacts> signers;   // who signed it, as the newest phone sees it
    std::vector<std::string> problems;   // why it is Broken: the schemes' problems and the package's own

    const TSchemeResult& Scheme(TScheme scheme) const { return schemes[static_cast<int>(scheme)]; }
    TSchemeResult& Scheme(TScheme scheme) { return schemes[static_cast<int>(scheme)]; }
    // The schemes that count for the verdict and passed: "v1+v2+v3"; empty when none did.
    std::string SchemesText() const;
};

#pragma once
#include <cstdint>
#include <string>

// The number by which Android 9 and later name a package's signer in `dumpsys package`: Java's
// Arrays.hashCode of the signer certificate's DER bytes (h = 31 * h + b over signed bytes, from 1,
// wrapping at 32 bits). The same number from a package's own certificate shows, before an install,
// that the phone holds the app signed by someone else.
std::uint32_t SignerHashOfCertificate(const std::string& der);

// The signer certificate of a v1 signature block (META-INF/*.RSA, *.DSA or *.EC: a PKCS#7
// SignedData in DER), as its complete DER bytes. False when the block is not such a structure or
// holds other than exactly one certificate, since then which one signed can't be told simply.
bool CertificateOfSignatureBlock(const std::string& block, std::string& der);

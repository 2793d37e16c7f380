#pragma once
#include "signing/Crypto.h"
#include "signing/SignatureReport.h"

// The facts of a signer's certificate that the user is shown: names in the program's code page,
// validity, key and fingerprints.
TCertificateFacts ReadCertificateFacts(X509* certificate, const TToAnsi& toAnsi);

// The same certificate: equal DER.
bool SameCertificate(const TCertificateFacts& a, const TCertificateFacts& b);

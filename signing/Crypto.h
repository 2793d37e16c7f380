#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

// OpenSSL objects owned by unique_ptr, and the few operations the verifier needs on them. Every
// input comes from the package, so each function takes bytes with their length and says no rather
// than trusting them.

struct TOpenSslFree {
    void operator()(X509* p) const { X509_free(p); }
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(PKCS7* p) const { PKCS7_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
    void operator()(STACK_OF(X509) * p) const { sk_X509_free(p); }
};
using TX509Ptr = std::unique_ptr<X509, TOpenSslFree>;
using TPkeyPtr = std::unique_ptr<EVP_PKEY, TOpenSslFree>;
using TMdCtxPtr = std::unique_ptr<EVP_MD_CTX, TOpenSslFree>;
using TPkcs7Ptr = std::unique_ptr<PKCS7, TOpenSslFree>;
using TBioPtr = std::unique_ptr<BIO, TOpenSslFree>;

using TBytes = std::vector<uint8_t>;

// A view of bytes held elsewhere.
struct TByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;
    TByteView() = default;
    TByteView(const uint8_t* d, size_t n) : data(d), size(n) {}
    TByteView(const TBytes& bytes) : data(bytes.data()), size(bytes.size()) {}
    bool operator==(const TByteView& other) const;
    TBytes Copy() const { return TBytes(data, data + size); }
};

// The digests packages are signed with.
enum class TDigestKind { Sha1, Sha256, Sha384, Sha512, Md5 };
const EVP_MD* DigestMd(TDigestKind kind);
TBytes Digest(TDigestKind kind, TByteView data);

// A digest being computed; Update may be called any number of times.
class THasher {
public:
    explicit THasher(TDigestKind kind);
    void Update(const void* data, size_t size);
    TBytes Final();

private:
    TMdCtxPtr ctx_;
};

// DER parsing through OpenSSL; null when the bytes are not exactly one such object.
TX509Ptr ParseCertificate(TByteView der);
TPkeyPtr ParsePublicKey(TByteView subjectPublicKeyInfo);
TBytes EncodePublicKey(EVP_PKEY* key); // SubjectPublicKeyInfo DER, empty on failure
TBytes EncodeCertificate(X509* certificate);

// How a signature over some bytes is checked.
enum class TPadding { None, Pkcs1, Pss };
struct TSignatureMethod {
    TDigestKind digest = TDigestKind::Sha256;
    TPadding padding = TPadding::None; // RSA only
    int keyType = EVP_PKEY_NONE;       // EVP_PKEY_RSA, EVP_PKEY_EC or EVP_PKEY_DSA
};
bool VerifySignature(EVP_PKEY* key, const TSignatureMethod& method, TByteView data, TByteView signature);

std::string HexUpper(TByteView bytes);

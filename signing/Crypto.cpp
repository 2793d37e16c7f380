#include "signing/Crypto.h"

#include <openssl/rsa.h>

#include <cstring>
#include <limits>
#include <stdexcept>

bool TByteView::operator==(const TByteView& other) const {
    return size == other.size && (size == 0 || std::memcmp(data, other.data, size) == 0);
}

const EVP_MD* DigestMd(TDigestKind kind) {
    switch (kind) {
    case TDigestKind::Sha1:
        return EVP_sha1();
    case TDigestKind::Sha256:
        return EVP_sha256();
    case TDigestKind::Sha384:
        return EVP_sha384();
    case TDigestKind::Sha512:
        return EVP_sha512();
    case TDigestKind::Md5:
        return EVP_md5();
    }
    return EVP_sha256();
}

THasher::THasher(TDigestKind kind) : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), DigestMd(kind), nullptr) != 1)
        throw std::bad_alloc();
}

void THasher::Update(const void* data, size_t size) {
    if (size > 0 && EVP_DigestUpdate(ctx_.get(), data, size) != 1)
        throw std::runtime_error("digest failed");
}

TBytes THasher::Final() {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx_.get(), out, &length) != 1)
        throw std::runtime_error("digest failed");
    return TBytes(out, out + length);
}

TBytes Digest(TDigestKind kind, TByteView data) {
    THasher hasher(kind);
    hasher.Update(data.data, data.size);
    return hasher.Final();
}

namespace {
bool FitsLong(size_t size) {
    return size <= static_cast<size_t>(std::numeric_limits<long>::max());
}
} // namespace

TX509Ptr ParseCertificate(TByteView der) {
    if (der.size == 0 || !FitsLong(der.size))
        return nullptr;
    const unsigned char* p = der.data;
    TX509Ptr certificate(d2i_X509(nullptr, &p, static_cast<long>(der.size)));
    // Trailing bytes would make two different encodings stand for one certificate.
    if (certificate && p != der.data + der.size)
        return nullptr;
    return certificate;
}

TPkeyPtr ParsePublicKey(TByteView subjectPublicKeyInfo) {
    if (subjectPublicKeyInfo.size == 0 || !FitsLong(subjectPublicKeyInfo.size))
        return nullptr;
    const unsigned char* p = subjectPublicKeyInfo.data;
    TPkeyPtr key(d2i_PUBKEY(nullptr, &p, static_cast<long>(subjectPublicKeyInfo.size)));
    if (key && p != subjectPublicKeyInfo.data + subjectPublicKeyInfo.size)
        return nullptr;
    return key;
}

TBytes EncodePublicKey(EVP_PKEY* key) {
    unsigned char* out = nullptr;
    const int length = key ? i2d_PUBKEY(key, &out) : -1;
    if (length <= 0)
        return {};
    TBytes bytes(out, out + length);
    OPENSSL_free(out);
    return bytes;
}

TBytes EncodeCertificate(X509* certificate) {
    unsigned char* out = nullptr;
    const int length = certificate ? i2d_X509(certificate, &out) : -1;
    if (length <= 0)
        return {};
    TBytes bytes(out, out + length);
    OPENSSL_free(out);
    return bytes;
}

bool VerifySignature(EVP_PKEY* key, const TSignatureMethod& method, TByteView data, TByteView signature) {
    if (!key || EVP_PKEY_get_base_id(key) != method.keyType || signature.size == 0)
        return false;
    TMdCtxPtr ctx(EVP_MD_CTX_new());
    EVP_PKEY_CTX* keyCtx = nullptr; // owned by ctx
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), &keyCtx, DigestMd(method.digest), nullptr, key) != 1)
        return false;
    if (method.keyType == EVP_PKEY_RSA) {
        const bool pss = method.padding == TPadding::Pss;
        if (EVP_PKEY_CTX_set_rsa_padding(keyCtx, pss ? RSA_PKCS1_PSS_PADDING : RSA_PKCS1_PADDING) != 1)
            return false;
        // PSS as packages use it: MGF1 with the message digest, salt as long as the digest.
        if (pss && (EVP_PKEY_CTX_set_rsa_mgf1_md(keyCtx, DigestMd(method.digest)) != 1 ||
                    EVP_PKEY_CTX_set_rsa_pss_saltlen(keyCtx, RSA_PSS_SALTLEN_DIGEST) != 1))
            return false;
    }
    return EVP_DigestVerify(ctx.get(), signature.data, signature.size, data.data, data.size) == 1;
}

std::string HexUpper(TByteView bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size * 2);
    for (size_t i = 0; i < bytes.size; ++i) {
        text += kDigits[bytes.data[i] >> 4];
        text += kDigits[bytes.data[i] & 15];
    }
    return text;
}

#include "signing/Certificate.h"

#include "resources/Utf.h"

#include <openssl/bio.h>
#include <openssl/buffer.h>
#include <openssl/core_names.h>
#include <openssl/objects.h>

#include <cstdio>
#include <ctime>

namespace {

std::string FromUtf8(const std::string& utf8, const TToAnsi& toAnsi) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    if (Utf8ToUtf16Length(bytes, utf8.size()) < 0)
        return toAnsi(std::u16string(u"?"));
    return toAnsi(Utf8ToUtf16(bytes, utf8.size()));
}

// One attribute of a name (the first CN, the first O), as UTF-8.
std::string NameEntry(X509_NAME* name, int nid) {
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0)
        return {};
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    if (length < 0)
        return {};
    std::string text(reinterpret_cast<char*>(utf8), static_cast<size_t>(length));
    OPENSSL_free(utf8);
    return text;
}

// The whole name, most specific part first and separated by ", ", as Java and the SDK tools print
// it; control characters escaped, the rest as UTF-8.
std::string NameLine(X509_NAME* name) {
    TBioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio)
        return {};
    const unsigned long flags =
        XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_DN_REV | XN_FLAG_FN_SN | ASN1_STRFLGS_UTF8_CONVERT | ASN1_STRFLGS_ESC_CTRL;
    if (X509_NAME_print_ex(bio.get(), name, 0, flags) < 0)
        return {};
    BUF_MEM* memory = nullptr;
    BIO_get_mem_ptr(bio.get(), &memory);
    return memory ? std::string(memory->data, memory->length) : std::string();
}

std::string TimeText(const ASN1_TIME* time) {
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return "?";
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string CurveName(EVP_PKEY* key) {
    char group[80] = {};
    size_t length = 0;
    if (EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, &length) != 1)
        return {};
    const int nid = OBJ_sn2nid(group);
    const char* nist = nid != NID_undef ? EC_curve_nid2nist(nid) : nullptr;
    return nist ? nist : group;
}

} // namespace

TCertificateFacts ReadCertificateFacts(X509* certificate, const TToAnsi& toAnsi) {
    TCertificateFacts facts;
    X509_NAME* subject = X509_get_subject_name(certificate);
    X509_NAME* authority = X509_get_issuer_name(certificate);
    const std::string commonName = subject ? NameEntry(subject, NID_commonName) : std::string();
    facts.commonName = FromUtf8(commonName, toAnsi);
    facts.organization = subject ? FromUtf8(NameEntry(subject, NID_organizationName), toAnsi) : std::string();
    facts.subject = subject ? FromUtf8(NameLine(subject), toAnsi) : std::string();
    facts.authority = authority ? FromUtf8(NameLine(authority), toAnsi) : std::string();
    facts.notBefore = TimeText(X509_get0_notBefore(certificate));
    facts.notAfter = TimeText(X509_get0_notAfter(certificate));
    // The SDK makes every debug build's key with this name.
    facts.debug = commonName == "Android Debug";

    if (EVP_PKEY* key = X509_get0_pubkey(certificate)) {
        const int type = EVP_PKEY_get_base_id(key);
        facts.keyType = type == EVP_PKEY_RSA   ? "RSA"
                        : type == EVP_PKEY_EC  ? "EC"
                        : type == EVP_PKEY_DSA ? "DSA"
                                               : (OBJ_nid2sn(type) ? OBJ_nid2sn(type) : "?");
        facts.keyBits = EVP_PKEY_get_bits(key);
        if (type == EVP_PKEY_EC)
            facts.curve = CurveName(key);
    } else {
        facts.keyType = "?";
    }
    const TBytes der = EncodeCertificate(certificate);
    facts.sha256 = HexUpper(Digest(TDigestKind::Sha256, der));
    facts.sha1 = HexUpper(Digest(TDigestKind::Sha1, der));
    facts.md5 = HexUpper(Digest(TDigestKind::Md5, der));
    return facts;
}

bool SameCertificate(const TCertificateFacts& a, const TCertificateFacts& b) {
    return a.sha256 == b.sha256;
}

#include "device/SignerHash.h"

#include <cstddef>

namespace {

// One DER element: its tag, and where its contents lie in the text being read.
struct Element {
    unsigned char tag = 0;
    std::size_t start = 0; // of the whole element, tag included
    std::size_t contents = 0;
    std::size_t end = 0; // one past its last byte
};

// Reads the element at `at`, which must end by `limit`. Only DER's definite lengths, of up to four
// length bytes, are taken.
bool ReadElement(const std::string& text, std::size_t at, std::size_t limit, Element& element) {
    if (limit > text.size() || at >= limit || limit - at < 2)
        return false;
    element.tag = static_cast<unsigned char>(text[at]);
    element.start = at;
    std::size_t pos = at + 1;
    std::size_t length = static_cast<unsigned char>(text[pos++]);
    if (length & 0x80) {
        const std::size_t bytes = length & 0x7F;
        if (bytes == 0 || bytes > 4 || limit - pos < bytes)
            return false;
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            length = (length << 8) | static_cast<unsigned char>(text[pos++]);
    }
    if (limit - pos < length)
        return false;
    element.contents = pos;
    element.end = pos + length;
    return true;
}

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kSet = 0x31;
constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kObjectId = 0x06;
constexpr unsigned char kContext0 = 0xA0;

// 1.2.840.113549.1.7.2, PKCS#7's signedData.
const char kSignedDataOid[] = "\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02";

} // namespace

std::uint32_t SignerHashOfCertificate(const std::string& der) {
    std::uint32_t hash = 1;
    for (char c : der)
        hash = 31u * hash + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    return hash;
}

bool CertificateOfSignatureBlock(const std::string& block, std::string& der) {
    // ContentInfo ::= SEQUENCE { contentType OID, [0] EXPLICIT SignedData }
    Element info, type, wrapper, signedData, version, digests, content, certificates;
    if (!ReadElement(block, 0, block.size(), info) || info.tag != kSequence ||
        !ReadElement(block, info.contents, info.end, type) || type.tag != kObjectId ||
        block.compare(type.contents, type.end - type.contents, kSignedDataOid, sizeof kSignedDataOid - 1) != 0 ||
        !ReadElement(block, type.end, info.end, wrapper) || wrapper.tag != kContext0 ||
        !ReadElement(block, wrapper.contents, wrapper.end, signedData) || signedData.tag != kSequence)
        return false;
    // SignedData ::= SEQUENCE { version, digestAlgorithms SET, encapContentInfo, [0] certificates, ... }
    if (!ReadElement(block, signedData.contents, signedData.end, version) || version.tag != kInteger ||
        !ReadElement(block, version.end, signedData.end, digests) || digests.tag != kSet ||
        !ReadElement(block, digests.end, signedData.end, content) || content.tag != kSequence ||
        !ReadElement(block, content.end, signedData.end, certificates) || certificates.tag != kContext0)
        return false;
    Element certificate;
    if (!ReadElement(block, certificates.contents, certificates.end, certificate) || certificate.tag != kSequence ||
        certificate.end != certificates.end)
        return false;
    der = block.substr(certificate.start, certificate.end - certificate.start);
    return true;
}

#include "zip/ZipCrypto.h"

#include "zip/Crc32.h"
#include "zip/ZipFormat.h"

namespace {
uint32_t CrcByte(uint32_t crc, uint8_t byte) {
    return UpdateCrc32(crc, &byte, 1);
}
} // namespace

TZipCrypto::TZipCrypto(const std::string& password) {
    for (char c : password)
        UpdateKeys(static_cast<uint8_t>(c));
}

uint8_t TZipCrypto::KeyStream() const {
    const uint32_t temp = (key2_ | 2) & 0xFFFF;
    return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void TZipCrypto::UpdateKeys(uint8_t plain) {
    key0_ = CrcByte(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
    key2_ = CrcByte(key2_, static_cast<uint8_t>(key1_ >> 24));
}

void TZipCrypto::Decrypt(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const auto plain = static_cast<uint8_t>(data[i] ^ KeyStream());
        UpdateKeys(plain);
        data[i] = plain;
    }
}

bool TZipCrypto::CheckHeader(uint8_t* header, uint8_t checkByte) {
    Decrypt(header, ZipFormat::kEncryptionHeaderSize);
    return header[ZipFormat::kEncryptionHeaderSize - 1] == checkByte;
}

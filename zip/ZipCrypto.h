#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The traditional PKWARE encryption of the ZIP format: three keys driven by the password and then
// by each plain byte.
class TZipCrypto {
public:
    explicit TZipCrypto(const std::string& password);

    void Decrypt(uint8_t* data, size_t size);
    // Decrypts the 12-byte encryption header in place and tells whether its last byte equals the
    // check byte (the high byte of the CRC, or of the MS-DOS time for a member with a data
    // descriptor). A wrong password fails this 255 times in 256.
    bool CheckHeader(uint8_t* header, uint8_t checkByte);

private:
    uint8_t KeyStream() const;
    void UpdateKeys(uint8_t plain);

    uint32_t key0_ = 0x12345678;
    uint32_t key1_ = 0x23456789;
    uint32_t key2_ = 0x34567890;
};

#include "zip/Crc32.h"

#include <zlib.h>

#include <array>
#include <climits>

namespace {

// Eight tables of the byte-wise CRC: table 0 is the classic one; table k advances a byte through k
// more zero bytes, so eight input bytes are folded in with eight independent lookups.
using TCrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr TCrcTables MakeTables() {
    TCrcTables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        for (size_t k = 1; k < 8; ++k)
            tables[k][n] = tables[0][tables[k - 1][n] & 0xFF] ^ (tables[k - 1][n] >> 8);
    }
    return tables;
}

constexpr TCrcTables kTables = MakeTables();

} // namespace

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size) {
    // Large pieces go to zlib's CRC, half again as fast as the tables below: extracting a member
    // of hundreds of megabytes is bound by it. zlib keeps the register inverted.
    constexpr size_t kLargePiece = 4096;
    while (size >= kLargePiece) {
        const size_t n = size > UINT_MAX ? (UINT_MAX & ~size_t(4095)) : size;
        crc = ~static_cast<uint32_t>(crc32(~crc & 0xFFFFFFFFu, data, static_cast<uInt>(n)));
        data += n;
        size -= n;
    }
    while (size >= 8) {
        const uint32_t low = crc ^ (static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                                    (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24));
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
              kTables[4][low >> 24] ^ kTables[3][data[4]] ^ kTables[2][data[5]] ^ kTables[1][data[6]] ^
              kTables[0][data[7]];
        data += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = kTables[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return crc;
}

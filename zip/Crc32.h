#pragma once
#include <cstddef>
#include <cstdint>

// The CRC-32 of the ZIP format: reflected polynomial 0xEDB88320, register started at 0xFFFFFFFF
// and inverted at the end. UpdateCrc32 works on the raw register, so a member's bytes can be fed in
// pieces; Crc32 is the whole computation for one buffer.
uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size);

inline uint32_t Crc32(const uint8_t* data, size_t size) {
    return ~UpdateCrc32(0xFFFFFFFFu, data, size);
}

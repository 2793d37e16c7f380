#pragma once
// Building blocks for PNG files that no tool will write on request: chunks with chosen contents,
// damaged CRCs, odd orders. Each chunk gets a correct CRC unless a test spoils it afterwards.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void WriteBe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(value >> (24 - 8 * i));
}

inline uint32_t GetBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Written into a buffer of the final size: GCC 12 warns falsely about vector::insert in such helpers.
inline Bytes Chunk(const char* type, const Bytes& body) {
    Bytes out(12 + body.size());
    WriteBe32(out.data(), uint32_t(body.size()));
    std::memcpy(out.data() + 4, type, 4);
    if (!body.empty())
        std::memcpy(out.data() + 8, body.data(), body.size());
    WriteBe32(out.data() + 8 + body.size(), uint32_t(crc32(0L, out.data() + 4, uInt(4 + body.size()))));
    return out;
}

inline Bytes Ihdr(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, uint8_t interlace = 0,
                  uint8_t compression = 0, uint8_t filter = 0) {
    Bytes body(13);
    WriteBe32(body.data(), width);
    WriteBe32(body.data() + 4, height);
    body[8] = bitDepth;
    body[9] = colourType;
    body[10] = compression;
    body[11] = filter;
    body[12] = interlace;
    return Chunk("IHDR", body);
}

inline Bytes Compress(const Bytes& raw) {
    Bytes out(compressBound(uLong(raw.size())));
    uLongf size = uLongf(out.size());
    compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9);
    out.resize(size);
    return out;
}

inline Bytes Idat(const Bytes& scanlines) {
    return Chunk("IDAT", Compress(scanlines));
}
inline Bytes Iend() {
    return Chunk("IEND", {});
}

inline Bytes Png(std::initializer_list<Bytes> chunks) {
    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Bytes& chunk : chunks)
        out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Recomputes the CRC of every whole chunk, so that damage elsewhere reaches the decoder's later
// checks instead of stopping at the CRC.
inline Bytes RepairCrcs(Bytes file) {
    size_t pos = 8;
    while (file.size() >= 12 && pos <= file.size() - 12) {
        uint32_t length = GetBe32(&file[pos]);
        if (length > file.size() - pos - 12)
            break;
        WriteBe32(&file[pos + 8 + length], uint32_t(crc32(0L, &file[pos + 4], uInt(4 + length))));
        pos += 12 + size_t(length);
    }
    return file;
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

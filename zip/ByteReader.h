#pragma once
#include <cstddef>
#include <cstdint>

// Little-endian reads from a record held in memory. Every read is checked against the record's
// length; a read outside it yields 0 and marks the reader as failed, so a parser can read a whole
// record and test Ok() once.
class TByteReader {
public:
    TByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8(size_t offset) { return Fits(offset, 1) ? data_[offset] : 0; }
    uint16_t U16(size_t offset) {
        if (!Fits(offset, 2))
            return 0;
        return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    uint32_t U32(size_t offset) {
        if (!Fits(offset, 4))
            return 0;
        return static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
               (static_cast<uint32_t>(data_[offset + 2]) << 16) | (static_cast<uint32_t>(data_[offset + 3]) << 24);
    }
    uint64_t U64(size_t offset) {
        if (!Fits(offset, 8))
            return 0;
        return static_cast<uint64_t>(U32(offset)) | (static_cast<uint64_t>(U32(offset + 4)) << 32);
    }

    size_t Size() const { return size_; }
    bool Ok() const { return ok_; }

private:
    bool Fits(size_t offset, size_t width) {
        if (offset <= size_ && width <= size_ - offset)
            return true;
        ok_ = false;
        return false;
    }

    const uint8_t* data_;
    size_t size_;
    bool ok_ = true;
};

// The matching writer, for records that the reader keeps in their on-disk form.
inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, static_cast<uint16_t>(v));
    PutU16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void PutU64(uint8_t* p, uint64_t v) {
    PutU32(p, static_cast<uint32_t>(v));
    PutU32(p + 4, static_cast<uint32_t>(v >> 32));
}

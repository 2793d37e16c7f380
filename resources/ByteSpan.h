#pragma once
#include <cstddef>
#include <cstdint>

// A read-only window on bytes. Every read names an offset and checks it against the window's end
// first; a read that would pass the end fails instead of touching memory outside.
class TByteSpan {
public:
    TByteSpan() = default;
    TByteSpan(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }

    // True when count bytes starting at offset lie inside the window (without overflow).
    bool Has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }

    bool U8(size_t offset, uint8_t& out) const {
        if (!Has(offset, 1))
            return false;
        out = data_[offset];
        return true;
    }
    bool U16(size_t offset, uint16_t& out) const {
        if (!Has(offset, 2))
            return false;
        out = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
        return true;
    }
    bool U32(size_t offset, uint32_t& out) const {
        if (!Has(offset, 4))
            return false;
        out = static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
              (static_cast<uint32_t>(data_[offset + 2]) << 16) | (static_cast<uint32_t>(data_[offset + 3]) << 24);
        return true;
    }

    // Reads that yield 0 past the end, for fields whose presence the caller has already checked.
    uint8_t U8Or0(size_t offset) const {
        uint8_t value = 0;
        U8(offset, value);
        return value;
    }
    uint16_t U16Or0(size_t offset) const {
        uint16_t value = 0;
        U16(offset, value);
        return value;
    }
    uint32_t U32Or0(size_t offset) const {
        uint32_t value = 0;
        U32(offset, value);
        return value;
    }

    // The part [offset, offset + count); an empty window when that is not inside this one.
    TByteSpan Sub(size_t offset, size_t count) const {
        return Has(offset, count) ? TByteSpan(data_ + offset, count) : TByteSpan();
    }
    // Everything from offset to the end; empty when offset is past the end.
    TByteSpan From(size_t offset) const {
        return offset <= size_ ? TByteSpan(data_ + offset, size_ - offset) : TByteSpan();
    }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

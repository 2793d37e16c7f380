#include "zip/Streams.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

TMemoryStream::TMemoryStream(uint64_t limit) : limit_(std::min<uint64_t>(limit, SIZE_MAX / 2)) {}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    if (count == 0 || position_ >= data_.size())
        return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, data_.size() - position_));
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0)
        return 0;
    if (position_ > limit_ || count > limit_ - position_)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    const auto start = static_cast<size_t>(position_);
    if (start > data_.size())
        data_.resize(start); // a gap after a seek past the end reads as zeros
    const size_t overlap = std::min(count, data_.size() - start);
    if (overlap > 0)
        std::memcpy(data_.data() + start, bytes, overlap);
    // Appending through insert lets the vector grow geometrically without zero-filling first.
    data_.insert(data_.end(), bytes + overlap, bytes + count);
    position_ += count;
    return count;
}

bool TMemoryStream::SetSize(uint64_t size) {
    if (size > limit_)
        return false;
    data_.resize(static_cast<size_t>(size));
    position_ = std::min(position_, size);
    return true;
}

std::vector<uint8_t> TMemoryStream::TakeBytes() {
    std::vector<uint8_t> bytes;
    bytes.swap(data_);
    position_ = 0;
    return bytes;
}

size_t TCountingStream::Write(const void*, size_t count) {
    position_ += count;
    written_ += count;
    size_ = std::max(size_, position_);
    return count;
}

bool TCountingStream::SetSize(uint64_t size) {
    size_ = size;
    return true;
}

TFileWriteStream::~TFileWriteStream() { Close(); }

bool TFileWriteStream::Create(const std::string& path) {
    Close();
    failed_ = false;
    position_ = 0;
    size_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr)
        return false;
    // The reader hands over pieces of 32 KiB; a small library buffer would only split each write
    // in two.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return true;
}

bool TFileWriteStream::Close() {
    if (file_ == nullptr)
        return !failed_;
    if (std::fclose(file_) != 0)
        failed_ = true;
    file_ = nullptr;
    return !failed_;
}

size_t TFileWriteStream::Write(const void* buffer, size_t count) {
    if (file_ == nullptr || failed_ || count == 0)
        return 0;
    const size_t written = std::fwrite(buffer, 1, count, file_);
    if (written < count)
        failed_ = true;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (size_t i = 0; i < written && position_ + i < sizeof head_; ++i)
        head_[position_ + i] = bytes[i];
    position_ += written;
    size_ = std::max(size_, position_);
    return written;
}

void TFileWriteStream::SetPosition(uint64_t position) {
    if (file_ == nullptr || position == position_)
        return;
    // Never past the end: a gap would be bytes that no member wrote.
    position = std::min(position, size_);
#ifdef _WIN32
    const bool moved = _fseeki64(file_, static_cast<int64_t>(position), SEEK_SET) == 0;
#else
    const bool moved = fseeko(file_, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
    if (moved)
        position_ = position;
    else
        failed_ = true;
}

#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The target of an extraction: a seekable stream whose size can be set. Position and size are
// 64-bit; a stream that cannot hold what it is given says so through a short Write or a false
// SetSize, and the reader turns that into its own error.
class TStream {
public:
    virtual ~TStream() = default;
    virtual size_t Read(void* buffer, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t count) = 0;
    virtual uint64_t Position() const = 0;
    virtual void SetPosition(uint64_t position) = 0;
    virtual uint64_t Size() const = 0;
    // Grows (new bytes are zero) or cuts the stream; the position is kept, within the new size.
    virtual bool SetSize(uint64_t size) = 0;
};

// A growable stream in memory. It refuses to grow past its limit (1 GiB unless told otherwise), so
// a member that claims an absurd size fails with an error instead of exhausting memory.
class TMemoryStream : public TStream {
public:
    static constexpr uint64_t kDefaultLimit = uint64_t(1) << 30;

    explicit TMemoryStream(uint64_t limit = kDefaultLimit);

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    uint64_t Position() const override { return position_; }
    void SetPosition(uint64_t position) override { position_ = position; }
    uint64_t Size() const override { return data_.size(); }
    bool SetSize(uint64_t size) override;

    const std::vector<uint8_t>& Bytes() const { return data_; }
    // Hands the bytes over and leaves the stream empty.
    std::vector<uint8_t> TakeBytes();
    uint64_t Limit() const { return limit_; }

private:
    std::vector<uint8_t> data_;
    uint64_t position_ = 0;
    uint64_t limit_;
};

// A sink that keeps nothing but counts what it is given: for measuring the reader alone, and for
// testing a member without holding it.
class TCountingStream : public TStream {
public:
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override;
    uint64_t Position() const override { return position_; }
    void SetPosition(uint64_t position) override { position_ = position; }
    uint64_t Size() const override { return size_; }
    bool SetSize(uint64_t size) override;

    uint64_t BytesWritten() const { return written_; }

private:
    uint64_t position_ = 0;
    uint64_t size_ = 0;
    uint64_t written_ = 0;
};

// A new file as the target of an extraction, written through the C library (whose paths are in the
// ANSI code page on Windows), so a member of any size passes through a small buffer only. It never
// sizes itself ahead of the data: the size a member claims is not trusted with disk space. Reading
// is not offered. Move-only, like the file it owns.
class TFileWriteStream : public TStream {
public:
    TFileWriteStream() = default;
    TFileWriteStream(const TFileWriteStream&) = delete;
    TFileWriteStream& operator=(const TFileWriteStream&) = delete;
    ~TFileWriteStream() override;

    // Creates (or empties) the file; false when it can't be opened for writing.
    bool Create(const std::string& path);
    // Writes out what is buffered and closes; false when this or any earlier write failed (a full
    // disk may only show here).
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }

    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override;
    uint64_t Position() const override { return position_; }
    void SetPosition(uint64_t position) override;
    uint64_t Size() const override { return size_; }
    // Only the size the file has already is accepted.
    bool SetSize(uint64_t size) override { return size == size_; }

    // The first bytes of the file, as written (up to four), to tell what it holds.
    const uint8_t* Head() const { return head_; }
    size_t HeadLength() const { return size_ < sizeof head_ ? static_cast<size_t>(size_) : sizeof head_; }

private:
    std::FILE* file_ = nullptr;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
    bool failed_ = false;
    uint8_t head_[4] = {};
};

#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The two ends a decoder works between: the member's compressed bytes, handed out in pieces by the
// reader, and the reader's output step, which checks the size bound, keeps the CRC and writes.

// Data moves in pieces of at most this many bytes in both directions.
constexpr size_t kZipPieceSize = 32768;
// Stored members, which need no decoder, are copied in larger pieces: a member of hundreds of
// megabytes (the APKs inside a bundle) then costs no more system calls than a plain file copy.
constexpr size_t kZipStoredPieceSize = 262144;

class IMemberInput {
public:
    virtual ~IMemberInput() = default;
    // Points data at the next piece of compressed bytes and returns its length; 0 once the member's
    // compressed bytes are used up.
    virtual size_t ReadInputChunk(const uint8_t*& data) = 0;
};

class IMemberOutput {
public:
    virtual ~IMemberOutput() = default;
    // Takes a produced piece of 1 to kZipPieceSize bytes.
    virtual void FlushOutput(const uint8_t* data, size_t size) = 0;
};

// Bits of the compressed bytes, least significant bit of each byte first. Past the end of the data
// it supplies zero bits, as the last code of a member may end inside its final byte; once more
// than a few bytes have been made up the input counts as overrun and the decoder stops.
class TBitInput {
public:
    explicit TBitInput(IMemberInput& input) : input_(input) {}

    uint32_t Peek(int count); // count <= 24
    void Drop(int count);
    uint32_t Bits(int count) {
        const uint32_t value = Peek(count);
        Drop(count);
        return value;
    }
    bool Overrun() const { return madeUp_ > kSlackBytes; }

private:
    static constexpr size_t kSlackBytes = 4;
    void Refill(int needed);

    IMemberInput& input_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    uint64_t buffer_ = 0;
    int count_ = 0;
    size_t madeUp_ = 0;
    bool ended_ = false;
};

// Output of the older methods: a sliding window (the history that back-references copy from) that
// hands out pieces of kZipPieceSize bytes. It never produces more than the limit, the member's
// declared size: these methods have no end code of their own.
class TWindowOutput {
public:
    TWindowOutput(IMemberOutput& output, uint64_t limit);

    void Put(uint8_t byte) {
        if (produced_ >= limit_)
            return;
        window_[produced_ & kMask] = byte;
        ++produced_;
        if (produced_ - flushed_ == kZipPieceSize)
            FlushPiece();
    }
    // Copies length bytes from distance back (1 = the last byte); bytes before the start of the
    // member are zeros.
    void Copy(uint32_t distance, uint32_t length);
    bool Done() const { return produced_ >= limit_; }
    // Hands out what is still pending.
    void Finish();

private:
    static constexpr size_t kWindowSize = 65536; // a piece plus at least 32 KiB of history
    static constexpr size_t kMask = kWindowSize - 1;
    void FlushPiece();

    IMemberOutput& output_;
    std::vector<uint8_t> window_;
    uint64_t limit_;
    uint64_t produced_ = 0;
    uint64_t flushed_ = 0;
};

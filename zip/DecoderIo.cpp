#include "zip/DecoderIo.h"

void TBitInput::Refill(int needed) {
    while (count_ <= 56) {
        if (pos_ == size_) {
            if (!ended_) {
                size_ = input_.ReadInputChunk(data_);
                pos_ = 0;
                if (size_ == 0)
                    ended_ = true;
            }
            if (ended_) {
                if (count_ >= needed)
                    break;
                // Zero bits past the end; count the made-up bytes to notice a runaway decoder.
                count_ += 8;
                ++madeUp_;
                continue;
            }
        }
        buffer_ |= static_cast<uint64_t>(data_[pos_++]) << count_;
        count_ += 8;
    }
}

uint32_t TBitInput::Peek(int count) {
    if (count_ < count)
        Refill(count);
    return static_cast<uint32_t>(buffer_ & ((uint64_t(1) << count) - 1));
}

void TBitInput::Drop(int count) {
    if (count_ < count)
        Refill(count);
    buffer_ >>= count;
    count_ -= count;
}

TWindowOutput::TWindowOutput(IMemberOutput& output, uint64_t limit)
    : output_(output), window_(kWindowSize, 0), limit_(limit) {}

void TWindowOutput::Copy(uint32_t distance, uint32_t length) {
    for (uint32_t i = 0; i < length && produced_ < limit_; ++i) {
        const uint8_t byte = distance <= produced_ ? window_[(produced_ - distance) & kMask] : 0;
        Put(byte);
    }
}

void TWindowOutput::FlushPiece() {
    output_.FlushOutput(window_.data() + (flushed_ & kMask), static_cast<size_t>(produced_ - flushed_));
    flushed_ = produced_;
}

void TWindowOutput::Finish() {
    if (produced_ > flushed_)
        FlushPiece();
}

#include "zip/Inflate.h"

#include <vector>
#include <zlib.h>

#include "zip/ZipErrors.h"

namespace {

// Owns an initialised inflate state.
class TInflateState {
public:
    TInflateState() {
        // Negative window bits: raw DEFLATE with the full 32 KiB window.
        if (inflateInit2(&stream_, -MAX_WBITS) < 0)
            throw EZCompressionError();
        live_ = true;
    }
    TInflateState(const TInflateState&) = delete;
    TInflateState& operator=(const TInflateState&) = delete;
    ~TInflateState() {
        if (live_)
            inflateEnd(&stream_);
    }
    void End() {
        live_ = false;
        if (inflateEnd(&stream_) < 0)
            throw EZCompressionError();
    }
    z_stream& Stream() { return stream_; }

private:
    z_stream stream_{};
    bool live_ = false;
};

} // namespace

void InflateMember(IMemberInput& input, IMemberOutput& output) {
    std::vector<uint8_t> piece(kZipPieceSize);
    TInflateState state;
    z_stream& stream = state.Stream();
    stream.next_out = piece.data();
    stream.avail_out = static_cast<uInt>(piece.size());
    for (;;) {
        if (stream.avail_in == 0) {
            const uint8_t* data = nullptr;
            const size_t size = input.ReadInputChunk(data);
            // Compressed bytes used up before the stream's end: the data is cut short or corrupt.
            if (size == 0)
                throw EZCompressionError();
            stream.next_in = const_cast<Bytef*>(data);
            stream.avail_in = static_cast<uInt>(size);
        }
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result < 0 || result == Z_NEED_DICT)
            throw EZCompressionError();
        if (stream.avail_out == 0 || result == Z_STREAM_END) {
            const size_t produced = piece.size() - stream.avail_out;
            if (produced > 0)
                output.FlushOutput(piece.data(), produced);
            stream.next_out = piece.data();
            stream.avail_out = static_cast<uInt>(piece.size());
        }
        if (result == Z_STREAM_END)
            break;
    }
    state.End();
}

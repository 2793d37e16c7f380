// The decoders' shared input and output, and hostile streams for the older methods.
#include <doctest/doctest.h>

#include <algorithm>
#include <chrono>

#include "zip/DecoderIo.h"
#include "zip/Unshrink.h"

namespace {

// Hands out a prepared byte string in pieces of a fixed size.
struct TPiecesInput : IMemberInput {
    std::vector<uint8_t> data;
    size_t piece = 7;
    size_t pos = 0;
    size_t ReadInputChunk(const uint8_t*& out) override {
        const size_t n = std::min(piece, data.size() - pos);
        out = data.data() + pos;
        pos += n;
        return n;
    }
};

struct TCollectingOutput : IMemberOutput {
    std::vector<uint8_t> bytes;
    std::vector<size_t> pieces;
    void FlushOutput(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        pieces.push_back(size);
    }
};

// Packs codes of a given width, least significant bit first.
struct TBitPacker {
    std::vector<uint8_t> bytes;
    uint64_t acc = 0;
    int count = 0;
    void Put(uint32_t value, int width) {
        acc |= static_cast<uint64_t>(value) << count;
        count += width;
        while (count >= 8) {
            bytes.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            count -= 8;
        }
    }
    std::vector<uint8_t> Finish() {
        if (count > 0)
            bytes.push_back(static_cast<uint8_t>(acc));
        return bytes;
    }
};

} // namespace

TEST_CASE("bits come least significant first across pieces, zeros past the end") {
    TPiecesInput input;
    input.data = {0xA5, 0x0F, 0xFF};
    input.piece = 1;
    TBitInput bits(input);
    CHECK(bits.Bits(4) == 0x5);
    CHECK(bits.Bits(8) == 0xFA);
    CHECK(bits.Bits(12) == 0xFF0);
    CHECK(bits.Bits(16) == 0); // made up
    CHECK_FALSE(bits.Overrun());
    for (int i = 0; i < 3; ++i)
        bits.Bits(16);
    CHECK(bits.Overrun());
}

TEST_CASE("the window output copies history, zeros before the start, and never passes its limit") {
    TCollectingOutput output;
    TWindowOutput window(output, 70000);
    window.Put('a');
    window.Copy(3, 2); // before the start: zeros
    window.Copy(1, 69999);
    CHECK(window.Done());
    window.Finish();
    REQUIRE(output.bytes.size() == 70000);
    CHECK(output.bytes[0] == 'a');
    CHECK(output.bytes[1] == 0);
    CHECK(output.pieces == std::vector<size_t>{32768, 32768, 4464});
}

TEST_CASE("a Shrink stream of nothing but partial clears ends in linear time") {
    TBitPacker packer;
    packer.Put('a', 9);
    for (int i = 0; i < 200000; ++i) {
        packer.Put(256, 9);
        packer.Put(2, 9);
        packer.Put('a', 9);
    }
    TPiecesInput input;
    input.data = packer.Finish();
    input.piece = 32768;
    TCollectingOutput output;
    const auto start = std::chrono::steady_clock::now();
    UnshrinkMember(input, output, uint64_t(1) << 30);
    // The zero bits that pad the last byte (and the few made up after it) decode as literal zeros.
    CHECK(output.bytes.size() >= 200001);
    CHECK(output.bytes.size() <= 200010);
    CHECK(std::chrono::steady_clock::now() - start < std::chrono::seconds(5));
}

#include "zip/Unreduce.h"

#include <array>

namespace {

constexpr uint8_t kDle = 144;
constexpr int kFollowerCountBits = 6;

// Bits of the index into a follower set of n bytes (n >= 1): at least 1.
int IndexBits(unsigned n) {
    int bits = 1;
    while ((1u << bits) < n)
        ++bits;
    return bits;
}

} // namespace

void UnreduceMember(IMemberInput& input, IMemberOutput& output, uint64_t uncompressedSize, int factor) {
    if (factor < 1 || factor > 4)
        return;
    TBitInput bits(input);
    TWindowOutput out(output, uncompressedSize);

    // Follower sets, stored from byte 255 down to byte 0.
    std::array<std::array<uint8_t, 64>, 256> followers{};
    std::array<uint8_t, 256> followerCount{};
    for (int c = 255; c >= 0; --c) {
        const auto n = static_cast<uint8_t>(bits.Bits(kFollowerCountBits));
        followerCount[c] = n;
        for (unsigned i = 0; i < n; ++i)
            followers[c][i] = static_cast<uint8_t>(bits.Bits(8));
    }

    const uint32_t lengthMask = 0x7Fu >> (factor - 1);
    const int distanceShift = 8 - factor;
    const uint32_t distanceMask = (1u << factor) - 1;
    uint8_t last = 0;
    int state = 0;
    uint32_t v = 0;
    uint32_t length = 0;
    while (!out.Done() && !bits.Overrun()) {
        uint8_t c;
        const unsigned n = followerCount[last];
        if (n == 0 || bits.Bits(1) == 1) {
            c = static_cast<uint8_t>(bits.Bits(8));
        } else {
            const uint32_t index = bits.Bits(IndexBits(n));
            if (index >= n)
                break;
            c = followers[last][index];
        }
        last = c;

        switch (state) {
        case 0:
            if (c == kDle)
                state = 1;
            else
                out.Put(c);
            break;
        case 1:
            if (c == 0) {
                out.Put(kDle);
                state = 0;
            } else {
                v = c;
                length = v & lengthMask;
                state = length == lengthMask ? 2 : 3;
            }
            break;
        case 2:
            length += c;
            state = 3;
            break;
        default: {
            const uint32_t distance = ((v >> distanceShift) & distanceMask) * 256 + c + 1;
            out.Copy(distance, length + 3);
            state = 0;
            break;
        }
        }
    }
    out.Finish();
}

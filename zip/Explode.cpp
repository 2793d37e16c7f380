#include "zip/Explode.h"

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <vector>

namespace {

constexpr int kMaxCodeLength = 16;
constexpr int kPrimaryBits = 9;
constexpr size_t kPrimarySize = size_t(1) << kPrimaryBits;

// A Shannon-Fano code. Codes of up to 9 bits are decoded by one table lookup; longer ones (rare:
// they belong to rare symbols) by a search among the codes of each length.
class TShannonFano {
public:
    // Reads the code lengths of symbolCount symbols (run-length coded: a count of bytes, then per
    // byte a run of up to 16 symbols sharing one length) and builds the code. False for a
    // description that does not cover exactly symbolCount symbols.
    bool Read(TBitInput& bits, size_t symbolCount) {
        std::vector<uint8_t> lengths;
        lengths.reserve(symbolCount);
        const uint32_t byteCount = bits.Bits(8) + 1;
        for (uint32_t i = 0; i < byteCount; ++i) {
            const uint32_t b = bits.Bits(8);
            const uint32_t length = (b & 0x0F) + 1;
            const uint32_t run = (b >> 4) + 1;
            for (uint32_t k = 0; k < run; ++k) {
                if (lengths.size() == symbolCount)
                    return false;
                lengths.push_back(static_cast<uint8_t>(length));
            }
        }
        if (lengths.size() != symbolCount)
            return false;
        Build(lengths);
        return true;
    }

    // The next symbol, or -1 where the bits form no code.
    int Decode(TBitInput& bits) const {
        const uint32_t peeked = bits.Peek(kMaxCodeLength);
        const uint32_t entry = primary_[peeked & (kPrimarySize - 1)];
        if (entry != 0) {
            bits.Drop(static_cast<int>(entry >> 16));
            return static_cast<int>(entry & 0xFFFF);
        }
        // The first bit read is the code's most significant one.
        uint32_t code = 0;
        for (int length = 1; length <= kMaxCodeLength; ++length) {
            code = (code << 1) | ((peeked >> (length - 1)) & 1u);
            if (length <= kPrimaryBits)
                continue;
            const std::vector<TCode>& codes = byLength_[length];
            const auto it = std::lower_bound(codes.begin(), codes.end(), code,
                                             [](const TCode& c, uint32_t value) { return c.code < value; });
            if (it != codes.end() && it->code == code) {
                bits.Drop(length);
                return it->symbol;
            }
        }
        return -1;
    }

private:
    struct TCode {
        uint32_t code;
        int symbol;
    };

    // Codes as the application note assigns them: symbols sorted by length (then value), the
    // longest codes get the smallest values, counting up in steps of 2^(16 - length).
    void Build(const std::vector<uint8_t>& lengths) {
        std::vector<size_t> order(lengths.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return lengths[a] < lengths[b]; });
        uint32_t code = 0;
        uint32_t increment = 0;
        int lastLength = 0;
        for (size_t i = order.size(); i-- > 0;) {
            const size_t symbol = order[i];
            code += increment;
            if (lengths[symbol] != lastLength) {
                lastLength = lengths[symbol];
                increment = 1u << (kMaxCodeLength - lastLength);
            }
            if (code >= (1u << kMaxCodeLength))
                return; // lengths that over-fill the code space: the rest gets no code
            const uint32_t value = code >> (kMaxCodeLength - lastLength);
            if (lastLength > kPrimaryBits) {
                byLength_[lastLength].push_back(TCode{value, static_cast<int>(symbol)});
                continue;
            }
            // The lookup index has the first bit read in its lowest position.
            uint32_t reversed = 0;
            for (int b = 0; b < lastLength; ++b)
                reversed |= ((value >> (lastLength - 1 - b)) & 1u) << b;
            const uint32_t entry = (static_cast<uint32_t>(lastLength) << 16) | static_cast<uint32_t>(symbol);
            for (size_t index = reversed; index < kPrimarySize; index += size_t(1) << lastLength)
                primary_[index] = entry;
        }
        for (std::vector<TCode>& codes : byLength_)
            std::sort(codes.begin(), codes.end(), [](const TCode& a, const TCode& b) { return a.code < b.code; });
    }

    std::array<uint32_t, kPrimarySize> primary_{};
    std::array<std::vector<TCode>, kMaxCodeLength + 1> byLength_;
};

} // namespace

void ExplodeMember(IMemberInput& input, IMemberOutput& output, uint64_t uncompressedSize, bool dictionary8K,
                   bool literalTree) {
    TBitInput bits(input);
    TWindowOutput out(output, uncompressedSize);
    auto literals = std::make_unique<TShannonFano>();
    auto lengths = std::make_unique<TShannonFano>();
    auto distances = std::make_unique<TShannonFano>();
    if ((literalTree && !literals->Read(bits, 256)) || !lengths->Read(bits, 64) || !distances->Read(bits, 64)) {
        out.Finish();
        return;
    }
    const int distanceLowBits = dictionary8K ? 7 : 6;
    const uint32_t minimumMatch = literalTree ? 3 : 2;
    while (!out.Done() && !bits.Overrun()) {
        if (bits.Bits(1) == 1) {
            int literal;
            if (literalTree)
                literal = literals->Decode(bits);
            else
                literal = static_cast<int>(bits.Bits(8));
            if (literal < 0)
                break;
            out.Put(static_cast<uint8_t>(literal));
            continue;
        }
        const uint32_t low = bits.Bits(distanceLowBits);
        const int high = distances->Decode(bits);
        if (high < 0)
            break;
        const uint32_t distance = ((static_cast<uint32_t>(high) << distanceLowBits) | low) + 1;
        const int lengthCode = lengths->Decode(bits);
        if (lengthCode < 0)
            break;
        uint32_t length = static_cast<uint32_t>(lengthCode);
        if (length == 63)
            length += bits.Bits(8);
        out.Copy(distance, length + minimumMatch);
    }
    out.Finish();
}

#include "zip/Unshrink.h"

#include <functional>
#include <memory>
#include <queue>
#include <vector>

namespace {

constexpr int kInitialCodeSize = 9;
constexpr int kMaxCodeSize = 13;
constexpr uint32_t kTableSize = 1u << kMaxCodeSize;
constexpr uint32_t kControlCode = 256;
constexpr uint32_t kFirstFreeCode = 257;
constexpr uint32_t kIncreaseCodeSize = 1;
constexpr uint32_t kPartialClear = 2;

class TUnshrinker {
public:
    TUnshrinker(IMemberInput& input, IMemberOutput& output, uint64_t size)
        : bits_(input), out_(output, size), prefix_(kTableSize, 0), suffix_(kTableSize, 0), used_(kTableSize, 0),
          string_(kTableSize + 1) {
        for (uint32_t c = 0; c < 256; ++c) {
            used_[c] = 1;
            suffix_[c] = static_cast<uint8_t>(c);
        }
        used_[kControlCode] = 1; // never a data code
        for (uint32_t c = kFirstFreeCode; c < kTableSize; ++c)
            free_.push(static_cast<uint16_t>(c));
        nextFree_ = kFirstFreeCode;
    }

    void Run() {
        int codeSize = kInitialCodeSize;
        int64_t previous = -1;
        while (!out_.Done() && !bits_.Overrun()) {
            const uint32_t code = bits_.Bits(codeSize);
            if (code == kControlCode) {
                const uint32_t control = bits_.Bits(codeSize);
                if (control == kIncreaseCodeSize && codeSize < kMaxCodeSize)
                    ++codeSize;
                else if (control == kPartialClear)
                    PartialClear();
                else
                    break;
                continue;
            }
            if (previous < 0) {
                if (code > 255)
                    break;
                out_.Put(static_cast<uint8_t>(code));
                previous = code;
                continue;
            }
            size_t length;
            if (used_[code]) {
                length = Expand(code);
            } else if (code == nextFree_) {
                // The code being defined right now: the previous string plus its own first byte.
                length = Expand(static_cast<uint32_t>(previous));
                if (length == 0 || length >= string_.size())
                    break;
                string_[length] = string_[0];
                ++length;
            } else {
                break;
            }
            if (length == 0)
                break;
            for (size_t i = 0; i < length; ++i)
                out_.Put(string_[i]);
            // With the table full nothing is added, and the code that the next entry will hang off
            // stays the last one that did get an entry: the compressors of this method work so.
            if (nextFree_ < kTableSize) {
                Add(static_cast<uint16_t>(previous), string_[0]);
                previous = code;
            }
        }
        out_.Finish();
    }

private:
    // Writes the string of a code into string_ (first byte first); 0 for a broken chain.
    size_t Expand(uint32_t code) {
        size_t length = 0;
        uint32_t c = code;
        while (c >= kFirstFreeCode) {
            if (length >= kTableSize)
                return 0; // a cycle: only a damaged stream gets here
            reversed_[length++] = suffix_[c];
            c = prefix_[c];
        }
        if (c == kControlCode)
            return 0;
        reversed_[length++] = static_cast<uint8_t>(c);
        for (size_t i = 0; i < length; ++i)
            string_[i] = reversed_[length - 1 - i];
        return length;
    }

    void Add(uint16_t prefix, uint8_t suffix) {
        const uint16_t code = free_.top();
        free_.pop();
        prefix_[code] = prefix;
        suffix_[code] = suffix;
        used_[code] = 1;
        if (prefix >= kFirstFreeCode)
            ++children_[prefix];
        leaves_.push_back(code);
        nextFree_ = free_.empty() ? kTableSize : free_.top();
    }

    // Frees every code that no other code uses as its prefix. A freed code keeps its old contents
    // until it is reused, as the compressor's table does. The candidates are kept as codes are
    // added and freed, so a clear costs what changed since the last one, not the whole table:
    // a stream of nothing but clears must not take quadratic time.
    void PartialClear() {
        std::vector<uint16_t> leaves;
        for (uint16_t code : leaves_) {
            if (used_[code] && children_[code] == 0 && !marked_[code]) {
                marked_[code] = 1;
                leaves.push_back(code);
            }
        }
        leaves_.clear();
        for (uint16_t code : leaves) {
            marked_[code] = 0;
            used_[code] = 0;
            free_.push(code);
            const uint16_t prefix = prefix_[code];
            if (prefix >= kFirstFreeCode && --children_[prefix] == 0)
                leaves_.push_back(prefix); // a leaf for the next clear
        }
        nextFree_ = free_.empty() ? kTableSize : free_.top();
    }

    TBitInput bits_;
    TWindowOutput out_;
    std::vector<uint16_t> prefix_;
    std::vector<uint8_t> suffix_;
    std::vector<uint8_t> used_;
    std::vector<uint8_t> string_;
    uint8_t reversed_[kTableSize + 1] = {};
    std::vector<uint16_t> children_ = std::vector<uint16_t>(kTableSize, 0);
    std::vector<uint8_t> marked_ = std::vector<uint8_t>(kTableSize, 0);
    std::vector<uint16_t> leaves_; // every leaf is here (and some codes that no longer are)
    std::priority_queue<uint16_t, std::vector<uint16_t>, std::greater<uint16_t>> free_; // lowest first
    uint32_t nextFree_ = kFirstFreeCode;
};

} // namespace

void UnshrinkMember(IMemberInput& input, IMemberOutput& output, uint64_t uncompressedSize) {
    auto shrinker = std::make_unique<TUnshrinker>(input, output, uncompressedSize);
    shrinker->Run();
}

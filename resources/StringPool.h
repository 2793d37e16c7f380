#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "resources/ByteSpan.h"

// A string pool chunk (UTF-8 or UTF-16) as the binary XML and the resource table hold it. Load
// checks the pool's layout once; StringAt checks each string on first use and keeps the result.
class TStringPool {
public:
    // Takes the pool chunk that starts at the first byte of chunk, which may extend past the
    // pool. The bytes must outlive the pool. False when the layout is not sound.
    bool Load(const TByteSpan& chunk);
    bool Loaded() const { return loaded_; }

    uint32_t Count() const { return loaded_ ? stringCount_ : 0; }
    bool IsUtf8() const { return utf8_; }

    // The string at index as UTF-8 text, the way the platform tools hand it on: a UTF-8 string is
    // decoded to UTF-16 and encoded again. Nothing for an index out of range or a string whose
    // bytes are not sound (no terminator, a length that does not match its text). Text after a
    // NUL character is cut off.
    const std::string* StringAt(uint32_t index) const;

private:
    std::optional<std::u16string> Decode(uint32_t index) const;

    TByteSpan strings_; // the string data area
    TByteSpan entries_; // one 32-bit offset per string
    uint32_t stringCount_ = 0;
    bool utf8_ = false;
    bool loaded_ = false;

    // The strings looked at so far (nothing for an unusable one). Few of a table's strings are
    // ever needed, so nothing is set up per string in advance.
    mutable std::unordered_map<uint32_t, std::optional<std::string>> cache_;
};

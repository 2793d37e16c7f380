#include "resources/StringPool.h"

#include "resources/ResFormat.h"
#include "resources/Utf.h"

using namespace ResFormat;

bool TStringPool::Load(const TByteSpan& chunk) {
    *this = TStringPool();
    TChunkHeader header;
    if (chunk.Size() < kStringPoolHeaderSize || !ReadChunkHeader(chunk, 0, header) ||
        !ChunkIsSound(header, kStringPoolHeaderSize, chunk.Size()))
        return false;
    const uint32_t stringCount = chunk.U32Or0(8);
    const uint32_t styleCount = chunk.U32Or0(12);
    const uint32_t flags = chunk.U32Or0(16);
    const uint32_t stringsStart = chunk.U32Or0(20);
    const uint32_t stylesStart = chunk.U32Or0(24);
    const uint64_t size = header.size;
    const bool utf8 = (flags & kUtf8Flag) != 0;
    const uint64_t charSize = utf8 ? 1 : 2;

    if (stringCount > 0) {
        if (header.headerSize + uint64_t(stringCount) * 4 > size)
            return false;
        // Room for at least the smallest string: a length and a terminator.
        if (stringsStart >= size - 2)
            return false;
        uint64_t poolUnits = 0;
        if (styleCount == 0) {
            poolUnits = (size - stringsStart) / charSize;
        } else {
            if (stylesStart >= size - 2 || stylesStart <= stringsStart)
                return false;
            poolUnits = (uint64_t(stylesStart) - stringsStart) / charSize;
        }
        if (poolUnits == 0)
            return false;
        strings_ = chunk.Sub(stringsStart, static_cast<size_t>(poolUnits * charSize));
        // The last unit of the string area is a terminator.
        if (utf8 ? strings_.U8Or0(strings_.Size() - 1) != 0 : strings_.U16Or0(strings_.Size() - 2) != 0)
            return false;
        entries_ = chunk.Sub(header.headerSize, size_t(stringCount) * 4);
    }
    if (styleCount > 0) {
        if (header.headerSize + (uint64_t(stringCount) + styleCount) * 4 > size)
            return false;
        if (stylesStart >= size)
            return false;
        // The style area ends with an end-of-spans marker of three words.
        const uint64_t styleWords = (size - stylesStart) / 4;
        if (styleWords < 3)
            return false;
        const size_t last = static_cast<size_t>(stylesStart + (styleWords - 3) * 4);
        for (size_t i = 0; i < 3; ++i) {
            if (chunk.U32Or0(last + i * 4) != 0xFFFFFFFFu)
                return false;
        }
    }
    stringCount_ = stringCount;
    utf8_ = utf8;
    loaded_ = true;
    return true;
}

std::optional<std::u16string> TStringPool::Decode(uint32_t index) const {
    if (!loaded_ || index >= stringCount_)
        return std::nullopt;
    const uint32_t entry = entries_.U32Or0(size_t(index) * 4);
    if (utf8_) {
        const size_t units = strings_.Size();
        size_t pos = entry;
        if (pos >= units - 1)
            return std::nullopt;
        // Two lengths, each in one byte or (high bit set) two: UTF-16 units, then bytes.
        auto readLength = [&](size_t& value) {
            uint8_t first = 0;
            if (!strings_.U8(pos++, first))
                return false;
            value = first;
            if (first & 0x80) {
                uint8_t second = 0;
                if (!strings_.U8(pos++, second))
                    return false;
                value = (size_t(first & 0x7F) << 8) | second;
            }
            return true;
        };
        size_t utf16Length = 0;
        size_t byteLength = 0;
        if (!readLength(utf16Length) || !readLength(byteLength))
            return std::nullopt;
        if (pos + byteLength >= units)
            return std::nullopt;
        // Old packagers cut lengths above 0x7FFF to 15 bits: the terminator tells the real one.
        size_t end = byteLength;
        for (uint64_t step = 0;; ++step) {
            const uint64_t candidate = (step << 15) | byteLength;
            if (pos + candidate >= units)
                return std::nullopt;
            end = static_cast<size_t>(candidate);
            if (strings_.U8Or0(pos + end) == 0)
                break;
        }
        const long long decoded = Utf8ToUtf16Length(strings_.Data() + pos, end);
        if (decoded < 0 || (static_cast<size_t>(decoded) & 0x7FFF) != utf16Length)
            return std::nullopt;
        return Utf8ToUtf16(strings_.Data() + pos, end);
    }
    const size_t units = strings_.Size() / 2;
    size_t pos = entry / 2;
    if (pos >= units - 1)
        return std::nullopt;
    uint16_t first = strings_.U16Or0(pos * 2);
    size_t length = first;
    ++pos;
    if (first & 0x8000) {
        if (pos >= units)
            return std::nullopt;
        length = (size_t(first & 0x7FFF) << 16) | strings_.U16Or0(pos * 2);
        ++pos;
    }
    if (length >= units || pos + length >= units)
        return std::nullopt;
    if (strings_.U16Or0((pos + length) * 2) != 0)
        return std::nullopt; // not terminated
    std::u16string text(length, u'\0');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char16_t>(strings_.U16Or0((pos + i) * 2));
    return text;
}

const std::string* TStringPool::StringAt(uint32_t index) const {
    if (!loaded_ || index >= stringCount_)
        return nullptr;
    auto found = cache_.find(index);
    if (found == cache_.end()) {
        std::optional<std::string> utf8;
        if (const std::optional<std::u16string> text = Decode(index)) {
            // The tools treat their text as C strings: whatever follows a NUL is never seen.
            const size_t nul = text->find(u'\0');
            utf8 = Utf16ToUtf8(text->data(), nul == std::u16string::npos ? text->size() : nul);
        }
        found = cache_.emplace(index, std::move(utf8)).first;
    }
    return found->second ? &*found->second : nullptr;
}

#include "resources/Utf.h"

namespace {

// 1 below 0xC0 (ASCII and stray continuation bytes), 2 up to 0xDF, 3 up to 0xEF, else 4.
size_t SequenceLength(uint8_t lead) {
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return 4;
}

// The lead byte's payload bits followed by six bits from each further byte, unchecked.
uint32_t CodePoint(const uint8_t* text, size_t length) {
    static const uint8_t kLeadMask[5] = {0, 0xFF, 0x1F, 0x0F, 0x07};
    uint32_t value = text[0] & kLeadMask[length];
    for (size_t i = 1; i < length; ++i)
        value = (value << 6) | (text[i] & 0x3Fu);
    return value;
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
            return; // not a character on its own
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace

long long Utf8ToUtf16Length(const uint8_t* text, size_t length) {
    long long units = 0;
    size_t pos = 0;
    while (pos < length) {
        const size_t n = SequenceLength(text[pos]);
        if (n > length - pos)
            return -1;
        units += CodePoint(text + pos, n) > 0xFFFF ? 2 : 1;
        pos += n;
    }
    return units;
}

std::u16string Utf8ToUtf16(const uint8_t* text, size_t length) {
    std::u16string out;
    out.reserve(length);
    size_t pos = 0;
    while (pos < length) {
        const size_t n = SequenceLength(text[pos]);
        if (n > length - pos)
            break;
        uint32_t codePoint = CodePoint(text + pos, n);
        if (codePoint <= 0xFFFF) {
            out += static_cast<char16_t>(codePoint);
        } else {
            // Beyond U+10FFFF the surrogate arithmetic wraps; the result only has to be stable.
            codePoint -= 0x10000;
            out += static_cast<char16_t>(((codePoint >> 10) + 0xD800) & 0xFFFF);
            out += static_cast<char16_t>((codePoint & 0x3FF) + 0xDC00);
        }
        pos += n;
    }
    return out;
}

std::string Utf16ToUtf8(const char16_t* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const uint32_t unit = text[i];
        if ((unit & 0xFC00) == 0xD800 && i + 1 < length && (text[i + 1] & 0xFC00) == 0xDC00) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

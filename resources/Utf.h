#pragma once
// Text conversions with the platform's tolerance: the Android tools decode UTF-8 without checking
// continuation bytes and drop what UTF-8 can't carry (lone surrogates) when encoding, and their
// output is what ours must equal byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>

// The number of UTF-16 units the bytes decode to, or -1 when the last sequence runs past the end.
// A lead byte's high bits alone decide the sequence length (a stray continuation byte counts as one
// character); code points above U+FFFF take two units.
long long Utf8ToUtf16Length(const uint8_t* text, size_t length);

// Decodes like Utf8ToUtf16Length counts; the caller has checked that the bytes do not end inside a
// sequence.
std::u16string Utf8ToUtf16(const uint8_t* text, size_t length);

// Encodes UTF-16 units as UTF-8: pairs of surrogates become one four-byte sequence, a surrogate
// without its partner is left out.
std::string Utf16ToUtf8(const char16_t* text, size_t length);
inline std::string Utf16ToUtf8(const std::u16string& text) {
    return Utf16ToUtf8(text.data(), text.size());
}

#pragma once
#include "device/System.h"

#include <string>

// Strict UTF-8 to UTF-16, four-byte sequences as surrogate pairs. False, with `out` empty, for any
// broken, overlong or out-of-range sequence, so a damaged text never shows half-decoded.
bool DecodeUtf8(const std::string& utf8, std::u16string& out);

// A tool's UTF-8 text in the ANSI code page, for showing it; bytes that are not UTF-8 stay as they
// came.
std::string AnsiFromUtf8(const std::string& bytes, ISystem& system);

#include "device/ConsoleText.h"

#include <algorithm>

namespace {
constexpr std::size_t kPieceSize = 2000;
}

std::string ConsoleText(const std::string& raw) {
    // The tools write UTF-8 whatever the console's code page, so the bytes are handed on as they
    // came; whoever shows a text decodes it.
    std::string text;
    text.reserve(raw.size());
    for (std::size_t offset = 0; offset < raw.size(); offset += kPieceSize) {
        const std::size_t length = std::min(kPieceSize, raw.size() - offset);
        const char* piece = raw.data() + offset;
        text.append(piece, std::find(piece, piece + length, '\0'));
    }
    return text;
}

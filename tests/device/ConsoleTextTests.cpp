#include "device/ConsoleText.h"

#include <doctest/doctest.h>

TEST_CASE("Console text keeps the tool's bytes and lets a NUL end only its 2000-byte piece") {
    std::string pattern(4500, '\0');
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<char>('A' + i % 26);
    // UTF-8 with an odd number of bytes before an ASCII quote: no code page pairs it up.
    const std::string utf8 = "label='\xE6\x94\xAF\xE4\xBB\x98\xE5\xAE\x9D'\r\n";
    CHECK(ConsoleText(utf8) == utf8);
    CHECK(ConsoleText("") == "");
    CHECK(ConsoleText(pattern) == pattern); // more than two pieces, no NUL

    std::string withNul = "a" + std::string(1, '\0') + "b" + pattern.substr(0, 2100);
    // Piece one (bytes 0-1999) keeps "a"; piece two starts at byte 2000, which is pattern byte 1997.
    CHECK(ConsoleText(withNul) == "a" + pattern.substr(1997, 2100 - 1997));

    std::string nulAtPieceEnd = pattern.substr(0, 1999) + std::string(1, '\0') + "tail";
    CHECK(ConsoleText(nulAtPieceEnd) == pattern.substr(0, 1999) + "tail");
}

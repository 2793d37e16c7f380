// The name patterns of the extraction.
#include <doctest/doctest.h>

#include <chrono>

#include "zip/Wildcard.h"

TEST_CASE("MatchWildcard") {
    struct TCase {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"res\\drawable-hdpi\\icon.png", "res\\drawable-hdpi\\icon.png", true},
        {"res\\drawable-hdpi\\icon.png", "res\\drawable-hdpi\\icon.png2", false},
        {"res\\drawable-hdpi\\icon.png", "xres\\drawable-hdpi\\icon.png", false},
        {"*", "", true},
        {"*", "anything\\at:all", true},
        {"*.png", "res\\a.png", true}, // '\' is an ordinary character
        {"*.png", "res\\a.png.txt", false},
        {"a*", "a", true},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
        {"?", "", false},
        {"??", "ab", true},
        {"*??", "ab", true},
        {"*??", "a", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"<a-c>x", "bx", true},
        {"<a-c>x", "dx", false},
        {"<!a-c>x", "dx", true},
        {"<^a-c>x", "ax", false},
        {"<abc", "a", false}, // unterminated
        {"<>a", "a", false},  // empty
        {"*<0-9>", "file12", false},
        {"*<0-9>", "12", true}, // the '*' may absorb only digits too
        {"x*<0-9>", "x123", true},
        {"x*<0-9>", "xa1", false},
        {"res\\*\\icon.png", "res\\mipmap-hdpi-v4\\icon.png", true},
        {"a:b", "a:b", true},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.pattern);
        CAPTURE(c.name);
        CHECK(MatchWildcard(c.pattern, c.name) == c.match);
    }
}

TEST_CASE("MatchWildcard takes time proportional to pattern times name, not exponential") {
    const std::string name(4000, 'a');
    std::string pattern;
    for (int i = 0; i < 30; ++i)
        pattern += "*a";
    pattern += "b";
    const auto start = std::chrono::steady_clock::now();
    CHECK_FALSE(MatchWildcard(pattern, name));
    CHECK(std::chrono::steady_clock::now() - start < std::chrono::seconds(2));
}

TEST_CASE("LowerAscii changes A to Z only") {
    CHECK(LowerAscii("AbZ\xC4.PNG") == "abz\xC4.png");
}

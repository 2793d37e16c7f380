#pragma once
#include <string>

// Tests a lower-cased name against a lower-cased pattern; the whole name must be covered.
//   *        any run of characters, the empty run included ("*" alone matches every name)
//   ?        any one character
//   <...>    one character of a set: single characters and ranges a-b; '!' or '^' first negates.
//            A set right after '*' also restricts what that '*' may absorb. An unterminated or
//            empty set makes the match fail.
// Every other character, '\' and ':' included, matches itself. Runs in time proportional to
// pattern length times name length, whatever the pattern.
bool MatchWildcard(const std::string& pattern, const std::string& name);

// Lower-cases A to Z only, as the reader's name matching does.
std::string LowerAscii(std::string text);

#pragma once
#include <string>
#include <vector>

// The program's string list: ordered, unsorted, duplicates and empty strings kept.
using StringList = std::vector<std::string>;

// Cuts `text` at every occurrence of `delimiter` (exact bytes). An empty text gives no pieces;
// otherwise the piece after the last delimiter is always added, even when empty.
StringList SplitText(const std::string& text, const std::string& delimiter);

// The text without blanks and control characters (bytes 1 to 32) at either end.
std::string TrimControls(const std::string& text);

// The two bytes that end a line of console output.
inline const std::string kCrLf = "\r\n";

#include "device/TextSplit.h"

StringList SplitText(const std::string& text, const std::string& delimiter) {
    StringList pieces;
    if (text.empty())
        return pieces;
    if (delimiter.empty()) {
        // Nothing to cut at: the whole text is one piece (and the loop below would never advance).
        pieces.push_back(text);
        return pieces;
    }
    std::string::size_type start = 0;
    for (;;) {
        const auto found = text.find(delimiter, start);
        if (found == std::string::npos)
            break;
        pieces.push_back(text.substr(start, found - start));
        start = found + delimiter.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::string TrimControls(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

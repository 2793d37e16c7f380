#include "device/PathText.h"

#include <algorithm>

std::string ExtractFileExt(const std::string& path, const LeadByteTest& isLeadByte) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (isLeadByte && isLeadByte(byte)) {
            ++i; // the second byte of the character
            continue;
        }
        if (byte == '.' || byte == '\\' || byte == ':')
            last = i;
    }
    if (last == std::string::npos || path[last] != '.')
        return std::string();
    return path.substr(last);
}

std::string ExtractFileName(const std::string& path, const LeadByteTest& isLeadByte) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (isLeadByte && isLeadByte(byte)) {
            ++i;
            continue;
        }
        if (byte == '\\' || byte == ':')
            start = i + 1;
    }
    return path.substr(std::min(start, path.size()));
}

bool SameTextAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

#include "AppText.h"

#include "device/TextSplit.h"

#include <algorithm>

const char* const kPublisherHost = "www.quorly.com";

// The tail is a full-width blank (A1 A1) and a lone GBK lead byte (81) that nothing follows: the
// lead byte keeps the tail from being valid GBK, and a converter drops or blanks an unfinished
// character at the end of a text, so the caption still reads "Varnel".
const char* const kApplicationTitle = "Varnel       \xA1\xA1\x81";

std::string FormCaption() { return std::string("Varnel3.5      Quorly") + kPublisherHost; }

std::string WithFullStop(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

StartupArguments ReadStartupCommandLine(const std::string& commandLine) {
    const std::string associated = "\" \"";
    const std::string twoBlanks = "\"  \"";
    const StringList items =
        SplitText(commandLine, commandLine.find(associated) != std::string::npos ? associated : twoBlanks);
    StartupArguments arguments;
    if (items.size() == 1 || items.empty())
        return arguments;
    arguments.plainStart = false;
    for (char c : items[1]) {
        if (c != '"')
            arguments.apkFileName += c;
    }
    return arguments;
}

std::string TrimSystemMessage(const std::string& text) {
    std::string trimmed = text;
    for (;;) {
        if (!trimmed.empty() && (static_cast<unsigned char>(trimmed.back()) <= ' ' || trimmed.back() == '.')) {
            trimmed.pop_back();
        } else if (trimmed.size() >= 2 && trimmed.compare(trimmed.size() - 2, 2, "\xA1\xA3") == 0) {
            // The ideographic full stop of a Chinese system message.
            trimmed.erase(trimmed.size() - 2);
        } else {
            break;
        }
    }
    return trimmed;
}

std::string ExtractFileExt(const std::string& path, bool (*isLeadByte)(unsigned char)) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (isLeadByte != nullptr && isLeadByte(byte)) {
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

std::string ExtractFileName(const std::string& path, bool (*isLeadByte)(unsigned char)) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (isLeadByte != nullptr && isLeadByte(byte)) {
            ++i;
            continue;
        }
        if (byte == '\\' || byte == ':')
            start = i + 1;
    }
    return path.substr(std::min(start, path.size()));
}

std::string BrowserAddress(const std::string& address) {
    std::string trimmed = address;
    while (!trimmed.empty() && trimmed.back() == ' ')
        trimmed.pop_back();
    if (trimmed.find("://") == std::string::npos)
        trimmed.insert(0, "http://");
    return trimmed;
}

std::string GoMarketAddress() { return std::string("http://") + kPublisherHost + "/os/android/"; }
std::string DownDriverAddress() { return std::string(kPublisherHost) + "/article/37820.shtml      "; }
std::string HelpAddress() { return std::string(kPublisherHost) + "/article/37819.shtml    "; }
std::string CheckUpdateAddress() { return std::string("http://") + kPublisherHost + "/rj/37804.shtml                "; }
std::string DownHintAddress() { return std::string(kPublisherHost) + "/article/37804.shtml      "; }

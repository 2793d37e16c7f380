#include "AppText.h"

#include "device/TextSplit.h"

#include <algorithm>
#include <cstring>

const char* const kPublisherHost = "www.quorly.com";

// The tail is a full-width blank (A1 A1) and a lone GBK lead byte (81) that nothing follows: the
// lead byte keeps the tail from being valid GBK, and a converter drops or blanks an unfinished
// character at the end of a text, so the caption still reads "Varnel".
const char* const kApplicationTitle = "Varnel       \xA1\xA1\x81";

std::string FormCaption() { return std::string("Varnel" VARNEL_VERSION "      Quorly") + kPublisherHost; }

std::string WithFullStop(const std::string& message) {
    // A Chinese sentence that ends in its own full stop, exclamation or question mark is ended
    // already; a "." after it would only be a stray dot.
    for (const char* end : {"\xA1\xA3", "\xA3\xA1", "\xA3\xBF"}) {
        if (message.size() >= 2 && message.compare(message.size() - 2, 2, end) == 0)
            return message;
    }
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
    for (std::size_t i = 1; i < items.size(); ++i) {
        std::string name;
        for (char c : items[i]) {
            if (c != '"')
                name += c;
        }
        arguments.apkFileNames.push_back(name);
    }
    arguments.apkFileName = arguments.apkFileNames.front();
    return arguments;
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

std::string OpenDialogFilter() {
    const char entries[] = "Apk文件\0*.apk\0"
                           "安装包组（apks、xapk、apkm）\0*.apks;*.xapk;*.apkm\0"
                           "所有支持的文件\0*.apk;*.apks;*.xapk;*.apkm\0";
    return std::string(entries, sizeof entries); // the literal's own NUL ends the list
}

std::string ShortSignatureVerdict(const std::string& label) {
    const struct {
        const char* verdict;
        const char* word;
    } kWords[] = {{"签名有效", "有效"}, {"签名无效", "无效"}, {"未签名", "未签名"}};
    for (const auto& w : kWords)
        if (label.compare(0, std::strlen(w.verdict), w.verdict) == 0)
            return w.word;
    return label;
}

std::vector<std::string> OpenDialogFiles(const std::string& buffer) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start < buffer.size();) {
        const std::size_t end = std::min(buffer.find('\0', start), buffer.size());
        if (end == start)
            break;
        parts.push_back(buffer.substr(start, end - start));
        start = end + 1;
    }
    if (parts.size() <= 1)
        return parts;
    std::string folder = parts.front();
    if (folder.back() != '\\')
        folder += '\\';
    std::vector<std::string> files;
    for (std::size_t i = 1; i < parts.size(); ++i)
        files.push_back(folder + parts[i]);
    return files;
}

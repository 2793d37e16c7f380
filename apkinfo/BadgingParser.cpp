#include "BadgingParser.h"

namespace {

bool IsBlank(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 1 && b <= 32;
}

bool IsKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// True when `pos` starts "key='" for some key made of key characters.
bool StartsKeyAt(const std::string& line, std::string::size_type pos) {
    auto i = pos;
    while (i < line.size() && IsKeyChar(line[i]))
        ++i;
    return i > pos && i + 1 < line.size() && line[i] == '=' && line[i + 1] == '\'';
}

// Where the value that starts at `from` ends: the index of its closing quote, or npos when the
// line ends without one.
std::string::size_type ValueEnd(const std::string& line, std::string::size_type from) {
    for (auto q = line.find('\'', from); q != std::string::npos; q = line.find('\'', q + 1)) {
        auto next = q + 1;
        if (next == line.size())
            return q;
        if (!IsBlank(line[next]))
            continue;
        while (next < line.size() && IsBlank(line[next]))
            ++next;
        if (next == line.size() || StartsKeyAt(line, next))
            return q;
    }
    return std::string::npos;
}

std::string ValueFrom(const std::string& line, std::string::size_type start, std::string::size_type& resume) {
    const auto end = ValueEnd(line, start);
    if (end == std::string::npos) {
        resume = line.size();
        return line.substr(start);
    }
    resume = end + 1;
    return line.substr(start, end - start);
}

bool Contains(const std::string& line, const char* text) { return line.find(text) != std::string::npos; }

} // namespace

bool FindKeyValue(const std::string& line, const std::string& key, std::string& value) {
    const std::string pattern = key + "='";
    bool found = false;
    std::string::size_type pos = 0;
    while (pos < line.size()) {
        const auto at = line.find(pattern, pos);
        if (at == std::string::npos)
            break;
        const bool standsAlone = at == 0 || IsBlank(line[at - 1]) || line[at - 1] == ':';
        if (!standsAlone) {
            pos = at + 1;
            continue;
        }
        std::string::size_type resume = 0;
        value = ValueFrom(line, at + pattern.size(), resume);
        found = true;
        pos = resume;
    }
    return found;
}

std::string FirstQuotedValue(const std::string& line) {
    const auto quote = line.find('\'');
    if (quote == std::string::npos)
        return std::string();
    std::string::size_type resume = 0;
    return ValueFrom(line, quote + 1, resume);
}

std::u16string DecodeUtf8Label(const std::string& utf8) {
    std::u16string out;
    DecodeUtf8(utf8, out);
    return out;
}

void ParsePackageLine(const std::string& line, IBadgingSink& sink) {
    std::string value;
    if (FindKeyValue(line, "name", value))
        sink.PackageNameFound(value);
    if (FindKeyValue(line, "versionName", value))
        sink.VersionNameFound(value);
}

void ParseSdkVersionLine(const std::string& line, IBadgingSink& sink) { sink.SdkVersionFound(FirstQuotedValue(line)); }

void ParsePermissionLine(const std::string& line, IBadgingSink& sink) {
    std::string value;
    if (!FindKeyValue(line, "name", value))
        value = FirstQuotedValue(line);
    sink.PermissionFound(value);
}

void ParseApplicationLine(const std::string& line, IBadgingSink& sink) {
    std::string label;
    FindKeyValue(line, "label", label);
    // The name is shown before the icon is looked at, so it stays even if the icon can't be shown.
    sink.ApplicationLabelFound(DecodeUtf8Label(label));

    std::string icon;
    FindKeyValue(line, "icon", icon);
    for (char& c : icon) {
        if (c == '/')
            c = '\\';
    }
    sink.ApplicationIconFound(icon);
}

void ParseBadging(const StringList& lines, IBadgingSink& sink) {
    for (const auto& line : lines) {
        if (Contains(line, "package:"))
            ParsePackageLine(line, sink);
        else if (Contains(line, "sdkVersion:"))
            ParseSdkVersionLine(line, sink);
        else if (Contains(line, "uses-permission:"))
            ParsePermissionLine(line, sink);
        else if (Contains(line, "application:"))
            ParseApplicationLine(line, sink);
    }
}

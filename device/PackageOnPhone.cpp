#include "device/PackageOnPhone.h"

#include "device/TextSplit.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::size_t kVersionNameCap = 64;
// A signer list longer than this is not a real phone's.
constexpr std::size_t kSignerCap = 16;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::size_t Indent(std::string_view line) {
    std::size_t blanks = 0;
    while (blanks < line.size() && line[blanks] == ' ')
        ++blanks;
    return blanks;
}

// The decimal number that starts `text`; -1 when there is none or it is implausibly long.
std::int64_t LeadingNumber(std::string_view text) {
    std::int64_t value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (digits == 18)
            return -1;
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    return digits == 0 ? -1 : value;
}

// The hexadecimal numbers of a "[8a7b6c5d, 1f2e3d4c flags: 5]" list, each item's first word.
bool ReadHashList(std::string_view line, std::string_view opener, std::vector<std::uint32_t>& hashes) {
    const std::size_t at = line.find(opener);
    if (at == std::string_view::npos)
        return false;
    std::string_view rest = line.substr(at + opener.size());
    rest = rest.substr(0, rest.find(']'));
    while (!rest.empty() && hashes.size() < kSignerCap) {
        const std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        std::uint32_t value = 0;
        std::size_t digits = 0;
        for (; digits < item.size() && digits < 8; ++digits) {
            const char c = item[digits];
            const int nibble = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (nibble < 0)
                break;
            value = (value << 4) | static_cast<std::uint32_t>(nibble);
        }
        if (digits > 0)
            hashes.push_back(value);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return true;
}

std::string CleanVersionName(std::string_view text) {
    std::string name;
    for (char c : text) {
        if (name.size() == kVersionNameCap)
            break;
        if (static_cast<unsigned char>(c) >= ' ' && c != 0x7F)
            name += c;
    }
    // Cut where a UTF-8 character begins, so a long name never ends in half a character.
    if (name.size() == kVersionNameCap) {
        std::size_t end = name.size();
        while (end > 0 && (static_cast<unsigned char>(name[end - 1]) & 0xC0) == 0x80)
            --end;
        if (end > 0 && static_cast<unsigned char>(name[end - 1]) >= 0xC0)
            --end;
        name.resize(end);
    }
    return TrimControls(name);
}

} // namespace

PackageOnPhone ReadDumpsysPackage(const std::string& output, const std::string& packageName) {
    PackageOnPhone copy;
    if (packageName.empty())
        return copy;
    const std::string blockStart = "  Package [" + packageName + "] (";
    std::string_view section;
    bool answered = false;
    bool inBlock = false;
    bool done = false;
    std::size_t start = 0;
    while (start < output.size() && !done) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string_view line(output.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const std::size_t indent = Indent(line);
        if (inBlock && indent < 4) {
            done = true; // the block ends where the next package or section begins
            continue;
        }
        if (indent == 0) {
            // A section heading ("Packages:", "Dexopt state:"): the phone's package manager answered.
            section = line;
            answered = answered || line.back() == ':';
            continue;
        }
        if (section == "Packages:" && StartsWith(line, blockStart)) {
            inBlock = true;
            copy.state = CopyState::Installed;
            continue;
        }
        if (!inBlock)
            continue;
        const std::string_view field = line.substr(indent);
        if (copy.versionCode < 0) {
            const std::size_t at = (" " + std::string(field.substr(0, 64))).find(" versionCode=");
            if (at != std::string::npos)
                copy.versionCode = LeadingNumber(field.substr(at + 12));
        }
        if (StartsWith(field, "versionName="))
            copy.versionName = CleanVersionName(field.substr(12));
        if (StartsWith(field, "signatures=PackageSignatures{")) {
            copy.signersShown = ReadHashList(field, ", signatures:[", copy.signers);
            ReadHashList(field, "past signatures:[", copy.pastSigners);
            copy.signersShown = copy.signersShown && !copy.signers.empty();
        }
    }
    if (copy.state == CopyState::Unknown &&
        (answered || output.find("Unable to find package: " + packageName) != std::string::npos))
        copy.state = CopyState::NotInstalled;
    return copy;
}

CopyCase CompareCopy(const PackageOnPhone& copy, std::int64_t ourVersionCode, std::optional<std::uint32_t> ourSigner) {
    if (copy.state == CopyState::NotInstalled)
        return CopyCase::NotInstalled;
    if (copy.state == CopyState::Unknown)
        return CopyCase::Unknown;
    if (ourSigner && copy.signersShown) {
        const auto has = [&](const std::vector<std::uint32_t>& list) {
            return std::find(list.begin(), list.end(), *ourSigner) != list.end();
        };
        if (!has(copy.signers) && !has(copy.pastSigners))
            return CopyCase::OtherSigner;
    }
    if (ourVersionCode < 0 || copy.versionCode < 0)
        return CopyCase::Unknown;
    if (copy.versionCode < ourVersionCode)
        return CopyCase::Upgrade;
    return copy.versionCode == ourVersionCode ? CopyCase::Same : CopyCase::Downgrade;
}

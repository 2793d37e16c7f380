#include "signing/JarManifest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

bool SameAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// One line of the text: where it starts, its length without the line end, and where the next starts.
struct TLine {
    size_t start = 0, length = 0, next = 0;
};
TLine NextLine(TByteView text, size_t at) {
    TLine line;
    line.start = at;
    size_t i = at;
    while (i < text.size && text.data[i] != '\r' && text.data[i] != '\n')
        ++i;
    line.length = i - at;
    if (i < text.size && text.data[i] == '\r')
        ++i;
    if (i < text.size && text.data[i] == '\n' && (i == at + line.length || text.data[i - 1] == '\r'))
        ++i;
    line.next = i;
    return line;
}

TBytes Base64(const std::string& text) {
    if (text.empty() || text.size() > 1024)
        return {};
    std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> ctx(EVP_ENCODE_CTX_new(), EVP_ENCODE_CTX_free);
    if (!ctx)
        return {};
    TBytes out(text.size());
    int length = 0, tail = 0;
    EVP_DecodeInit(ctx.get());
    if (EVP_DecodeUpdate(ctx.get(), out.data(), &length, reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<int>(text.size())) < 0 ||
        EVP_DecodeFinal(ctx.get(), out.data() + length, &tail) != 1)
        return {};
    out.resize(static_cast<size_t>(length + tail));
    return out;
}

} // namespace

const std::string* TManifestSection::Find(const std::string& attribute) const {
    for (const auto& [key, value] : attributes) {
        if (SameAsciiCase(key, attribute))
            return &value;
    }
    return nullptr;
}

bool ParseManifest(TByteView text, const std::string& fileName, TManifest& manifest, std::string& problem) {
    manifest.sections.clear();
    const std::string malformed = fileName + " 格式不对，签名无法核对";
    if (text.size > kMaxManifestSize) {
        problem = fileName + " 大得离谱";
        return false;
    }
    size_t at = 0;
    while (at < text.size || manifest.sections.empty()) {
        TManifestSection section;
        const size_t begin = at;
        // A section: lines up to an empty one (or the end of the text).
        while (at < text.size) {
            TLine line = NextLine(text, at);
            at = line.next;
            if (line.length == 0)
                break;
            const char* chars = reinterpret_cast<const char*>(text.data + line.start);
            if (chars[0] == ' ') {
                if (section.attributes.empty()) {
                    problem = malformed;
                    return false;
                }
                section.attributes.back().second.append(chars + 1, line.length - 1);
                continue;
            }
            const void* colon = std::memchr(chars, ':', line.length);
            const size_t split = colon ? static_cast<size_t>(static_cast<const char*>(colon) - chars) : line.length;
            if (split == 0 || split + 1 >= line.length || chars[split + 1] != ' ') {
                problem = malformed;
                return false;
            }
            section.attributes.emplace_back(std::string(chars, split),
                                            std::string(chars + split + 2, line.length - split - 2));
        }
        section.bytes = TByteView(text.data + begin, at - begin);
        if (manifest.sections.empty()) {
            manifest.sections.push_back(std::move(section));
            continue;
        }
        if (section.attributes.empty())
            continue; // more empty lines between sections
        const std::string* name = section.Find("Name");
        if (!name || name->empty()) {
            problem = malformed;
            return false;
        }
        section.name = *name;
        manifest.sections.push_back(std::move(section));
    }
    // Two sections of one name would let one vouch for bytes the other describes.
    std::vector<const std::string*> names;
    for (size_t i = 1; i < manifest.sections.size(); ++i)
        names.push_back(&manifest.sections[i].name);
    std::sort(names.begin(), names.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
    for (size_t i = 1; i < names.size(); ++i) {
        if (*names[i] == *names[i - 1]) {
            problem = fileName + " 里有两段记录说的是同一个文件";
            return false;
        }
    }
    return true;
}

std::vector<TNamedDigest> DigestAttributes(const TManifestSection& section, const std::string& suffix) {
    static const struct {
        const char* name;
        TDigestKind kind;
    } kKnown[] = {{"SHA-512", TDigestKind::Sha512},
                  {"SHA-384", TDigestKind::Sha384},
                  {"SHA-256", TDigestKind::Sha256},
                  {"SHA-1", TDigestKind::Sha1},
                  {"SHA1", TDigestKind::Sha1}};
    std::vector<TNamedDigest> found;
    for (const auto& known : kKnown) {
        if (const std::string* value = section.Find(std::string(known.name) + suffix))
            found.push_back({known.kind, Base64(*value)});
    }
    return found;
}

#include "apkinfo/PackageIcon.h"

#include "image/ImageScale.h"
#include "image/PngDecoder.h"
#include "zip/ZipReader.h"

#include <algorithm>

namespace {

// An icon is small; a member that claims more than this is not one (and must not exhaust memory).
constexpr uint64_t kIconMemberLimit = 64ull << 20;

bool LooksLikePng(const TMemoryStream& stream) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return stream.Size() >= 8 && std::equal(signature, signature + 8, stream.Bytes().data());
}

// Width and height from the header, without decoding the picture.
bool PngSize(const TMemoryStream& stream, uint32_t& width, uint32_t& height) {
    if (!LooksLikePng(stream) || stream.Size() < 24)
        return false;
    const uint8_t* p = stream.Bytes().data() + 16;
    width = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    height = (uint32_t(p[4]) << 24) | (uint32_t(p[5]) << 16) | (uint32_t(p[6]) << 8) | p[7];
    return width > 0 && height > 0;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

struct Candidate {
    std::string path;
    uint32_t size; // the larger side
};

// Most packages name an adaptive icon (XML) for every density and keep PNG versions of it under
// the same file name in sibling folders: res\mipmap-anydpi-v26\ic_launcher.xml has
// res\mipmap-xhdpi-v4\ic_launcher.png beside it. Best first: the smallest that still fills the box
// without being enlarged, then the larger ones, then the smaller ones from large to small.
std::vector<Candidate> SiblingPngs(TZipReader& reader, const std::string& memberName, uint32_t box) {
    std::vector<Candidate> found;
    const auto lastSlash = memberName.find_last_of('\\');
    if (lastSlash == std::string::npos)
        return found;
    const std::string folder = memberName.substr(0, lastSlash);
    const auto parentSlash = folder.find_last_of('\\');
    const std::string parent = Lower(parentSlash == std::string::npos ? std::string() : folder.substr(0, parentSlash + 1));
    std::string stem = memberName.substr(lastSlash + 1);
    stem = Lower(stem.substr(0, stem.find_last_of('.')));
    const std::string wanted = stem + ".png";
    const std::string named = Lower(memberName);
    for (size_t i = 0; i < reader.Count(); ++i) {
        const TZipEntryInfo& entry = reader.Entry(i);
        if (Lower(entry.FileName) != wanted)
            continue;
        const std::string directory = Lower(entry.Directory);
        const std::string path = entry.FullPath();
        if (Lower(path) == named || directory.compare(0, parent.size(), parent) != 0)
            continue;
        // A sibling: exactly one folder below the parent.
        if (directory.find('\\', parent.size()) != directory.size() - 1)
            continue;
        TMemoryStream stream(kIconMemberLimit);
        uint32_t width = 0;
        uint32_t height = 0;
        if (ExtractMemberToMemory(reader, path, stream) && PngSize(stream, width, height))
            found.push_back(Candidate{path, std::max(width, height)});
    }
    std::sort(found.begin(), found.end(), [box](const Candidate& a, const Candidate& b) {
        const bool aFills = a.size >= box;
        const bool bFills = b.size >= box;
        if (aFills != bFills)
            return aFills;
        return aFills ? a.size < b.size : a.size > b.size;
    });
    return found;
}

bool TryDecode(const TMemoryStream& stream, RgbaImage& image) {
    if (!LooksLikePng(stream))
        return false;
    try {
        image = DecodePng(stream.Bytes().data(), stream.Bytes().size());
        return true;
    } catch (const ImageError&) {
        return false;
    }
}

// `side` on a screen of `dpi`, for a side measured at 96 DPI.
uint32_t AtDensity(uint32_t side, unsigned dpi) { return static_cast<uint32_t>((uint64_t(side) * dpi + 48) / 96); }

} // namespace

bool LoadPackageIcon(const std::string& apkPath, const std::string& memberName, std::uint32_t box,
                     const TZipPlatform& platform, RgbaImage& icon, unsigned dpi) {
    RgbaImage image;
    uint32_t limit = box; // the side the icon is fitted into
    try {
        TZipReader reader(platform);
        reader.SetZipName(apkPath);
        reader.LoadDirectory();
        if (memberName.empty() || memberName.find_first_not_of(' ') == std::string::npos)
            return false;
        // The tool names one exact member; its name is not a pattern.
        TMemoryStream stream(kIconMemberLimit);
        bool decoded = ExtractMemberToMemory(reader, memberName, stream) && TryDecode(stream, image);
        if (decoded && dpi > 96) {
            const uint32_t own = std::max(image.width, image.height);
            limit = std::min(box, AtDensity(own, dpi));
            const auto siblings = own < limit ? SiblingPngs(reader, memberName, limit) : std::vector<Candidate>();
            for (const Candidate& candidate : siblings) {
                if (candidate.size <= own)
                    break; // best first: past here none is sharper than the named one
                TMemoryStream sibling(kIconMemberLimit);
                RgbaImage sharper;
                if (ExtractMemberToMemory(reader, candidate.path, sibling) && TryDecode(sibling, sharper)) {
                    image = std::move(sharper);
                    break;
                }
            }
        }
        if (!decoded) {
            for (const Candidate& candidate : SiblingPngs(reader, memberName, box)) {
                TMemoryStream sibling(kIconMemberLimit);
                if (ExtractMemberToMemory(reader, candidate.path, sibling) && TryDecode(sibling, image)) {
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded)
            return false;
    } catch (const EFOpenError&) {
        throw;
    } catch (const std::exception&) {
        return false; // a damaged archive: the tool read it, so only the icon is lost
    }
    icon = image.width > limit || image.height > limit ? ScaleToFit(image, limit, limit) : std::move(image);
    return true;
}

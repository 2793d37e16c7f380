// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "app/ZipPlatformWin.h"
#include "image/ImageScale.h"
#include "image/PngDecoder.h"
#include "zip/ZipReader.h"

#include "app/MainForm.h"

#include <algorithm>

// The package's own icon, taken out of the package (a ZIP archive) and decoded as PNG.

namespace {

constexpr uint32_t kIconBox = 72;
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
std::vector<Candidate> SiblingPngs(TZipReader& reader, const std::string& memberName) {
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
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        const bool aFills = a.size >= kIconBox;
        const bool bFills = b.size >= kIconBox;
        if (aFills != bFills)
            return aFills;
        return aFills ? a.size < b.size : a.size > b.size;
    });
    return found;
}

// The picture as the image control draws it: 32-bit, top-down, alpha premultiplied.
UniqueGdiObject MakeBitmap(const RgbaImage& image) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(image.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(image.height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr)
        return UniqueGdiObject();
    auto* out = static_cast<uint8_t*>(bits);
    const size_t count = size_t(image.width) * image.height;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* px = &image.pixels[i * 4];
        const unsigned alpha = px[3];
        out[i * 4 + 0] = static_cast<uint8_t>((px[2] * alpha + 127) / 255);
        out[i * 4 + 1] = static_cast<uint8_t>((px[1] * alpha + 127) / 255);
        out[i * 4 + 2] = static_cast<uint8_t>((px[0] * alpha + 127) / 255);
        out[i * 4 + 3] = static_cast<uint8_t>(alpha);
    }
    return bitmap;
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

} // namespace

void TfrmMain::ShowApkIcon(const std::string& apkPath, const std::string& memberName) {
    // An icon that can't be shown is no reason to hide the package's other facts: the placeholder
    // stays and the inspection goes on. Only a package that can't be opened at all is an error.
    RgbaImage image;
    try {
        TZipReader reader(WindowsZipPlatform());
        reader.SetZipName(apkPath);
        reader.LoadDirectory();
        bool decoded = false;
        if (!memberName.empty() && memberName.find_first_not_of(' ') != std::string::npos) {
            TMemoryStream stream(kIconMemberLimit);
            reader.ExtractToStream(&stream, memberName);
            decoded = TryDecode(stream, image);
            if (!decoded) {
                for (const Candidate& candidate : SiblingPngs(reader, memberName)) {
                    TMemoryStream sibling(kIconMemberLimit);
                    if (ExtractMemberToMemory(reader, candidate.path, sibling) && TryDecode(sibling, image)) {
                        decoded = true;
                        break;
                    }
                }
            }
        }
        if (!decoded || closed_)
            return;
    } catch (const EFOpenError&) {
        throw;
    } catch (const std::exception&) {
        return; // a damaged archive: the tool read it, so only the icon is lost
    }
    if (image.width > kIconBox || image.height > kIconBox)
        image = ScaleToFit(image, kIconBox, kIconBox);
    UniqueGdiObject bitmap = MakeBitmap(image);
    if (bitmap)
        SetApkIcon(std::move(bitmap), SIZE{static_cast<LONG>(image.width), static_cast<LONG>(image.height)});
}

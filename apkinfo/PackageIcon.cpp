#include "apkinfo/PackageIcon.h"

#include "drawable/DrawableReader.h"
#include "drawable/DrawableRender.h"
#include "image/Bitmap.h"
#include "image/ImageScale.h"
#include "resources/ResourceTable.h"
#include "resources/XmlTree.h"
#include "zip/ZipReader.h"

#include <algorithm>

namespace {

// An icon is small; a member that claims more than this is not one (and must not exhaust memory).
constexpr uint64_t kIconMemberLimit = 64ull << 20;
// The manifest and the resource table of a package; larger ones are not read for the icon.
constexpr uint64_t kTableLimit = 256ull << 20;
// References resolve as on a phone of today: an anydpi variant first, else the highest -vNN one.
constexpr uint16_t kTodaysSdk = 10000;
constexpr uint32_t kIconAttribute = 0x01010002;

// Width and height from the header, without decoding the picture.
bool StatedSize(const TMemoryStream& stream, uint32_t& width, uint32_t& height) {
    return ::BitmapSize(stream.Bytes().data(), stream.Bytes().size(), width, height) && width > 0 && height > 0;
}

bool ReadMember(TZipReader& reader, const std::string& name, uint64_t limit, std::vector<uint8_t>& bytes) {
    TMemoryStream stream(limit);
    try {
        if (!ExtractMemberToMemory(reader, name, stream))
            return false;
    } catch (const EFOpenError&) {
        throw;
    } catch (const std::exception&) {
        return false; // too large, or damaged
    }
    bytes = stream.TakeBytes();
    return true;
}

// The package's members for the drawable reader.
class TZipFiles : public IResourceFiles {
public:
    explicit TZipFiles(TZipReader& reader) : reader_(reader) {}
    bool Read(const std::string& name, size_t maxSize, std::vector<uint8_t>& bytes) override {
        return ReadMember(reader_, name, maxSize, bytes);
    }

private:
    TZipReader& reader_;
};

// The resource id of the application's icon in a compiled manifest; 0 when it names none.
uint32_t ApplicationIcon(const std::vector<uint8_t>& manifest) {
    TXmlTree tree;
    if (!tree.Load(TByteSpan(manifest.data(), manifest.size())))
        return 0;
    for (;;) {
        const TXmlTree::TEvent event = tree.Next();
        if (event == TXmlTree::TEvent::EndDocument || event == TXmlTree::TEvent::BadDocument)
            return 0;
        const std::string* name = event == TXmlTree::TEvent::StartTag ? tree.ElementName() : nullptr;
        if (!name || *name != "application")
            continue;
        const long index = tree.FindAttribute(kIconAttribute);
        if (index < 0)
            return 0;
        const TResValue value = tree.AttributeValue(static_cast<size_t>(index));
        return value.dataType == ResFormat::kTypeReference ? value.data : 0;
    }
}

bool EndsWithXml(const std::string& name) {
    return name.size() > 4 &&
           (name.compare(name.size() - 4, 4, ".xml") == 0 || name.compare(name.size() - 4, 4, ".XML") == 0);
}

// The icon drawn from its XML, as a phone of today draws it: the application's icon resource
// resolved for the box's density, or else the XML member the tool named. False when the icon is
// a bitmap, or an XML drawable that can't be drawn: the bitmap rule then applies.
bool DrawXmlIcon(TZipReader& reader, const std::string& memberName, uint32_t box, RgbaImage& icon) {
    std::vector<uint8_t> manifest;
    std::vector<uint8_t> tableBytes;
    TResourceTable table;
    const bool haveTable = ReadMember(reader, "resources.arsc", kTableLimit, tableBytes) &&
                           table.Load(TByteSpan(tableBytes.data(), tableBytes.size()));
    TResConfig request;
    // The layers' 108 dp canvas is 1.5 boxes wide: a box of 72 px is drawn at 160 dpi.
    request.density = static_cast<uint16_t>(std::clamp<uint64_t>((uint64_t(box) * 160 + 36) / 72, 1, 0xFFFD));
    request.sdkVersion = kTodaysSdk;

    std::string file;
    if (haveTable && ReadMember(reader, "AndroidManifest.xml", kTableLimit, manifest)) {
        TResValue value;
        value.dataType = ResFormat::kTypeReference;
        value.data = ApplicationIcon(manifest);
        if (value.data != 0 && table.ResolveReference(value, request) && value.dataType == ResFormat::kTypeString) {
            if (const std::string* path = table.ValueString(value.data))
                file = *path;
        }
    }
    if (file.empty()) {
        file = memberName;
        std::replace(file.begin(), file.end(), '\\', '/');
    }
    if (!EndsWithXml(file))
        return false;
    TZipFiles files(reader);
    TDrawableReader drawables({TResourceSource{haveTable ? &table : nullptr, &files}}, request);
    const TDrawablePtr drawable = drawables.ReadFile(file);
    return drawable && RenderIcon(*drawable, box, icon);
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

// Most packages name an adaptive icon (XML) for every density and keep bitmap versions of it (PNG,
// or WebP in packages made today) under the same name in sibling folders:
// res\mipmap-anydpi-v26\ic_launcher.xml has res\mipmap-xhdpi-v4\ic_launcher.webp beside it. Best first: the smallest
// that still fills the box without being enlarged, then the larger ones, then the smaller ones from large to small.
std::vector<Candidate> SiblingBitmaps(TZipReader& reader, const std::string& memberName, uint32_t box) {
    std::vector<Candidate> found;
    const auto lastSlash = memberName.find_last_of('\\');
    if (lastSlash == std::string::npos)
        return found;
    const std::string folder = memberName.substr(0, lastSlash);
    const auto parentSlash = folder.find_last_of('\\');
    const std::string parent =
        Lower(parentSlash == std::string::npos ? std::string() : folder.substr(0, parentSlash + 1));
    std::string stem = memberName.substr(lastSlash + 1);
    stem = Lower(stem.substr(0, stem.find_last_of('.')));
    const std::string named = Lower(memberName);
    for (size_t i = 0; i < reader.Count(); ++i) {
        const TZipEntryInfo& entry = reader.Entry(i);
        const std::string fileName = Lower(entry.FileName);
        if (fileName != stem + ".png" && fileName != stem + ".webp")
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
        if (ExtractMemberToMemory(reader, path, stream) && StatedSize(stream, width, height))
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
    try {
        image = DecodeBitmap(stream.Bytes().data(), stream.Bytes().size());
        return true;
    } catch (const ImageError&) {
        return false;
    }
}

// `side` on a screen of `dpi`, for a side measured at 96 DPI.
uint32_t AtDensity(uint32_t side, unsigned dpi) {
    return static_cast<uint32_t>((uint64_t(side) * dpi + 48) / 96);
}

} // namespace

bool LoadPackageIcon(const std::string& apkPath, const std::string& memberName, std::uint32_t box,
                     const TZipPlatform& platform, RgbaImage& icon, unsigned dpi) {
    RgbaImage image;
    uint32_t limit = box; // the side the icon is fitted into
    try {
        TZipReader reader(platform);
        reader.SetZipName(apkPath);
        // An icon drawn from XML reads a handful of members: the archive stays open between them.
        reader.KeepZipOpen = true;
        reader.LoadDirectory();
        if (memberName.empty() || memberName.find_first_not_of(' ') == std::string::npos)
            return false;
        if (DrawXmlIcon(reader, memberName, box, icon))
            return true;
        // The tool names one exact member; its name is not a pattern.
        TMemoryStream stream(kIconMemberLimit);
        bool decoded = ExtractMemberToMemory(reader, memberName, stream) && TryDecode(stream, image);
        if (decoded && dpi > 96) {
            const uint32_t own = std::max(image.width, image.height);
            limit = std::min(box, AtDensity(own, dpi));
            const auto siblings = own < limit ? SiblingBitmaps(reader, memberName, limit) : std::vector<Candidate>();
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
            for (const Candidate& candidate : SiblingBitmaps(reader, memberName, box)) {
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

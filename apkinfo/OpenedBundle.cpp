#include "apkinfo/OpenedBundle.h"

#include "apkinfo/PackageIcon.h"
#include "zip/Crc32.h"
#include "zip/Streams.h"
#include "zip/ZipErrors.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* const kChangedText = "安装包文件在打开之后被改动了，请重新打开它。";

std::string Megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// "{6B29FC40-CA47-101B-B31D-00DD010662DA}" -> "6B29FC40-CA47-101B-B31D-00DD010662DA".
std::string WithoutBraces(const std::string& guid) {
    std::string text;
    for (char c : guid) {
        if (c != '{' && c != '}')
            text += c;
    }
    return text;
}

} // namespace

BundleFolder::BundleFolder(ISystem& system) : system_(system) {
    std::string temp;
    if (!system_.TempFolder(temp) || temp.empty())
        throw BundleError("找不到可用的临时文件夹，无法打开安装包。");
    const char separator = temp.back() == '/' ? '/' : '\\';
    if (temp.back() != '/' && temp.back() != '\\')
        temp += separator;
    // A name that is taken already is never shared: another GUID is tried instead.
    for (int attempt = 0; attempt < 4 && path_.empty(); ++attempt) {
        std::string guid;
        if (!system_.NewGuid(guid))
            break;
        const std::string folder = temp + "Varnel-" + WithoutBraces(guid);
        if (system_.MakeFolder(folder))
            path_ = folder + separator;
    }
    if (path_.empty())
        throw BundleError("无法在临时文件夹 " + temp + " 里建立文件夹，无法打开安装包。");
}

BundleFolder::~BundleFolder() {
    for (const std::string& file : files_) {
        if (system_.FileExists(file))
            system_.RemoveFile(file);
    }
    system_.RemoveFolder(path_.substr(0, path_.size() - 1));
}

std::string BundleFolder::NewFile(const char* stem, const char* extension) {
    const std::string file = path_ + stem + "-" + std::to_string(++count_) + extension;
    files_.push_back(file);
    return file;
}

void BundleFolder::Discard(const std::string& file) {
    const auto found = std::find(files_.begin(), files_.end(), file);
    if (found == files_.end())
        return;
    if (system_.FileExists(file))
        system_.RemoveFile(file);
    files_.erase(found);
}

std::uint32_t ExtractMemberToFile(TZipReader& reader, const std::string& member, std::uint64_t size, bool expectApk,
                                  BundleFolder& folder, const std::string& file, CrcCheck check) {
    // Whatever goes wrong below, the file goes.
    struct Discarder {
        BundleFolder& folder;
        const std::string& file;
        bool keep = false;
        ~Discarder() {
            if (!keep)
                folder.Discard(file);
        }
    } discarder{folder, file};

    const std::string shown = ShownMemberName(member);
    std::ptrdiff_t index = -1;
    try {
        index = reader.FindEntry(member);
    } catch (const EZipReaderException&) {
        throw BundleError(kChangedText);
    }
    if (index < 0 || reader.Entry(static_cast<std::size_t>(index)).EffectiveUncompressedSize() != size)
        throw BundleError(kChangedText);
    const std::uint32_t crc = reader.Entry(static_cast<std::size_t>(index)).Crc32;
    struct VerifyScope {
        TZipReader& reader;
        ~VerifyScope() { reader.VerifyCrc = true; }
    } verifyScope{reader};
    reader.VerifyCrc = check == CrcCheck::Now;
    TFileWriteStream stream;
    if (!stream.Create(file))
        throw BundleError("无法建立临时文件 " + file + "。");
    bool matched = false;
    try {
        matched = reader.ExtractEntryToStream(static_cast<std::size_t>(index), stream);
    } catch (const ECantWriteUCF&) {
        stream.Close();
        throw BundleError("无法写入临时文件 " + file + "，磁盘可能已满。");
    } catch (const EUserCanceled&) {
        throw;
    } catch (const EZipReaderException&) {
        matched = false;
    } catch (const EZLibError&) {
        matched = false;
    }
    const bool written = stream.Close();
    if (!written)
        throw BundleError("无法写入临时文件 " + file + "，磁盘可能已满。");
    if (!matched || stream.Size() != size)
        throw BundleError("安装包里的文件 " + shown + " 已损坏（数据与校验不符）。");
    static const std::uint8_t kZipStart[4] = {'P', 'K', 3, 4};
    if (expectApk && (stream.HeadLength() < 4 || !std::equal(kZipStart, kZipStart + 4, stream.Head())))
        throw BundleError("安装包里的文件 " + shown + " 不是 APK（可能是加密的）。");
    discarder.keep = true;
    return crc;
}

void CheckFileCrc(const std::string& file, std::uint32_t crc, const std::string& member) {
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr)
        throw BundleError("无法读取临时文件 " + file + "。");
    std::vector<std::uint8_t> buffer(std::size_t(1) << 18);
    std::uint32_t running = 0xFFFFFFFFu;
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0)
        running = UpdateCrc32(running, buffer.data(), n);
    const bool failed = std::ferror(stream) != 0;
    std::fclose(stream);
    if (failed)
        throw BundleError("无法读取临时文件 " + file + "。");
    if (~running != crc)
        throw BundleError("安装包里的文件 " + ShownMemberName(member) + " 已损坏（数据与校验不符）。");
}

OpenedBundle::OpenedBundle(const std::string& path, PackageFileKind kind, ISystem& system, const TZipPlatform& platform)
    : path_(path), system_(system), reader_(platform), info_(ReadBundle(path, kind, platform)), folder_(system) {
    reader_.SetZipName(path_);
    const Wanted base{info_.ShowMember(), info_.ShowMemberSize(), true};
    ExtractAll({base}, CrcCheck::Later);
    basePath_ = extracted_.at(base.member);
}

void OpenedBundle::ExtractAll(const std::vector<Wanted>& wanted, CrcCheck check) {
    std::uint64_t needed = 0;
    std::vector<const Wanted*> missing;
    for (const Wanted& item : wanted) {
        if (extracted_.count(item.member) != 0)
            continue;
        if (std::find_if(missing.begin(), missing.end(),
                         [&item](const Wanted* w) { return w->member == item.member; }) != missing.end())
            continue;
        missing.push_back(&item);
        needed = item.size > UINT64_MAX - needed ? UINT64_MAX : needed + item.size;
    }
    // What came out unchecked is checked the first time it is asked for again.
    for (const Wanted& item : wanted) {
        const auto unchecked = unchecked_.find(item.member);
        if (unchecked != unchecked_.end() && check == CrcCheck::Now) {
            CheckFileCrc(extracted_.at(item.member), unchecked->second, item.member);
            unchecked_.erase(unchecked);
        }
    }
    if (missing.empty())
        return;
    // The reader notices a changed file by its time, which some file systems keep in whole seconds.
    if (system_.FileSize(path_) != info_.fileSize)
        throw BundleError(kChangedText);
    std::uint64_t free = 0;
    if (system_.FreeDiskSpace(folder_.Path(), free) && (needed > free || free - needed < kFreeSpaceReserve))
        throw BundleError("临时文件夹所在的磁盘空间不足：需要 " + Megabytes(needed + kFreeSpaceReserve) + "，只有 " +
                          Megabytes(free) + " 可用。");
    for (const Wanted* item : missing) {
        const std::string file = folder_.NewFile(item->apk ? "piece" : "obb", item->apk ? ".apk" : ".obb");
        const std::uint32_t crc =
            ExtractMemberToFile(reader_, item->member, item->size, item->apk, folder_, file, check);
        extracted_[item->member] = file;
        if (check == CrcCheck::Later)
            unchecked_[item->member] = crc;
        extractedBytes_ += item->size;
    }
}

const std::string& OpenedBundle::FileOf(const Wanted& wanted) {
    return extracted_.at(wanted.member);
}

std::vector<std::string> OpenedBundle::PieceFiles(const std::vector<std::string>& members) {
    std::vector<Wanted> wanted;
    for (const std::string& member : members) {
        const std::uint64_t* size = nullptr;
        for (const BundlePiece& piece : info_.pieces) {
            if (piece.split.name == member)
                size = &piece.size;
        }
        for (const BundleStandalone& standalone : info_.standalones) {
            if (standalone.apk.name == member)
                size = &standalone.size;
        }
        if (size == nullptr)
            throw BundleError("安装包里没有文件 " + ShownMemberName(member) + "。");
        wanted.push_back(Wanted{member, *size, true});
    }
    ExtractAll(wanted);
    std::vector<std::string> files;
    for (const Wanted& item : wanted)
        files.push_back(FileOf(item));
    return files;
}

std::vector<OpenedBundle::ObbOnDisk> OpenedBundle::ObbFiles() {
    std::vector<Wanted> wanted;
    for (const ObbFile& obb : info_.obbs)
        wanted.push_back(Wanted{obb.member, obb.size, false});
    ExtractAll(wanted);
    std::vector<ObbOnDisk> files;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        files.push_back(ObbOnDisk{FileOf(wanted[i]), info_.obbs[i].phonePath});
    return files;
}

bool LoadBundleIcon(OpenedBundle& bundle, const std::string& memberName, std::uint32_t box,
                    const TZipPlatform& platform, RgbaImage& icon, unsigned dpi) {
    if (LoadPackageIcon(bundle.BasePath(), memberName, box, platform, icon, dpi))
        return true;
    // A launcher icon is 48 px at 160 dpi: the bucket that gives the box's size without enlarging
    // comes first, then the larger ones, then the smaller ones from large to small.
    const std::uint64_t ideal = std::uint64_t(box) * 160 / 48;
    std::vector<const BundlePiece*> densities;
    for (const BundlePiece& piece : bundle.Info().pieces) {
        if (piece.split.kind == SplitKind::Density && piece.split.module == kBaseModule)
            densities.push_back(&piece);
    }
    std::stable_sort(densities.begin(), densities.end(), [ideal](const BundlePiece* a, const BundlePiece* b) {
        const auto da = static_cast<std::uint64_t>(DensityOfBucket(a->split.config));
        const auto db = static_cast<std::uint64_t>(DensityOfBucket(b->split.config));
        const bool aFills = da >= ideal;
        const bool bFills = db >= ideal;
        if (aFills != bFills)
            return aFills;
        return aFills ? da < db : da > db;
    });
    for (const BundlePiece* piece : densities) {
        try {
            const std::vector<std::string> files = bundle.PieceFiles({piece->split.name});
            if (LoadPackageIcon(files.front(), memberName, box, platform, icon, dpi))
                return true;
        } catch (const BundleError&) {
            // An icon that can't be had is no reason to refuse the bundle.
        }
    }
    return false;
}

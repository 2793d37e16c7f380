#include "apkinfo/Bundle.h"

#include "zip/ArchiveFile.h"
#include "zip/ZipErrors.h"
#include "zip/ZipReader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

namespace BundleText {
const char* const kNotAZip = "这不是有效的安装包文件（它不是 ZIP 格式）。";
const char* const kCut = "安装包文件不完整，可能没有下载完，请重新下载。";
const char* const kDamaged = "安装包文件已损坏，无法读取。";
const char* const kNoBase = "安装包里找不到基础 APK，无法显示和安装。";
const char* const kTwoBases = "安装包里有不止一个基础 APK，无法确定安装哪一个。";
const char* const kMixedPackages = "安装包里的文件属于不同的应用：";
const char* const kEncryptedApkm =
    "这个 .apkm 文件是加密的旧格式（2021 年以前的 APKMirror 文件），无法读取，请重新下载新版本。";
const char* const kBadManifest = " 不是有效的 JSON，安装包已损坏。";
const char* const kHugeManifest = " 大得不正常（超过 1 MB），不予读取。";
const char* const kBadPackageName = "安装包清单里的包名不合规，无法安装。";
const char* const kTooManyPieces = "安装包里的 APK 或数据文件多得不正常，不予读取。";
const char* const kObbWithoutPackage = "安装包带有 OBB 数据文件，但清单里没有包名，不知道数据该放在哪里。";
} // namespace BundleText

namespace {

using Json = nlohmann::json;

// A member of the archive as the bundle reading needs it.
struct Member {
    std::string path;  // as the reader has it ('\' separators)
    std::string lower; // letter case of A to Z folded, '/' separators: for matching
    std::uint64_t size = 0;
    std::uint64_t compressed = 0;
    std::uint64_t offset = 0;
    std::uint16_t method = 0;
    bool encrypted = false;
};

std::string LowerSlashes(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '\\')
            c = '/';
    }
    return lower;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The last part of a path, '/' or '\' separated.
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void Fail(const std::string& message) {
    throw BundleError(message);
}

[[noreturn]] void FailMissing(const std::string& name) {
    Fail("安装包清单列出的文件 " + ShownMemberName(name) + " 不在安装包里，安装包不完整。");
}

[[noreturn]] void FailClaim(const Member& member) {
    Fail("安装包里的文件 " + ShownMemberName(member.path) + " 声称的大小与安装包实际所含不符，安装包已损坏。");
}

// Android's rule for an application's package name: two or more parts of letters, digits and '_',
// each starting with a letter.
bool IsPackageName(const std::string& name) {
    if (name.empty() || name.size() > 255)
        return false;
    int parts = 0;
    bool atStart = true;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (c == '.') {
            if (atStart)
                return false;
            atStart = true;
        } else if (atStart) {
            if (!letter)
                return false;
            atStart = false;
            ++parts;
        } else if (!letter && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return !atStart && parts >= 2;
}

// A file name that is safe on the phone and on a command line.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.size() > 128 || name == "." || name == "..")
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

bool SameAscii(const std::string& a, const std::string& b) {
    return LowerSlashes(a) == LowerSlashes(b);
}

// Nesting deeper than any real manifest is refused before the parser sees it.
bool NestingWithin(const std::string& text, int most) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > most)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// A count that may be written as a number or as a text of digits.
std::optional<std::int64_t> WholeNumber(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end())
        return std::nullopt;
    if (found->is_number_unsigned()) {
        const auto value = found->get<std::uint64_t>();
        if (value <= static_cast<std::uint64_t>(INT64_MAX))
            return static_cast<std::int64_t>(value);
    } else if (found->is_number_integer()) {
        const auto value = found->get<std::int64_t>();
        if (value >= 0)
            return value;
    } else if (found->is_number_float()) {
        const double value = found->get<double>();
        if (value >= 0 && value < 9.0e18 && value == static_cast<double>(static_cast<std::int64_t>(value)))
            return static_cast<std::int64_t>(value);
    } else if (found->is_string()) {
        std::string text = found->get<std::string>();
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text.erase(0, text.find_first_not_of(' '));
        if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        return std::stoll(text);
    }
    return std::nullopt;
}

std::string TextOf(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

class BundleReading {
public:
    BundleReading(const std::string& path, PackageFileKind kind, const TZipPlatform& platform)
        : path_(path), platform_(platform), reader_(platform) {
        info_.kind = kind;
    }

    BundleInfo Read() {
        Probe();
        LoadDirectory();
        switch (info_.kind) {
        case PackageFileKind::Apks:
            ReadApks();
            break;
        case PackageFileKind::Xapk:
            ReadXapk();
            break;
        case PackageFileKind::Apkm:
            ReadApkm();
            break;
        default:
            Fail(BundleText::kNotAZip);
        }
        CheckWhole();
        return std::move(info_);
    }

private:
    // The file's size, and whether it begins as an archive does: a cut one still does.
    void Probe() {
        TPortableSystemErrors portableErrors;
        IZipSystemErrors& errors = platform_.SystemErrors != nullptr ? *platform_.SystemErrors : portableErrors;
        TArchiveFileStream probe(path_, errors);
        info_.fileSize = static_cast<std::uint64_t>(probe.Size());
        std::uint8_t head[4] = {};
        startsAsZip_ = probe.Read(head, sizeof head) == sizeof head && head[0] == 'P' && head[1] == 'K' &&
                       head[2] == 3 && head[3] == 4;
    }

    void LoadDirectory() {
        // No end record is no bundle here: a part of a multi-disk set is not what users bring.
        reader_.IncompleteZipMode = TIncompleteZipMode::izAssumeNotAZip;
        try {
            reader_.SetZipName(path_);
            reader_.LoadDirectory();
        } catch (const EFOpenError&) {
            throw;
        } catch (const std::exception&) {
            Fail(startsAsZip_ ? BundleText::kCut : BundleText::kNotAZip);
        }
        // A directory rebuilt from the local headers is a guess: not good enough to install from.
        if (reader_.Repaired())
            Fail(startsAsZip_ ? BundleText::kCut : BundleText::kDamaged);
        for (std::size_t i = 0; i < reader_.Count(); ++i) {
            const TZipEntryInfo& entry = reader_.Entry(i);
            if (entry.IsDirectory())
                continue;
            Member member;
            member.path = entry.FullPath();
            member.lower = LowerSlashes(member.path);
            member.size = entry.EffectiveUncompressedSize();
            member.compressed = entry.EffectiveCompressedSize();
            member.offset = entry.EffectiveLocalHeaderOffset();
            member.method = entry.Method;
            member.encrypted = entry.IsEncrypted();
            members_.push_back(std::move(member));
        }
    }

    const Member* Find(const std::string& name) const {
        std::string wanted = LowerSlashes(name);
        while (StartsWith(wanted, "./"))
            wanted.erase(0, 2);
        for (const Member& member : members_) {
            if (member.lower == wanted)
                return &member;
        }
        return nullptr;
    }

    // What the directory claims for a member the bundle uses must fit the archive it is in.
    void CheckClaim(const Member& member) const {
        if (member.encrypted) {
            if (info_.kind == PackageFileKind::Apkm)
                Fail(BundleText::kEncryptedApkm);
            Fail("安装包里的文件 " + ShownMemberName(member.path) + " 是加密的，无法读取。");
        }
        if (member.method != 0 && member.method != 8)
            Fail("安装包里的文件 " + ShownMemberName(member.path) + " 用了不支持的压缩方式。");
        const std::uint64_t size = info_.fileSize;
        if (member.offset > size || member.compressed > size - member.offset)
            FailClaim(member);
        if (member.method == 0 && member.size != member.compressed)
            FailClaim(member);
        // DEFLATE gives at most about 1032 bytes for one.
        if (member.method == 8 && member.compressed < (UINT64_MAX >> 11) &&
            member.size > member.compressed * 1032 + 65536)
            FailClaim(member);
    }

    // The bundle's own manifest, or null when it has none.
    std::optional<Json> Manifest(const char* name, bool notJsonMeansEncrypted) {
        const Member* member = Find(name);
        if (member == nullptr)
            return std::nullopt;
        if (member->size > kBundleManifestLimit)
            Fail(std::string(name) + BundleText::kHugeManifest);
        if (member->encrypted && notJsonMeansEncrypted)
            Fail(BundleText::kEncryptedApkm);
        CheckClaim(*member);
        TMemoryStream stream(kBundleManifestLimit);
        const std::ptrdiff_t index = reader_.FindEntry(member->path);
        bool extracted = false;
        try {
            extracted = index >= 0 && reader_.ExtractEntryToStream(static_cast<std::size_t>(index), stream);
        } catch (const EZipReaderException&) {
        } catch (const EZLibError&) {
        }
        if (!extracted || stream.Size() != member->size) {
            if (notJsonMeansEncrypted)
                Fail(BundleText::kEncryptedApkm);
            Fail(std::string(name) + BundleText::kBadManifest);
        }
        const std::vector<std::uint8_t>& bytes = stream.Bytes();
        const std::string text(bytes.begin(), bytes.end());
        Json json;
        if (NestingWithin(text, 32))
            json = Json::parse(text, nullptr, false);
        if (json.is_discarded() || !json.is_object()) {
            if (notJsonMeansEncrypted)
                Fail(BundleText::kEncryptedApkm);
            Fail(std::string(name) + BundleText::kBadManifest);
        }
        return json;
    }

    void StatePackage(const std::string& name) {
        if (name.empty())
            return;
        if (!IsPackageName(name))
            Fail(BundleText::kBadPackageName);
        info_.packageName = name;
    }

    BundlePiece Piece(const Member& member, SplitApk split) const {
        CheckClaim(member);
        split.name = member.path;
        return BundlePiece{split, member.size};
    }

    // An APK at the top of the archive, known by its name: "base.apk", "split_config.xxhdpi.apk"
    // (APKMirror, SAI), "config.xxhdpi.apk" (APKPure), "<package>.apk". Anything else is taken for
    // a feature module; `unknown` says so.
    static SplitApk ByFileName(const std::string& fileName, const std::string& package, bool& unknown) {
        std::string stem = fileName.substr(0, fileName.size() - 4);
        const std::string lower = LowerSlashes(stem);
        unknown = false;
        if (lower == "base" || (!package.empty() && SameAscii(stem, package)))
            return ClassifySplitName("");
        if (StartsWith(lower, "split_"))
            return ClassifySplitName(stem.substr(6));
        if (StartsWith(lower, "config.") || lower.find(".config.") != std::string::npos)
            return ClassifySplitName(stem);
        unknown = true;
        return ClassifySplitName(stem);
    }

    // The top-level APKs, by their names. Without a base named as such, a single APK of another
    // name is the base; several leave it open.
    void TopLevelPieces() {
        std::vector<BundlePiece> pieces;
        std::vector<std::size_t> unknown;
        for (const Member& member : members_) {
            if (member.lower.find('/') != std::string::npos || !EndsWith(member.lower, ".apk"))
                continue;
            bool isUnknown = false;
            pieces.push_back(Piece(member, ByFileName(member.path, info_.packageName, isUnknown)));
            if (isUnknown)
                unknown.push_back(pieces.size() - 1);
        }
        const auto bases = std::count_if(pieces.begin(), pieces.end(),
                                         [](const BundlePiece& p) { return p.split.kind == SplitKind::Base; });
        if (bases == 0 && unknown.size() == 1) {
            pieces[unknown[0]].split.kind = SplitKind::Base;
            pieces[unknown[0]].split.module = kBaseModule;
        } else if (bases == 0 && unknown.size() > 1) {
            Fail(BundleText::kTwoBases);
        }
        TakePieces(std::move(pieces));
    }

    // Checks for exactly one base and puts it first.
    void TakePieces(std::vector<BundlePiece> pieces) {
        const auto bases = std::count_if(pieces.begin(), pieces.end(),
                                         [](const BundlePiece& p) { return p.split.kind == SplitKind::Base; });
        if (bases > 1)
            Fail(BundleText::kTwoBases);
        if (bases == 0 && !pieces.empty())
            Fail(BundleText::kNoBase);
        std::stable_partition(pieces.begin(), pieces.end(),
                              [](const BundlePiece& p) { return p.split.kind == SplitKind::Base; });
        info_.pieces = std::move(pieces);
    }

    // bundletool: splits/<module>-<master or qualifier>.apk, standalones/standalone-<qualifiers>.apk,
    // universal.apk; SAI's .apks hold APKs at the top with meta.sai_v*.json.
    void ReadApks() {
        std::vector<BundlePiece> splits;
        for (const Member& member : members_) {
            const std::string& lower = member.lower;
            if (!EndsWith(lower, ".apk"))
                continue;
            if (StartsWith(lower, "splits/") && lower.find('/', 7) == std::string::npos) {
                const std::string stem = member.path.substr(7, member.path.size() - 11);
                const std::size_t dash = stem.find('-');
                SplitApk split;
                split.module = dash == std::string::npos ? stem : stem.substr(0, dash);
                const std::string suffix =
                    dash == std::string::npos ? std::string() : LowerSlashes(stem.substr(dash + 1));
                if (suffix == "master")
                    split.kind = split.module == kBaseModule ? SplitKind::Base : SplitKind::Feature;
                else
                    ClassifyQualifier(suffix, split.kind, split.config);
                splits.push_back(Piece(member, split));
            } else if (StartsWith(lower, "standalones/") && lower.find('/', 12) == std::string::npos) {
                CheckClaim(member);
                info_.standalones.push_back(BundleStandalone{Standalone(member), member.size});
            } else if (lower == "universal.apk") {
                info_.universal = Piece(member, ClassifySplitName(""));
            }
        }
        const bool splitBase = std::any_of(splits.begin(), splits.end(),
                                           [](const BundlePiece& p) { return p.split.kind == SplitKind::Base; });
        if (splitBase) {
            TakePieces(std::move(splits));
        } else if (info_.universal) {
            info_.pieces.push_back(*info_.universal);
        } else if (!splits.empty()) {
            Fail(BundleText::kNoBase);
        } else {
            TopLevelPieces();
        }
    }

    // "standalone-arm64_v8a_xxhdpi.apk": ABI and density as far as the name tells.
    StandaloneApk Standalone(const Member& member) const {
        StandaloneApk apk;
        apk.name = member.path;
        std::string rest = member.lower.substr(12, member.lower.size() - 16);
        if (StartsWith(rest, "standalone"))
            rest.erase(0, 10);
        std::vector<std::string> tokens;
        std::size_t start = 0;
        while (start <= rest.size()) {
            const std::size_t mark = rest.find_first_of("_-", start);
            const std::size_t end = mark == std::string::npos ? rest.size() : mark;
            if (end > start)
                tokens.push_back(rest.substr(start, end - start));
            start = end + 1;
        }
        // ABIs hold '_' themselves: try two tokens joined before one.
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (i + 1 < tokens.size() && apk.abi.empty()) {
                const std::string joined = AbiFromQualifier(tokens[i] + "_" + tokens[i + 1]);
                if (!joined.empty()) {
                    apk.abi = joined;
                    ++i;
                    continue;
                }
            }
            if (apk.abi.empty() && !AbiFromQualifier(tokens[i]).empty())
                apk.abi = AbiFromQualifier(tokens[i]);
            else if (apk.density.empty() && DensityOfBucket(tokens[i]) != 0)
                apk.density = tokens[i];
        }
        return apk;
    }

    // APKPure: manifest.json names the APKs (split_apks, the base with id "base") and the OBB files
    // (expansions); an old one names no APKs and holds "<package>.apk".
    void ReadXapk() {
        const std::optional<Json> manifest = Manifest("manifest.json", false);
        if (!manifest) {
            TopLevelPieces();
            return;
        }
        StatePackage(TextOf(*manifest, "package_name"));
        info_.versionCode = WholeNumber(*manifest, "version_code");
        info_.minSdk = WholeNumber(*manifest, "min_sdk_version");

        const auto splitList = manifest->find("split_apks");
        if (splitList != manifest->end() && !splitList->is_array())
            Fail(std::string("manifest.json") + BundleText::kBadManifest);
        if (splitList != manifest->end() && !splitList->empty()) {
            if (splitList->size() > kBundleMaxApks)
                Fail(BundleText::kTooManyPieces);
            std::vector<BundlePiece> pieces;
            for (const Json& item : *splitList) {
                if (!item.is_object())
                    Fail(std::string("manifest.json") + BundleText::kBadManifest);
                const std::string file = TextOf(item, "file");
                const Member* member = Find(file);
                if (file.empty() || member == nullptr)
                    FailMissing(file);
                const std::string id = TextOf(item, "id");
                SplitApk split;
                if (id.empty()) {
                    bool unknown = false;
                    split = ByFileName(BaseName(member->path), info_.packageName, unknown);
                } else {
                    split = ClassifySplitName(id);
                }
                pieces.push_back(Piece(*member, split));
            }
            TakePieces(std::move(pieces));
        } else {
            TopLevelPieces();
        }
        CheckBaseName();

        const auto expansions = manifest->find("expansions");
        if (expansions != manifest->end() && !expansions->is_array())
            Fail(std::string("manifest.json") + BundleText::kBadManifest);
        if (expansions == manifest->end())
            return;
        if (expansions->size() > kBundleMaxObbs)
            Fail(BundleText::kTooManyPieces);
        for (const Json& item : *expansions) {
            if (!item.is_object())
                Fail(std::string("manifest.json") + BundleText::kBadManifest);
            const std::string file = TextOf(item, "file");
            const Member* member = Find(file);
            if (file.empty() || member == nullptr)
                FailMissing(file);
            CheckClaim(*member);
            if (info_.packageName.empty())
                Fail(BundleText::kObbWithoutPackage);
            // Only the file name is taken from the bundle: the folder is the package's own.
            std::string name = BaseName(TextOf(item, "install_path"));
            if (name.empty())
                name = BaseName(file);
            if (!IsPlainFileName(name))
                Fail("安装包里的数据文件名 " + ShownMemberName(name) + " 不合规，无法放到手机上。");
            CheckObbOwner(name);
            info_.obbs.push_back(ObbFile{member->path, member->size, "Android/obb/" + info_.packageName + "/" + name});
        }
    }

    // APKPure names the base after the package: another package's name there is another app.
    void CheckBaseName() const {
        if (info_.pieces.empty() || info_.packageName.empty())
            return;
        const std::string file = BaseName(info_.pieces.front().split.name);
        const std::string stem = file.substr(0, file.size() - 4);
        if (stem.find('.') != std::string::npos && IsPackageName(stem) && !StartsWith(LowerSlashes(stem), "config.") &&
            !SameAscii(stem, info_.packageName))
            Fail(std::string(BundleText::kMixedPackages) + info_.packageName + " 与 " + stem + "。");
    }

    // "main.<version>.<package>.obb" and "patch.<version>.<package>.obb" name their package.
    void CheckObbOwner(const std::string& name) const {
        const std::string lower = LowerSlashes(name);
        if (!(StartsWith(lower, "main.") || StartsWith(lower, "patch.")) || !EndsWith(lower, ".obb"))
            return;
        const std::size_t versionStart = name.find('.') + 1;
        const std::size_t versionEnd = name.find('.', versionStart);
        if (versionEnd == std::string::npos || versionEnd + 1 >= name.size() - 4)
            return;
        const std::string owner = name.substr(versionEnd + 1, name.size() - 4 - versionEnd - 1);
        if (IsPackageName(owner) && !SameAscii(owner, info_.packageName))
            Fail(std::string(BundleText::kMixedPackages) + info_.packageName + " 与 " + owner + "。");
    }

    // APKMirror: info.json (pname, versioncode, min_api), base.apk, split_<split name>.apk. The
    // old encrypted files show as an info.json that isn't JSON or as encrypted members.
    void ReadApkm() {
        for (const Member& member : members_) {
            if (member.encrypted)
                Fail(BundleText::kEncryptedApkm);
        }
        const std::optional<Json> info = Manifest("info.json", true);
        if (info) {
            StatePackage(TextOf(*info, "pname"));
            info_.versionCode = WholeNumber(*info, "versioncode");
            info_.minSdk = WholeNumber(*info, "min_api");
        }
        TopLevelPieces();
    }

    // Rules for the whole: not too many pieces, none named twice, something to install.
    void CheckWhole() const {
        const std::size_t apks = info_.pieces.size() + info_.standalones.size();
        if (apks > kBundleMaxApks || info_.obbs.size() > kBundleMaxObbs)
            Fail(BundleText::kTooManyPieces);
        if (info_.pieces.empty() && info_.standalones.empty())
            Fail(BundleText::kNoBase);
        std::set<std::string> seen;
        auto once = [&seen](const std::string& name) {
            if (!seen.insert(LowerSlashes(name)).second)
                Fail("安装包里有两个同名的文件 " + ShownMemberName(name) + "，无法确定用哪一个。");
        };
        for (const BundlePiece& piece : info_.pieces)
            once(piece.split.name);
        for (const BundleStandalone& standalone : info_.standalones)
            once(standalone.apk.name);
        for (const ObbFile& obb : info_.obbs)
            once(obb.member);
        std::set<std::string> phonePaths;
        for (const ObbFile& obb : info_.obbs) {
            if (!phonePaths.insert(LowerSlashes(obb.phonePath)).second)
                Fail("安装包里有两个同名的数据文件 " + ShownMemberName(BaseName(obb.phonePath)) +
                     "，无法确定用哪一个。");
        }
        // A name the reader lists twice would be found as its first copy only.
        std::set<std::string> all;
        for (const Member& member : members_) {
            if (!all.insert(member.lower).second && seen.count(member.lower) != 0)
                Fail("安装包里有两个同名的文件 " + ShownMemberName(member.path) + "，无法确定用哪一个。");
        }
    }

    std::string path_;
    TZipPlatform platform_;
    TZipReader reader_;
    BundleInfo info_;
    std::vector<Member> members_;
    bool startsAsZip_ = false;
};

} // namespace

const std::string& BundleInfo::ShowMember() const {
    static const std::string kNone;
    if (!pieces.empty())
        return pieces.front().split.name;
    return standalones.empty() ? kNone : standalones.front().apk.name;
}

std::uint64_t BundleInfo::ShowMemberSize() const {
    if (!pieces.empty())
        return pieces.front().size;
    return standalones.empty() ? 0 : standalones.front().size;
}

std::vector<SplitApk> BundleInfo::Splits() const {
    std::vector<SplitApk> splits;
    for (const BundlePiece& piece : pieces)
        splits.push_back(piece.split);
    return splits;
}

std::vector<StandaloneApk> BundleInfo::Standalones() const {
    std::vector<StandaloneApk> apks;
    for (const BundleStandalone& standalone : standalones)
        apks.push_back(standalone.apk);
    return apks;
}

BundleInfo ReadBundle(const std::string& path, PackageFileKind kind, const TZipPlatform& platform) {
    return BundleReading(path, kind, platform).Read();
}

std::string ShownMemberName(const std::string& name) {
    std::string shown;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte == '\\' ? '/' : (byte >= 0x20 && byte < 0x7F ? c : '?');
        if (shown.size() >= 80) {
            shown += "...";
            break;
        }
    }
    return shown;
}

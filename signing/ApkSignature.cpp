#include "signing/ApkSignature.h"

#include "resources/ResFormat.h"
#include "resources/XmlTree.h"
#include "signing/ContentDigest.h"
#include "signing/JarSignature.h"
#include "signing/SchemeSigners.h"
#include "zip/ArchiveFile.h"
#include "zip/ZipReader.h"

#include <openssl/err.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

constexpr uint32_t kSdkNougat = 24; // Android 7.0: v2
constexpr uint32_t kSdkPie = 28;    // Android 9: v3
constexpr uint32_t kSdkR = 30;      // Android 11: packages that target it need v2 or later
constexpr uint32_t kMinSdkAttribute = 0x0101020c;
constexpr uint32_t kTargetSdkAttribute = 0x01010270;
constexpr uint64_t kMaxAndroidManifestSize = 16u << 20;
constexpr uint32_t kEndRecordSize = 22;
constexpr size_t kEndRecordOffsetField = 16;
// A minSdkVersion that is a preview's code name stands for a level newer than any released one.
constexpr uint32_t kPreviewSdk = 10000;

// The digests of a member as it comes out of the ZIP reader, without keeping it.
class THashingStream : public TStream {
public:
    THashingStream(const std::vector<TDigestKind>& kinds, const std::atomic<bool>& cancel)
        : kinds_(kinds), cancel_(cancel) {
        Restart();
    }
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override {
        // A short write stops the reader, which is how a cancel reaches into it.
        if (cancel_.load(std::memory_order_relaxed))
            return 0;
        for (THasher& hasher : hashers_)
            hasher.Update(buffer, count);
        position_ += count;
        return count;
    }
    uint64_t Position() const override { return position_; }
    void SetPosition(uint64_t position) override {
        if (position != position_)
            Restart();
    }
    uint64_t Size() const override { return position_; }
    bool SetSize(uint64_t size) override {
        if (size == 0)
            Restart();
        return size == position_;
    }
    std::vector<TBytes> Final() {
        std::vector<TBytes> out;
        for (THasher& hasher : hashers_)
            out.push_back(hasher.Final());
        return out;
    }

private:
    void Restart() {
        hashers_.clear();
        for (TDigestKind kind : kinds_)
            hashers_.emplace_back(kind);
        position_ = 0;
    }
    std::vector<TDigestKind> kinds_;
    const std::atomic<bool>& cancel_;
    std::vector<THasher> hashers_;
    uint64_t position_ = 0;
};

// The package's members through our ZIP reader's directory.
class TZipJarSource : public IJarSource {
public:
    TZipJarSource(TZipReader& reader, const std::atomic<bool>& cancel) : reader_(reader), cancel_(cancel) {
        for (size_t i = 0; i < reader.Count(); ++i) {
            std::string name = reader.Entry(i).FullPath();
            std::replace(name.begin(), name.end(), '\\', '/');
            names_.push_back(std::move(name));
        }
    }
    size_t Count() const override { return names_.size(); }
    const std::string& Name(size_t index) const override { return names_[index]; }
    bool Read(size_t index, uint64_t limit, TBytes& bytes) override {
        if (reader_.Entry(index).EffectiveUncompressedSize() > limit)
            return false;
        TMemoryStream stream(limit);
        if (!Extract(index, stream))
            return false;
        bytes = stream.TakeBytes();
        return true;
    }
    bool DigestOf(size_t index, const std::vector<TDigestKind>& kinds, std::vector<TBytes>& digests) override {
        THashingStream stream(kinds, cancel_);
        if (!Extract(index, stream))
            return false;
        digests = stream.Final();
        return true;
    }
    // The index of the member of that exact name, or -1.
    long Find(const std::string& name) const {
        auto at = std::find(names_.begin(), names_.end(), name);
        return at == names_.end() ? -1 : static_cast<long>(at - names_.begin());
    }

private:
    bool Extract(size_t index, TStream& stream) {
        try {
            reader_.ExtractEntryToStream(index, stream);
            return stream.Size() == reader_.Entry(index).EffectiveUncompressedSize() &&
                   !cancel_.load(std::memory_order_relaxed);
        } catch (const std::exception&) {
            return false;
        }
    }
    TZipReader& reader_;
    const std::atomic<bool>& cancel_;
    std::vector<std::string> names_;
};

// An SDK level attribute's value: a number, or a preview's code name.
uint32_t SdkValue(const TXmlTree& tree, long index, uint32_t fallback) {
    if (index < 0)
        return fallback;
    const TResValue value = tree.AttributeValue(static_cast<size_t>(index));
    if (value.dataType >= ResFormat::kTypeFirstInt && value.dataType <= ResFormat::kTypeLastInt)
        return std::max<uint32_t>(1, value.data);
    if (value.dataType == ResFormat::kTypeString) {
        const std::string* text = tree.AttributeRawString(static_cast<size_t>(index));
        if (text && !text->empty() && text->find_first_not_of("0123456789") == std::string::npos && text->size() < 6)
            return std::max<uint32_t>(1, static_cast<uint32_t>(std::stoul(*text)));
        return kPreviewSdk;
    }
    return fallback;
}

// The minSdkVersion and targetSdkVersion of <uses-sdk> in the binary manifest: 1 when it names no
// minimum, the minimum when it names no target.
void ReadSdkLevels(const TBytes& manifest, uint32_t& minSdk, uint32_t& targetSdk) {
    minSdk = targetSdk = 1;
    TXmlTree tree;
    if (!tree.Load(TByteSpan(manifest.data(), manifest.size())))
        return;
    for (TXmlTree::TEvent event = tree.Next();
         event != TXmlTree::TEvent::EndDocument && event != TXmlTree::TEvent::BadDocument; event = tree.Next()) {
        const std::string* name = event == TXmlTree::TEvent::StartTag ? tree.ElementName() : nullptr;
        if (!name || *name != "uses-sdk")
            continue;
        minSdk = SdkValue(tree, tree.FindAttribute(kMinSdkAttribute), 1);
        targetSdk = SdkValue(tree, tree.FindAttribute(kTargetSdkAttribute), minSdk);
        return;
    }
}

bool ReadAt(TFileHandle& file, uint64_t offset, size_t size, TBytes& bytes) {
    bytes.assign(size, 0);
    return offset <= static_cast<uint64_t>(INT64_MAX) && file.Seek(static_cast<int64_t>(offset)) &&
           file.Read(bytes.data(), size) == size;
}

bool Present(const TSchemeResult& scheme) {
    return scheme.state != TSchemeState::Absent;
}

class TApkCheck {
public:
    TApkCheck(const std::string& path, const std::atomic<bool>& cancel, const TVerifyOptions& options)
        : path_(path), cancel_(cancel), options_(options) {
        for (int i = 0; i < kSchemeCount; ++i) {
            report_.schemes[i].scheme = static_cast<TScheme>(i);
            checked_[i].result.scheme = static_cast<TScheme>(i);
        }
    }
    TSignatureReport Run();

private:
    void Broken(const std::string& problem) { packageProblems_.push_back(problem); }
    bool ReadBlock(TFileHandle& file, uint64_t directoryOffset);
    void CheckAgainstEachOther();
    void Decide();
    std::vector<std::string> SignerCertificates(const TSchemeResult& scheme) const;

    const std::string& path_;
    const std::atomic<bool>& cancel_;
    const TVerifyOptions& options_;
    TSignatureReport report_;
    std::vector<std::string> packageProblems_;
    TBytes block_;
    TCheckedScheme checked_[kSchemeCount];
    std::vector<int> laterSchemes_;
    uint32_t targetSdk_ = 1;
};

bool TApkCheck::ReadBlock(TFileHandle& file, uint64_t directoryOffset) {
    TBytes footer;
    if (directoryOffset < kSigningBlockFooterSize)
        return true;
    if (!ReadAt(file, directoryOffset - kSigningBlockFooterSize, kSigningBlockFooterSize, footer)) {
        Broken("安装包读不出来");
        return false;
    }
    const TBlockFooter found = ReadBlockFooter(footer, directoryOffset);
    if (found.found == 0)
        return true;
    std::vector<TBlockPair> pairs;
    std::string problem;
    if (found.found < 0 || !ReadAt(file, found.blockOffset, static_cast<size_t>(found.blockSize), block_) ||
        !ParseSigningBlock(block_, pairs, problem)) {
        Broken(problem.empty() ? "签名块已损坏" : problem);
        block_.clear();
        return false;
    }
    const struct {
        TScheme scheme;
        uint32_t id;
    } kBlocks[] = {{TScheme::V2, SigningBlockIds::kV2},
                   {TScheme::V3, SigningBlockIds::kV3},
                   {TScheme::V31, SigningBlockIds::kV31}};
    for (const auto& wanted : kBlocks) {
        // The first of an id counts, as on a phone; other blocks (padding, stamps) are not ours.
        auto pair = std::find_if(pairs.begin(), pairs.end(), [&](const TBlockPair& p) { return p.id == wanted.id; });
        if (pair != pairs.end())
            checked_[static_cast<int>(wanted.scheme)] = CheckSchemeSigners(wanted.scheme, pair->value, options_.toAnsi);
    }
    return true;
}

std::vector<std::string> TApkCheck::SignerCertificates(const TSchemeResult& scheme) const {
    std::vector<std::string> certificates;
    for (const TSignerFacts& signer : scheme.signers)
        certificates.push_back(signer.certificate.sha256);
    std::sort(certificates.begin(), certificates.end());
    certificates.erase(std::unique(certificates.begin(), certificates.end()), certificates.end());
    return certificates;
}

// The schemes a phone reads must name the same signers: a phone that reads the older one installs
// the same app as one that reads the newer.
void TApkCheck::CheckAgainstEachOther() {
    TSchemeResult& v1 = report_.Scheme(TScheme::V1);
    TSchemeResult& v2 = report_.Scheme(TScheme::V2);
    TSchemeResult& v3 = report_.Scheme(TScheme::V3);
    TSchemeResult& v31 = report_.Scheme(TScheme::V31);
    auto verified = [](const TSchemeResult& s) { return s.state == TSchemeState::Verified; };
    if (verified(v1) && verified(v2) && SignerCertificates(v1) != SignerCertificates(v2))
        Broken("v1 签名和 v2 签名不是同一个签名者");
    const TSchemeResult* older = verified(v2) ? &v2 : verified(v1) ? &v1 : nullptr;
    if (verified(v3) && older && !checked_[static_cast<int>(TScheme::V3)].signers.empty()) {
        // The v3 signer of the oldest phones started from the key the older scheme signed with.
        const auto& signers = checked_[static_cast<int>(TScheme::V3)].signers;
        const TCheckedSigner& first =
            *std::min_element(signers.begin(), signers.end(), [](const TCheckedSigner& a, const TCheckedSigner& b) {
                return a.facts.minSdk < b.facts.minSdk;
            });
        const std::string oldest =
            first.facts.lineage.empty() ? first.facts.certificate.sha256 : first.facts.lineage.front().sha256;
        const std::vector<std::string> olderSigners = SignerCertificates(*older);
        if (olderSigners.size() != 1 || olderSigners.front() != oldest)
            Broken(std::string(older == &v2 ? "v2" : "v1") + " 签名和 v3 签名不是同一个签名者");
    }
    if (verified(v31) && Present(v3)) {
        uint32_t rotationMinSdk = 0;
        for (const TCheckedSigner& signer : checked_[static_cast<int>(TScheme::V3)].signers)
            rotationMinSdk = std::max(rotationMinSdk, signer.rotationMinSdk);
        uint32_t lowest = UINT32_MAX;
        for (const TSignerFacts& signer : v31.signers)
            lowest = std::min(lowest, signer.minSdk);
        if (verified(v3) && rotationMinSdk != lowest)
            Broken("v3.1 签名和 v3 签名对不上（换用新密钥的 Android 版本不一致）");
    }
    if (targetSdk_ >= kSdkR && Present(v1) && !verified(v2) && !verified(v3) && !verified(v31))
        Broken("它的 targetSdkVersion 是 " + std::to_string(targetSdk_) +
               "，却只有 v1 签名：Android 11 以上的手机要求这样的安装包有 v2 或更新的签名");
    if (verified(v1) && !verified(v2) && !verified(v3)) {
        // Signed with newer schemes that are gone now: someone took them away.
        for (int id : laterSchemes_) {
            const TSchemeResult& later = id == 2 ? v2 : v3;
            if (!Present(later))
                Broken("安装包的 v" + std::to_string(id) + " 签名被去掉了");
        }
    }
}

void TApkCheck::Decide() {
    bool anySigned = false;
    bool broken = !packageProblems_.empty();
    for (TSchemeResult& scheme : report_.schemes) {
        anySigned = anySigned || Present(scheme);
        if (scheme.state == TSchemeState::Failed) {
            broken = true;
            report_.problems.insert(report_.problems.end(), scheme.problems.begin(), scheme.problems.end());
        }
    }
    report_.problems.insert(report_.problems.end(), packageProblems_.begin(), packageProblems_.end());
    if (broken) {
        report_.verdict = TSignatureVerdict::Broken;
    } else if (!anySigned) {
        report_.verdict = TSignatureVerdict::Unsigned;
    } else {
        report_.verdict = TSignatureVerdict::Intact;
        // Phones too old for the oldest scheme present find no signature they can read.
        uint32_t readableFrom = 1;
        if (!Present(report_.Scheme(TScheme::V1)))
            readableFrom = Present(report_.Scheme(TScheme::V2))   ? kSdkNougat
                           : Present(report_.Scheme(TScheme::V3)) ? kSdkPie
                                                                  : UINT32_MAX;
        if (readableFrom == UINT32_MAX) {
            // Only v3.1: it starts where its signers do.
            readableFrom = 0;
            for (const TSignerFacts& signer : report_.Scheme(TScheme::V31).signers)
                readableFrom = std::max(readableFrom, signer.minSdk);
        }
        if (report_.minSdk < readableFrom)
            report_.refusedBelowSdk = readableFrom;
    }
    // Who signed it, as the newest phone sees it.
    for (TScheme scheme : {TScheme::V31, TScheme::V3, TScheme::V2, TScheme::V1}) {
        const TSchemeResult& result = report_.Scheme(scheme);
        if (result.state == TSchemeState::Verified || (report_.signers.empty() && !result.signers.empty())) {
            report_.signers = result.signers;
            if (result.state == TSchemeState::Verified)
                break;
        }
    }
}

TSignatureReport TApkCheck::Run() {
    TZipPlatform platform = TZipPlatform::Portable();
    TZipReader reader(platform);
    reader.OEMConvert = TOEMConvert::oemNever; // names are UTF-8 and must match the manifest's bytes
    reader.KeepZipOpen = true;
    reader.VerifyCrc = false; // the signature's digests decide, and a bad CRC must not hide which member changed
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    try {
        reader.SetZipName(path_);
        reader.LoadDirectory();
    } catch (const std::exception&) {
        Broken("安装包已损坏，读不出它的目录");
        Decide();
        return report_;
    }
    if (reader.Rebuilt() || reader.MultiDiskMode() != TMultiDiskMode::None) {
        Broken("安装包已损坏，读不出它的目录");
        Decide();
        return report_;
    }
    TZipJarSource members(reader, cancel_);
    std::set<std::string> names;
    for (size_t i = 0; i < members.Count(); ++i) {
        const std::string& name = members.Name(i);
        // Which of two same-named members a phone reads depends on the phone: neither can be trusted.
        if (!names.insert(name).second && !name.empty() && name.back() != '/')
            Broken("安装包里有两个同名的文件 " + ShownName(name, options_.toAnsi));
    }

    // The sections the newer schemes sign, from the end record our reader found.
    const TEndOfCentralDir& end = reader.EndOfCentral();
    TOsError error;
    TFileHandle file;
    if (!file.OpenForReading(path_, error)) {
        Broken("安装包打不开");
        Decide();
        return report_;
    }
    std::setvbuf(file.Native(), nullptr, _IONBF, 0); // pieces are large: no copy through a buffer
    const int64_t fileSize = file.Size();
    const uint64_t endOffset = static_cast<uint64_t>(end.CommentPosition) - kEndRecordSize;
    const uint64_t directoryOffset = end.EffectiveCentralOffset();
    const uint64_t directorySize = end.CentralSize;
    TContentSections sections;
    if (fileSize < 0 || end.CommentPosition < kEndRecordSize ||
        endOffset + kEndRecordSize + end.CommentLength != static_cast<uint64_t>(fileSize) ||
        directoryOffset > endOffset || directorySize != endOffset - directoryOffset ||
        !ReadAt(file, endOffset, static_cast<size_t>(fileSize - static_cast<int64_t>(endOffset)), sections.endRecord)) {
        Broken("安装包的 ZIP 目录位置不对，像是被改动过");
        Decide();
        return report_;
    }
    ReadBlock(file, directoryOffset);

    // The package's own minSdkVersion, unless the caller judges for another level.
    TBytes manifest;
    const long at = members.Find("AndroidManifest.xml");
    if (at >= 0 && members.Read(static_cast<size_t>(at), kMaxAndroidManifestSize, manifest))
        ReadSdkLevels(manifest, report_.minSdk, targetSdk_);
    if (options_.minSdk != 0)
        report_.minSdk = options_.minSdk;

    // Which schemes the phones this package supports read: Android 9 and later v3 (and v3.1) when
    // present; 7.0 and later v2 when present, unless every such phone reads v3; the rest v1.
    for (TScheme scheme : {TScheme::V2, TScheme::V3, TScheme::V31})
        report_.Scheme(scheme) = checked_[static_cast<int>(scheme)].result;
    const bool hasV2 = Present(report_.Scheme(TScheme::V2));
    const bool hasV3 = Present(report_.Scheme(TScheme::V3));
    const bool hasV31 = Present(report_.Scheme(TScheme::V31));
    const bool readV2 = hasV2 && (report_.minSdk < kSdkPie || !hasV3);
    const bool readV1 = report_.minSdk < kSdkNougat || (!hasV2 && !hasV3 && !hasV31);
    if (hasV2 && !readV2) {
        TSchemeResult& v2 = report_.Scheme(TScheme::V2);
        v2.notes.push_back("Android 9 以上的手机只看 v3 签名，不看 v2 签名");
        v2.state = TSchemeState::NotChecked;
        v2.problems.clear();
    }

    // One read of the file for every digest the read schemes recorded.
    std::set<TContentDigest> kinds;
    for (TScheme scheme : {TScheme::V2, TScheme::V3, TScheme::V31}) {
        if (report_.Scheme(scheme).state == TSchemeState::Verified)
            NeededContentDigests(checked_[static_cast<int>(scheme)], kinds);
    }
    if (!kinds.empty()) {
        sections.entriesSize = directoryOffset - (block_.empty() ? 0 : block_.size());
        sections.directoryOffset = directoryOffset;
        sections.directorySize = directorySize;
        const uint64_t blockOffset = sections.entriesSize;
        for (int i = 0; i < 4; ++i)
            sections.endRecord[kEndRecordOffsetField + i] = static_cast<uint8_t>(blockOffset >> (8 * i));
        std::map<TContentDigest, TBytes> digests;
        if (!ComputeContentDigests(file, sections, kinds, cancel_, digests)) {
            if (cancel_.load()) {
                report_.verdict = TSignatureVerdict::Cancelled;
                return report_;
            }
            Broken("安装包读不出来");
        }
        for (TScheme scheme : {TScheme::V2, TScheme::V3, TScheme::V31}) {
            if (report_.Scheme(scheme).state == TSchemeState::Verified) {
                CheckContentDigests(checked_[static_cast<int>(scheme)], digests);
                report_.Scheme(scheme) = checked_[static_cast<int>(scheme)].result;
            }
        }
    }

    TSchemeResult& v1 = report_.Scheme(TScheme::V1);
    bool contentChanged = false;
    for (TScheme scheme : {TScheme::V2, TScheme::V3, TScheme::V31})
        contentChanged = contentChanged || report_.Scheme(scheme).state == TSchemeState::Failed;
    if (readV1 || contentChanged) {
        TJarResult jar = VerifyJarSignature(members, options_.toAnsi, cancel_);
        if (cancel_.load()) {
            report_.verdict = TSignatureVerdict::Cancelled;
            return report_;
        }
        v1 = jar.scheme;
        laterSchemes_ = jar.laterSchemes;
        if (!readV1 && Present(v1)) {
            // Read only to say which member changed: its problems belong to the package's.
            if (v1.state == TSchemeState::Failed)
                packageProblems_.insert(packageProblems_.end(), v1.problems.begin(), v1.problems.end());
            v1.problems.clear();
            v1.state = TSchemeState::NotChecked;
        }
    } else {
        for (size_t i = 0; i < members.Count(); ++i) {
            if (IsSignatureBlockFile(members.Name(i)))
                v1.state = TSchemeState::NotChecked;
        }
    }
    if (Present(v1) && !readV1)
        v1.notes.push_back("Android 7.0 以上的手机不看 v1 签名");
    CheckAgainstEachOther();
    Decide();
    ERR_clear_error();
    return report_;
}

} // namespace

std::string AsciiOnly(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    return out;
}

const char* SchemeName(TScheme scheme) {
    switch (scheme) {
    case TScheme::V1:
        return "v1";
    case TScheme::V2:
        return "v2";
    case TScheme::V3:
        return "v3";
    case TScheme::V31:
        return "v3.1";
    }
    return "?";
}

std::string TSignatureReport::SchemesText() const {
    std::string text;
    for (const TSchemeResult& scheme : schemes) {
        if (scheme.state == TSchemeState::Verified)
            text += (text.empty() ? "" : "+") + std::string(SchemeName(scheme.scheme));
    }
    return text;
}

TSignatureReport VerifyApkSignature(const std::string& path, const std::atomic<bool>& cancel,
                                    const TVerifyOptions& options) {
    try {
        return TApkCheck(path, cancel, options).Run();
    } catch (const std::bad_alloc&) {
        TSignatureReport report;
        report.verdict = TSignatureVerdict::Broken;
        report.problems.push_back("安装包太大，核对签名时内存不够");
        return report;
    } catch (const std::exception&) {
        TSignatureReport report;
        report.verdict = TSignatureVerdict::Broken;
        report.problems.push_back("安装包读不出来");
        return report;
    }
}

TBundleSignatureReport VerifyBundleSignatures(const std::vector<TBundlePieceFile>& pieces,
                                              const std::atomic<bool>& cancel, const TVerifyOptions& options) {
    TBundleSignatureReport bundle;
    std::vector<std::string> firstSigners;
    for (size_t i = 0; i < pieces.size(); ++i) {
        TSignatureReport report = VerifyApkSignature(pieces[i].path, cancel, options);
        if (report.verdict == TSignatureVerdict::Cancelled) {
            bundle.verdict = TSignatureVerdict::Cancelled;
            return bundle;
        }
        std::vector<std::string> signers;
        for (const TSignerFacts& signer : report.signers)
            signers.push_back(signer.certificate.sha256);
        std::sort(signers.begin(), signers.end());
        if (i == 0) {
            firstSigners = signers;
            bundle.signers = report.signers;
        } else if (report.verdict == TSignatureVerdict::Intact && signers != firstSigners &&
                   bundle.otherSignerPiece < 0) {
            bundle.otherSignerPiece = static_cast<int>(i);
        }
        if (report.verdict != TSignatureVerdict::Intact && bundle.failedPiece < 0)
            bundle.failedPiece = static_cast<int>(i);
        bundle.refusedBelowSdk = std::max(bundle.refusedBelowSdk, report.refusedBelowSdk);
        bundle.names.push_back(pieces[i].name);
        bundle.pieces.push_back(std::move(report));
    }
    if (pieces.empty())
        bundle.verdict = TSignatureVerdict::Unsigned;
    else if (bundle.failedPiece >= 0)
        bundle.verdict = bundle.pieces[static_cast<size_t>(bundle.failedPiece)].verdict;
    else
        bundle.verdict = bundle.otherSignerPiece >= 0 ? TSignatureVerdict::Broken : TSignatureVerdict::Intact;
    return bundle;
}

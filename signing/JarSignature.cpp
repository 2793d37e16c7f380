#include "signing/JarSignature.h"

#include "resources/Utf.h"
#include "signing/Certificate.h"
#include "signing/JarManifest.h"

#include <openssl/err.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

const char kManifestName[] = "META-INF/MANIFEST.MF";
constexpr uint64_t kMaxSignatureFileSize = 16u << 20;
constexpr size_t kMaxJarSigners = 16;
// More problems than this say nothing new to the user.
constexpr size_t kMaxProblems = 20;

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t n = std::char_traits<char>::length(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

struct TSigner {
    std::string baseName; // META-INF/CERT
    TManifest signatureFile;
    TBytes signatureFileBytes;
    bool wholeManifest = false; // the .SF's digest of the whole manifest matched
};

class TJarCheck {
public:
    TJarCheck(IJarSource& source, const TToAnsi& toAnsi, const std::atomic<bool>& cancel)
        : source_(source), toAnsi_(toAnsi), cancel_(cancel) {}

    TJarResult Run();

private:
    void Problem(const std::string& text) {
        if (result_.scheme.problems.size() < kMaxProblems)
            result_.scheme.problems.push_back(text);
    }
    std::string Shown(const std::string& name) const { return ShownName(name, toAnsi_); }
    bool ReadSigner(size_t blockIndex, size_t sfIndex, const TManifest& manifest, const TBytes& manifestBytes);
    void CheckEntries(const TManifest& manifest);

    IJarSource& source_;
    const TToAnsi& toAnsi_;
    const std::atomic<bool>& cancel_;
    TJarResult result_;
    std::vector<TSigner> signers_;
};

bool TJarCheck::ReadSigner(size_t blockIndex, size_t sfIndex, const TManifest& manifest, const TBytes& manifestBytes) {
    TSigner signer;
    const std::string& blockName = source_.Name(blockIndex);
    signer.baseName = blockName.substr(0, blockName.rfind('.'));
    const std::string sfName = Shown(source_.Name(sfIndex));
    TBytes block;
    if (!source_.Read(blockIndex, kMaxSignatureFileSize, block) ||
        !source_.Read(sfIndex, kMaxSignatureFileSize, signer.signatureFileBytes)) {
        Problem("签名文件 " + Shown(blockName) + " 读不出来");
        return false;
    }

    // The signature block: PKCS#7 signed data over the .SF, which is kept apart from it.
    const unsigned char* p = block.data();
    TPkcs7Ptr pkcs7(block.size() <= 0x7fffffff ? d2i_PKCS7(nullptr, &p, static_cast<long>(block.size())) : nullptr);
    if (!pkcs7 || !PKCS7_type_is_signed(pkcs7.get()) || !PKCS7_get_detached(pkcs7.get())) {
        Problem("签名文件 " + Shown(blockName) + " 已损坏");
        return false;
    }
    TBioPtr bytes(
        BIO_new_mem_buf(signer.signatureFileBytes.data(), static_cast<int>(signer.signatureFileBytes.size())));
    // Handed over behind a pass-through filter: given a memory BIO itself, PKCS7_verify copies it into
    // one of its own, which it loses when the block names a digest it can't set up.
    TBioPtr content(BIO_new(BIO_f_null()));
    if (content && bytes)
        BIO_push(content.get(), bytes.get());
    // Phones trust the certificate the package carries as it is: no chain to any authority.
    const int flags = PKCS7_NOVERIFY | PKCS7_BINARY | PKCS7_NOCHAIN;
    const bool verified =
        content && bytes && PKCS7_verify(pkcs7.get(), nullptr, nullptr, content.get(), nullptr, flags) == 1;
    ERR_clear_error();
    if (STACK_OF(X509)* certificates = PKCS7_get0_signers(pkcs7.get(), nullptr, 0)) {
        for (int i = 0; i < sk_X509_num(certificates); ++i) {
            TSignerFacts facts;
            facts.certificate = ReadCertificateFacts(sk_X509_value(certificates, i), toAnsi_);
            result_.scheme.signers.push_back(facts);
        }
        sk_X509_free(certificates);
    }
    ERR_clear_error();
    if (!verified) {
        Problem(sfName + " 的签名与证书不符");
        return false;
    }

    std::string problem;
    if (!ParseManifest(signer.signatureFileBytes, sfName, signer.signatureFile, problem)) {
        Problem(problem);
        return false;
    }
    const TManifestSection& main = signer.signatureFile.Main();
    if (const std::string* later = main.Find("X-Android-APK-Signed")) {
        for (size_t at = 0; at <= later->size();) {
            size_t comma = later->find(',', at);
            if (comma == std::string::npos)
                comma = later->size();
            std::string id = later->substr(at, comma - at);
            id.erase(0, id.find_first_not_of(' '));
            id.erase(id.find_last_not_of(' ') + 1);
            if (id == "2" || id == "3")
                result_.laterSchemes.push_back(id[0] - '0');
            at = comma + 1;
        }
    }

    // The .SF vouches for the manifest: as a whole, or else section by section.
    for (const TNamedDigest& digest : DigestAttributes(main, "-Digest-Manifest")) {
        if (Digest(digest.kind, manifestBytes) == digest.value)
            signer.wholeManifest = true;
    }
    bool sound = true;
    if (!signer.wholeManifest) {
        for (const TNamedDigest& digest : DigestAttributes(main, "-Digest-Manifest-Main-Attributes")) {
            if (Digest(digest.kind, manifest.Main().bytes) != digest.value) {
                Problem("META-INF/MANIFEST.MF 在签名后被改动过");
                sound = false;
                break;
            }
        }
        std::map<std::string, const TManifestSection*> sections;
        for (size_t i = 1; i < manifest.sections.size(); ++i)
            sections[manifest.sections[i].name] = &manifest.sections[i];
        bool reportedEdit = false;
        for (size_t i = 1; i < signer.signatureFile.sections.size(); ++i) {
            const TManifestSection& entry = signer.signatureFile.sections[i];
            auto found = sections.find(entry.name);
            const std::vector<TNamedDigest> digests = DigestAttributes(entry, "-Digest");
            bool matches = found != sections.end() && !digests.empty();
            for (const TNamedDigest& digest : digests)
                matches = matches && Digest(digest.kind, found->second->bytes) == digest.value;
            if (!matches && !reportedEdit) {
                Problem("META-INF/MANIFEST.MF 在签名后被改动过（" + Shown(entry.name) + " 那一段）");
                reportedEdit = true;
            }
            sound = sound && matches;
        }
    }
    signers_.push_back(std::move(signer));
    return sound;
}

void TJarCheck::CheckEntries(const TManifest& manifest) {
    std::map<std::string, const TManifestSection*> sections;
    for (size_t i = 1; i < manifest.sections.size(); ++i)
        sections[manifest.sections[i].name] = &manifest.sections[i];
    std::set<std::string> members;
    for (size_t index = 0; index < source_.Count(); ++index)
        members.insert(source_.Name(index));
    for (size_t index = 0; index < source_.Count(); ++index) {
        if (cancel_.load(std::memory_order_relaxed))
            return;
        const std::string& name = source_.Name(index);
        if (name.empty() || name.back() == '/' || IsSignatureFile(name))
            continue;
        auto found = sections.find(name);
        if (found == sections.end()) {
            Problem("安装包里多了签名之后加入的文件 " + Shown(name));
            continue;
        }
        for (const TSigner& signer : signers_) {
            if (signer.wholeManifest)
                continue;
            bool listed = false;
            for (size_t i = 1; i < signer.signatureFile.sections.size() && !listed; ++i)
                listed = signer.signatureFile.sections[i].name == name;
            if (!listed)
                Problem(Shown(name) + " 没有被 " + Shown(signer.baseName) + ".SF 签名");
        }
        const std::vector<TNamedDigest> expected = DigestAttributes(*found->second, "-Digest");
        if (expected.empty()) {
            Problem(Shown(name) + " 在 MANIFEST.MF 里没有可核对的摘要");
            continue;
        }
        std::vector<TDigestKind> kinds;
        for (const TNamedDigest& digest : expected)
            kinds.push_back(digest.kind);
        std::vector<TBytes> actual;
        if (!source_.DigestOf(index, kinds, actual)) {
            if (cancel_.load(std::memory_order_relaxed))
                return;
            Problem(Shown(name) + " 已损坏，读不出来");
            continue;
        }
        for (size_t i = 0; i < expected.size(); ++i) {
            if (actual[i] != expected[i].value) {
                Problem(Shown(name) + " 在签名后被改动过");
                break;
            }
        }
    }
    for (const auto& [name, section] : sections) {
        if (!members.count(name) && !IsSignatureFile(name))
            Problem("签名之后有文件被删除：" + Shown(name));
    }
}

TJarResult TJarCheck::Run() {
    result_.scheme.scheme = TScheme::V1;
    std::map<std::string, size_t> byName;
    std::vector<size_t> blocks;
    for (size_t i = 0; i < source_.Count(); ++i) {
        const std::string& name = source_.Name(i);
        if (!byName.emplace(name, i).second && !name.empty() && name.back() != '/') {
            // Which of the two a phone reads depends on the phone: neither can be trusted.
            Problem("安装包里有两个同名的文件 " + Shown(name));
        }
        if (IsSignatureBlockFile(name))
            blocks.push_back(i);
    }
    if (blocks.empty()) {
        result_.scheme.state = TSchemeState::Absent;
        result_.scheme.problems.clear();
        return result_;
    }
    result_.scheme.state = TSchemeState::Failed;
    auto manifestAt = byName.find(kManifestName);
    TBytes manifestBytes;
    TManifest manifest;
    std::string problem;
    if (manifestAt == byName.end()) {
        Problem("签名之后有文件被删除：META-INF/MANIFEST.MF");
        return result_;
    }
    if (!source_.Read(manifestAt->second, kMaxManifestSize, manifestBytes)) {
        Problem("META-INF/MANIFEST.MF 读不出来");
        return result_;
    }
    if (!ParseManifest(manifestBytes, kManifestName, manifest, problem)) {
        Problem(problem);
        return result_;
    }
    if (blocks.size() > kMaxJarSigners) {
        Problem("签名文件多得离谱");
        return result_;
    }
    bool sound = true;
    for (size_t block : blocks) {
        const std::string& name = source_.Name(block);
        auto sf = byName.find(name.substr(0, name.rfind('.')) + ".SF");
        if (sf == byName.end()) {
            Problem("签名之后有文件被删除：" + Shown(name.substr(0, name.rfind('.')) + ".SF"));
            sound = false;
            continue;
        }
        sound = ReadSigner(block, sf->second, manifest, manifestBytes) && sound;
    }
    if (signers_.empty()) {
        return result_;
    }
    CheckEntries(manifest);
    if (sound && result_.scheme.problems.empty() && !cancel_.load())
        result_.scheme.state = TSchemeState::Verified;
    return result_;
}

} // namespace

bool IsSignatureFile(const std::string& name) {
    if (name.compare(0, 9, "META-INF/") != 0 || name.find('/', 9) != std::string::npos)
        return false;
    const std::string file = LowerAscii(name.substr(9));
    return file == "manifest.mf" || EndsWith(file, ".sf") || EndsWith(file, ".rsa") || EndsWith(file, ".dsa") ||
           EndsWith(file, ".ec") || file.compare(0, 4, "sig-") == 0;
}

bool IsSignatureBlockFile(const std::string& name) {
    return name.compare(0, 9, "META-INF/") == 0 && name.find('/', 9) == std::string::npos &&
           (EndsWith(name, ".RSA") || EndsWith(name, ".DSA") || EndsWith(name, ".EC"));
}

TJarResult VerifyJarSignature(IJarSource& source, const TToAnsi& toAnsi, const std::atomic<bool>& cancel) {
    return TJarCheck(source, toAnsi, cancel).Run();
}

std::string ShownName(const std::string& utf8Name, const TToAnsi& toAnsi) {
    constexpr size_t kLongest = 120;
    std::string name = utf8Name.size() > kLongest ? utf8Name.substr(0, kLongest) : utf8Name;
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    // A cut inside a character drops the character.
    while (!name.empty() && Utf8ToUtf16Length(bytes, name.size()) < 0)
        name.pop_back();
    std::u16string text = Utf8ToUtf16(bytes, name.size());
    for (char16_t& c : text) {
        if (c < 0x20 || c == 0x7f)
            c = u'?';
    }
    return toAnsi(text) + (utf8Name.size() > kLongest ? "..." : "");
}

// Verification of packages signed by apksigner, and of copies tampered with the way repackagers and
// broken downloads do it, against apksigner's own verdict, schemes and signers.
#include "SignedPackages.h"

#include <doctest/doctest.h>

#include <thread>
#include <vector>

namespace {

struct TOracle {
    std::string minSdk, verdict, schemes, signers;
};

std::map<std::string, TOracle> ReadOracle() {
    std::map<std::string, TOracle> oracle;
    std::ifstream file(TestPath(std::string(VARNEL_SIGNING_PACKAGES) + "/oracle.txt"));
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string name;
        TOracle entry;
        std::getline(fields, name, '\t');
        std::getline(fields, entry.minSdk, '\t');
        std::getline(fields, entry.verdict, '\t');
        std::getline(fields, entry.schemes, '\t');
        std::getline(fields, entry.signers, '\t');
        oracle[name] = entry;
    }
    return oracle;
}

std::string Signers(const TSignatureReport& report) {
    std::string text;
    for (const TSignerFacts& signer : report.signers)
        text += (text.empty() ? "" : ",") + signer.certificate.sha256;
    return text.empty() ? "-" : text;
}

struct TCase {
    const char* name;
    TSignatureVerdict verdict;
    const char* problem; // a problem the report must name, or null
};

const TCase kCases[] = {
    {"v1", TSignatureVerdict::Intact, nullptr},
    {"v2", TSignatureVerdict::Intact, nullptr},
    {"v1v2v3", TSignatureVerdict::Intact, nullptr},
    {"ec", TSignatureVerdict::Intact, nullptr},
    {"dsa", TSignatureVerdict::Intact, nullptr},
    {"rsa4096", TSignatureVerdict::Intact, nullptr},
    {"debug", TSignatureVerdict::Intact, nullptr},
    {"chinese", TSignatureVerdict::Intact, nullptr},
    {"two-signers", TSignatureVerdict::Intact, nullptr},
    {"verity", TSignatureVerdict::Intact, nullptr},
    {"stamp", TSignatureVerdict::Intact, nullptr},
    {"rotated", TSignatureVerdict::Intact, nullptr},
    {"v2-min24", TSignatureVerdict::Intact, nullptr},
    {"v3-min28", TSignatureVerdict::Intact, nullptr},
    {"v3-min21", TSignatureVerdict::Intact, nullptr},
    {"unsigned", TSignatureVerdict::Unsigned, nullptr},
    {"stored-byte", TSignatureVerdict::Broken, "assets/data.bin 在签名后被改动过"},
    {"deflated-byte", TSignatureVerdict::Broken, "classes.dex"},
    {"v1-stored-byte", TSignatureVerdict::Broken, "assets/data.bin 在签名后被改动过"},
    {"v1-added", TSignatureVerdict::Broken, "安装包里多了签名之后加入的文件 assets/ad.js"},
    {"v1-removed", TSignatureVerdict::Broken, "签名之后有文件被删除：assets/data.bin"},
    {"v1-replaced", TSignatureVerdict::Broken, "classes.dex 在签名后被改动过"},
    {"v1-manifest-edited", TSignatureVerdict::Broken, "MANIFEST.MF 在签名后被改动过"},
    {"v1-sf-edited", TSignatureVerdict::Broken, "签名与证书不符"},
    {"v2-digest", TSignatureVerdict::Broken, "v2 签名与证书不符"},
    {"v2-signature", TSignatureVerdict::Broken, "v2 签名与证书不符"},
    {"v2-certificate", TSignatureVerdict::Broken, "v2 签名"},
    {"cd-offset-moved", TSignatureVerdict::Broken, "目录"},
    {"v2-stripped", TSignatureVerdict::Broken, "v2 签名被去掉了"},
    {"v1-target30", TSignatureVerdict::Broken, "Android 11 以上的手机要求"},
};

} // namespace

TEST_CASE("every package gets apksigner's verdict, schemes and signers, and texts that fit") {
    const std::map<std::string, TOracle> oracle = ReadOracle();
    REQUIRE(oracle.size() >= std::size(kCases));
    for (const TCase& test : kCases) {
        const std::string name = test.name;
        CAPTURE(name);
        const TOracle& expected = oracle.at(test.name);
        const uint32_t judgedFor = expected.minSdk == "-" ? 0 : static_cast<uint32_t>(std::stoul(expected.minSdk));
        const TSignatureReport report = Verify(SignedPackage(test.name), judgedFor);
        CHECK_MESSAGE(report.verdict == test.verdict, SignatureSummary(report) << SignatureDetails(report));
        CHECK((expected.verdict == "verifies") == (report.verdict == TSignatureVerdict::Intact));
        if (report.verdict == TSignatureVerdict::Intact) {
            CHECK(report.SchemesText() == expected.schemes);
            CHECK(Signers(report) == expected.signers);
        }
        if (test.problem)
            CHECK_MESSAGE(HasProblem(report, test.problem), SignatureSummary(report));

        const std::string label = SignatureLabel(report);
        const std::string summary = SignatureSummary(report);
        CHECK(label.size() <= kSignatureLabelMax);
        switch (report.verdict) {
        case TSignatureVerdict::Intact:
            CHECK(label.rfind("签名有效", 0) == 0);
            CHECK(summary.rfind("签名有效", 0) == 0);
            for (const TSignerFacts& signer : report.signers)
                CHECK(summary.find(ColonHex(signer.certificate.sha256)) != std::string::npos);
            break;
        case TSignatureVerdict::Broken:
            CHECK(label.rfind("签名无效", 0) == 0);
            CHECK(summary.rfind("签名无效", 0) == 0);
            CHECK(summary.find("拒绝安装") != std::string::npos);
            break;
        default:
            CHECK(label.rfind("未签名", 0) == 0);
            CHECK(summary.find("拒绝安装") != std::string::npos);
        }
    }
}

TEST_CASE("a package valid only from a later Android names the phones that refuse it") {
    const struct {
        const char* name;
        uint32_t refusedBelow;
        const char* schemes;
    } kLater[] = {{"v2", 24, "v2"},
                  {"verity", 24, "v2+v3"},
                  {"v3-min21", 28, "v3"},
                  {"v2-min24", 0, "v2"},
                  {"v1v2v3", 0, "v1+v2+v3"}};
    for (const auto& test : kLater) {
        const std::string name = test.name;
        CAPTURE(name);
        const TSignatureReport report = Verify(SignedPackage(test.name));
        CHECK(report.verdict == TSignatureVerdict::Intact);
        CHECK(report.refusedBelowSdk == test.refusedBelow);
        CHECK(report.SchemesText() == test.schemes);
        const bool named = SignatureSummary(report).find(AndroidVersionName(test.refusedBelow) +
                                                         " 以下的手机会拒绝安装") != std::string::npos;
        CHECK(named == (test.refusedBelow != 0));
    }
}

TEST_CASE("what the texts say of rotation, debug keys, several signers and names in Chinese") {
    const TSignatureReport rotated = Verify(SignedPackage("rotated"));
    REQUIRE(rotated.signers.size() == 1);
    CHECK(rotated.signers[0].Rotated());
    CHECK(rotated.signers[0].certificate.commonName == "Varnel Next");
    CHECK(rotated.signers[0].lineage.front().commonName == "Varnel Test");
    CHECK(SignatureSummary(rotated).find("换过签名密钥") != std::string::npos);
    CHECK(SignatureLabel(rotated).find("换过密钥") != std::string::npos);

    const TSignatureReport debug = Verify(SignedPackage("debug"));
    CHECK(debug.signers.at(0).certificate.debug);
    CHECK(SignatureLabel(debug).find("调试证书") != std::string::npos);

    const TSignatureReport two = Verify(SignedPackage("two-signers"));
    const std::string summary = SignatureSummary(two);
    CHECK(summary.find("签名者 1：CN=Varnel Test, O=Quorly") != std::string::npos);
    CHECK(summary.find("签名者 2：CN=Varnel EC, O=Quorly") != std::string::npos);

    const TSignatureReport chinese = Verify(SignedPackage("chinese"));
    CHECK(chinese.signers.at(0).certificate.commonName == Utf16ToGbk(u"瓦内尔测试"));
    CHECK(SignatureLabel(chinese).find(Utf16ToGbk(u"瓦内尔测试")) != std::string::npos);

    // The details give every fact of the certificate and each scheme's state.
    const std::string details = SignatureDetails(Verify(SignedPackage("ec")));
    for (const char* fact :
         {"主题：CN=Varnel EC, O=Quorly", "颁发者：CN=Varnel EC", "有效期：", "密钥：EC P-256，256 位", "SHA-1：",
          "MD5：", "v1 签名：有效", "v3 签名：有效", "v3.1 签名：没有"})
        CHECK_MESSAGE(details.find(fact) != std::string::npos, fact);
}

TEST_CASE("a bundle is intact only when every piece is, all by one signer") {
    const struct {
        std::vector<const char*> pieces;
        TSignatureVerdict verdict;
        const char* labelNames; // the piece the label must name, or null
    } kBundles[] = {
        {{"piece-base", "piece-split"}, TSignatureVerdict::Intact, nullptr},
        {{"piece-base", "piece-other"}, TSignatureVerdict::Broken, "piece-other"},
        {{"piece-base", "v1-replaced"}, TSignatureVerdict::Broken, "v1-replaced"},
        {{"piece-base", "unsigned"}, TSignatureVerdict::Unsigned, "unsigned"},
    };
    for (const auto& test : kBundles) {
        std::vector<TBundlePieceFile> pieces;
        for (const char* piece : test.pieces)
            pieces.push_back({std::string(piece) + ".apk", SignedPackage(piece)});
        std::atomic<bool> cancel{false};
        const TBundleSignatureReport bundle = VerifyBundleSignatures(pieces, cancel);
        CAPTURE(test.pieces.back());
        CHECK(bundle.verdict == test.verdict);
        const std::string label = BundleSignatureLabel(bundle);
        CHECK(label.size() <= kSignatureLabelMax);
        if (test.labelNames)
            CHECK_MESSAGE(label.find(test.labelNames) != std::string::npos, label);
    }
}

TEST_CASE("verification runs on worker threads side by side, and a cancel stops it") {
    const char* const kNames[] = {"v1", "rotated", "stored-byte", "two-signers"};
    std::vector<TSignatureReport> together(std::size(kNames));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < std::size(kNames); ++i)
        threads.emplace_back([&, i] { together[i] = Verify(SignedPackage(kNames[i])); });
    for (std::thread& thread : threads)
        thread.join();
    for (size_t i = 0; i < std::size(kNames); ++i)
        CHECK(SignatureSummary(together[i]) == SignatureSummary(Verify(SignedPackage(kNames[i]))));

    std::atomic<bool> cancel{true};
    CHECK(VerifyApkSignature(SignedPackage("v1v2v3"), cancel).verdict == TSignatureVerdict::Cancelled);
    CHECK(VerifyApkSignature(SignedPackage("v1"), cancel).verdict == TSignatureVerdict::Cancelled);
}

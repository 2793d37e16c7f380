#include "signing/SignatureText.h"

#include <iterator>

namespace {

const char kRefused[] = "手机会拒绝安装";

// Cuts text to at most max bytes without splitting a double-byte character, marking the cut.
std::string Fit(const std::string& text, size_t max) {
    if (text.size() <= max)
        return text;
    const std::string ellipsis = "…";
    size_t end = 0;
    while (end < text.size()) {
        const size_t width = static_cast<unsigned char>(text[end]) >= 0x81 && end + 1 < text.size() ? 2 : 1;
        if (end + width + ellipsis.size() > max)
            break;
        end += width;
    }
    return text.substr(0, end) + ellipsis;
}

// "CN=Varnel Test, O=Quorly", or whatever of the two the certificate has.
std::string SignerName(const TCertificateFacts& certificate) {
    std::string name;
    if (!certificate.commonName.empty())
        name = "CN=" + certificate.commonName;
    if (!certificate.organization.empty())
        name += (name.empty() ? "O=" : ", O=") + certificate.organization;
    return name.empty() ? certificate.subject : name;
}

std::string ShortHash(const std::string& hex) {
    return hex.size() > 16 ? hex.substr(0, 8) + "…" + hex.substr(hex.size() - 8) : hex;
}

std::string KeyText(const TCertificateFacts& certificate) {
    std::string text = certificate.keyType;
    if (!certificate.curve.empty())
        text += " " + certificate.curve;
    if (certificate.keyBits > 0)
        text += "，" + std::to_string(certificate.keyBits) + " 位";
    return text;
}

std::string RefusedBelow(uint32_t sdk) {
    return AndroidVersionName(sdk) + " 以下的手机会拒绝安装（它们认不出这个安装包的签名）";
}

// The lines that say who signed: name, whole SHA-256, rotation and debug, per signer.
std::string SignerLines(const std::vector<TSignerFacts>& signers) {
    std::string text;
    for (size_t i = 0; i < signers.size(); ++i) {
        const TSignerFacts& signer = signers[i];
        const std::string heading = signers.size() > 1 ? "签名者 " + std::to_string(i + 1) : std::string("签名者");
        text += heading + "：" + SignerName(signer.certificate) + "\n";
        text += "SHA-256：" + ColonHex(signer.certificate.sha256) + "\n";
        if (signer.Rotated()) {
            const TCertificateFacts& first = signer.lineage.front();
            text +=
                "换过签名密钥：现在的密钥接替了 " + SignerName(first) + "（SHA-256 " + ShortHash(first.sha256) + "）";
            if (signer.lineage.size() > 2)
                text += "，前后共 " + std::to_string(signer.lineage.size()) + " 把密钥";
            text += "\n";
        }
        if (signer.certificate.debug)
            text += "这是调试证书（Android Debug）：开发时自动生成的，正式发布的应用不会用它签名\n";
    }
    return text;
}

std::string SchemeState(const TSchemeResult& scheme) {
    switch (scheme.state) {
    case TSchemeState::Absent:
        return "没有";
    case TSchemeState::Verified:
        return "有效";
    case TSchemeState::Failed:
        return "无效";
    case TSchemeState::NotChecked:
        return "未核对";
    }
    return "?";
}

std::string CertificateBlock(const TCertificateFacts& certificate, const std::string& indent) {
    std::string text;
    text += indent + "主题：" + certificate.subject + "\n";
    text += indent + "颁发者：" + certificate.authority + "\n";
    text += indent + "有效期：" + certificate.notBefore + " 至 " + certificate.notAfter + "\n";
    text += indent + "密钥：" + KeyText(certificate) + "\n";
    text += indent + "SHA-256：" + certificate.sha256 + "\n";
    text += indent + "SHA-1：" + certificate.sha1 + "\n";
    text += indent + "MD5：" + certificate.md5 + "\n";
    if (certificate.debug)
        text += indent + "（调试证书）\n";
    return text;
}

} // namespace

std::string AndroidVersionName(uint32_t sdk) {
    static const char* const kNames[] = {"",      "1.0", "1.1", "1.5", "1.6", "2.0",   "2.0.1", "2.1", "2.2", "2.3",
                                         "2.3.3", "3.0", "3.1", "3.2", "4.0", "4.0.3", "4.1",   "4.2", "4.3", "4.4",
                                         "4.4W",  "5.0", "5.1", "6.0", "7.0", "7.1",   "8.0",   "8.1", "9",   "10",
                                         "11",    "12",  "12L", "13",  "14",  "15",    "16"};
    if (sdk >= 1 && sdk < std::size(kNames))
        return std::string("Android ") + kNames[sdk];
    return "API " + std::to_string(sdk);
}

std::string ColonHex(const std::string& hex) {
    std::string text;
    for (size_t i = 0; i < hex.size(); i += 2)
        text += (i ? ":" : "") + hex.substr(i, 2);
    return text;
}

std::string SignatureLabel(const TSignatureReport& report) {
    switch (report.verdict) {
    case TSignatureVerdict::Cancelled:
        return "签名未核对完";
    case TSignatureVerdict::Unsigned:
        return std::string("未签名：") + kRefused;
    case TSignatureVerdict::Broken: {
        const std::string tail = std::string("，") + kRefused;
        const std::string head = "签名无效：";
        const std::string what = report.problems.empty() ? std::string("签名对不上") : report.problems.front();
        return head + Fit(what, kSignatureLabelMax - head.size() - tail.size()) + tail;
    }
    case TSignatureVerdict::Intact:
        break;
    }
    std::string head = "签名有效 " + report.SchemesText() + "：";
    std::string tail;
    if (!report.signers.empty()) {
        const TCertificateFacts& certificate = report.signers.front().certificate;
        tail = "，SHA-256 " + ShortHash(certificate.sha256);
        if (report.signers.size() > 1)
            tail += "，共 " + std::to_string(report.signers.size()) + " 个签名者";
        if (report.signers.front().Rotated())
            tail += "，换过密钥";
        if (certificate.debug)
            tail += "，调试证书";
        if (report.refusedBelowSdk)
            tail += "，" + AndroidVersionName(report.refusedBelowSdk) + " 以下不能装";
        const std::string name = !certificate.commonName.empty() ? certificate.commonName : certificate.organization;
        if (head.size() + tail.size() < kSignatureLabelMax)
            head += Fit(name, kSignatureLabelMax - head.size() - tail.size());
    }
    return Fit(head + tail, kSignatureLabelMax);
}

std::string SignatureSummary(const TSignatureReport& report) {
    switch (report.verdict) {
    case TSignatureVerdict::Cancelled:
        return "签名未核对完。\n";
    case TSignatureVerdict::Unsigned:
        return "未签名：这个安装包没有任何签名，手机会拒绝安装它。\n";
    case TSignatureVerdict::Broken: {
        std::string text = "签名无效：手机会拒绝安装这个安装包。\n";
        for (const std::string& problem : report.problems)
            text += "· " + problem + "\n";
        text += "它可能被人改动过（比如加了广告或别的代码后重新打包），也可能在下载时损坏了。\n";
        return text;
    }
    case TSignatureVerdict::Intact:
        break;
    }
    std::string text = "签名有效（" + report.SchemesText() + "），安装包签名之后没有被改动过。\n";
    text += SignerLines(report.signers);
    if (report.refusedBelowSdk)
        text += RefusedBelow(report.refusedBelowSdk) + "\n";
    return text;
}

std::string SignatureDetails(const TSignatureReport& report) {
    std::string text = "按 minSdkVersion " + std::to_string(report.minSdk) + "（" + AndroidVersionName(report.minSdk) +
                       "）起的手机核对\n";
    for (const TSchemeResult& scheme : report.schemes) {
        text += std::string(SchemeName(scheme.scheme)) + " 签名：" + SchemeState(scheme) + "\n";
        for (const std::string& problem : scheme.problems)
            text += "  " + problem + "\n";
        for (const std::string& note : scheme.notes)
            text += "  " + note + "\n";
    }
    for (size_t i = 0; i < report.signers.size(); ++i) {
        const TSignerFacts& signer = report.signers[i];
        text += "\n证书";
        if (report.signers.size() > 1)
            text += " " + std::to_string(i + 1);
        text += "\n" + CertificateBlock(signer.certificate, "  ");
        if (signer.Rotated()) {
            text += "  换过签名密钥，从旧到新：\n";
            for (const TCertificateFacts& key : signer.lineage)
                text += "    " + SignerName(key) + "，SHA-256 " + key.sha256 + "\n";
        }
        if (signer.maxSdk > 0) {
            text += "  适用于 " + AndroidVersionName(signer.minSdk) + " 起";
            text += signer.maxSdk >= 0x7fffffff ? std::string("的手机\n")
                                                : "，到 " + AndroidVersionName(signer.maxSdk) + " 为止\n";
        }
    }
    return text;
}

std::string BundleSignatureLabel(const TBundleSignatureReport& bundle) {
    if (bundle.verdict == TSignatureVerdict::Intact) {
        TSignatureReport whole = bundle.pieces.front();
        whole.refusedBelowSdk = bundle.refusedBelowSdk;
        return SignatureLabel(whole);
    }
    if (bundle.verdict == TSignatureVerdict::Cancelled || bundle.pieces.empty())
        return SignatureLabel(TSignatureReport{});
    const std::string tail = std::string("，") + kRefused;
    if (bundle.failedPiece < 0) {
        const std::string head = "签名无效：";
        const std::string what = bundle.names[static_cast<size_t>(bundle.otherSignerPiece)] + " 的签名者和其他部分不同";
        return head + Fit(what, kSignatureLabelMax - head.size() - tail.size()) + tail;
    }
    const TSignatureReport& failed = bundle.pieces[static_cast<size_t>(bundle.failedPiece)];
    const std::string head = failed.verdict == TSignatureVerdict::Unsigned ? "未签名：" : "签名无效：";
    std::string what = bundle.names[static_cast<size_t>(bundle.failedPiece)];
    what += failed.verdict == TSignatureVerdict::Unsigned
                ? std::string(" 没有签名")
                : "：" + (failed.problems.empty() ? std::string("签名对不上") : failed.problems.front());
    return head + Fit(what, kSignatureLabelMax - head.size() - tail.size()) + tail;
}

std::string BundleSignatureSummary(const TBundleSignatureReport& bundle) {
    if (bundle.verdict == TSignatureVerdict::Intact) {
        TSignatureReport whole = bundle.pieces.front();
        whole.refusedBelowSdk = bundle.refusedBelowSdk;
        return SignatureSummary(whole) + "安装包的 " + std::to_string(bundle.pieces.size()) +
               " 个部分都由同一签名者签名。\n";
    }
    if (bundle.verdict == TSignatureVerdict::Cancelled || bundle.pieces.empty())
        return SignatureSummary(TSignatureReport{});
    if (bundle.failedPiece < 0) {
        const TSignatureReport& other = bundle.pieces[static_cast<size_t>(bundle.otherSignerPiece)];
        std::string text = "签名无效：" + bundle.names[static_cast<size_t>(bundle.otherSignerPiece)] +
                           " 的签名者和其他部分不同，手机会拒绝安装这个安装包。\n";
        text += bundle.names.front() + " 的" + SignerLines(bundle.signers);
        text += bundle.names[static_cast<size_t>(bundle.otherSignerPiece)] + " 的" + SignerLines(other.signers);
        return text;
    }
    const TSignatureReport& failed = bundle.pieces[static_cast<size_t>(bundle.failedPiece)];
    const std::string& name = bundle.names[static_cast<size_t>(bundle.failedPiece)];
    if (failed.verdict == TSignatureVerdict::Unsigned)
        return "未签名：" + name + " 没有签名，手机会拒绝安装这个安装包。\n";
    std::string text = "签名无效：" + name + " 的签名有问题，手机会拒绝安装这个安装包。\n";
    for (const std::string& problem : failed.problems)
        text += "· " + problem + "\n";
    return text;
}

std::string BundleSignatureDetails(const TBundleSignatureReport& bundle) {
    std::string text;
    for (size_t i = 0; i < bundle.pieces.size(); ++i)
        text += (i ? "\n" : "") + std::string("【") + bundle.names[i] + "】" + SignatureLabel(bundle.pieces[i]) + "\n" +
                SignatureDetails(bundle.pieces[i]);
    return text;
}

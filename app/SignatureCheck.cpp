// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "apkinfo/OpenedBundle.h"
#include "signing/ApkSignature.h"
#include "signing/SignatureText.h"
#include "device/SignerHash.h"

#include "app/AppText.h"
#include "app/SignatureCheck.h"

#include <commctrl.h>
#include <richedit.h>

#include <exception>

// Checking the package's signatures: on a thread of its own, so that the facts show at once and the
// window stays responsive while a large package is hashed; the verdict comes back as a message.

std::optional<std::uint32_t> PhoneSignerOf(const std::vector<TSignerFacts>& signers) {
    if (signers.size() != 1 || signers[0].certificate.der.empty())
        return std::nullopt;
    return SignerHashOfCertificate(signers[0].certificate.der);
}

std::string WideToAnsi(const std::u16string& text) {
    if (text.empty())
        return std::string();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, &ansi[0], size, nullptr, nullptr);
    return ansi;
}

namespace {

bool Refused(TSignatureVerdict verdict) {
    return verdict == TSignatureVerdict::Broken || verdict == TSignatureVerdict::Unsigned;
}

// The verdict's texts in the window's line ends.
std::string WindowLines(const std::string& text) {
    std::string lines;
    for (const char c : text) {
        if (c == '\n')
            lines += "\r\n";
        else
            lines += c;
    }
    return lines;
}

} // namespace

void TfrmMain::StartSignatureCheck() {
    StopSignatureCheck();
    if (!seams_.checkSignatures || ApkFileName.empty())
        return;
    // A bundle's every APK is checked; they come out of the bundle here, since its reader lets the
    // window's messages through while it extracts.
    std::vector<TBundlePieceFile> pieces;
    if (bundle_ && bundle_->Path() == ApkFileName) {
        std::vector<std::string> names;
        for (const BundlePiece& piece : bundle_->Info().pieces)
            names.push_back(piece.split.name);
        for (const BundleStandalone& standalone : bundle_->Info().standalones)
            names.push_back(standalone.apk.name);
        std::vector<std::string> files;
        try {
            files = bundle_->PieceFiles(names);
        } catch (const std::exception& error) {
            // Not a verdict on the signatures, so no reason to ask before an install either.
            signatureState_ = SignatureState::Done;
            signatureSummary_ = std::string("签名没能核对：") + error.what();
            signatureDetails_ = signatureSummary_;
            return;
        }
        if (closed_)
            return;
        for (std::size_t i = 0; i < names.size() && i < files.size(); ++i)
            pieces.push_back(TBundlePieceFile{ShownMemberName(names[i]), files[i]});
    } else if (bundle_ || !bundleError_.empty()) {
        return; // a bundle that could not be opened: its message says enough
    }

    auto work = std::make_unique<SignatureWork>();
    SignatureWork* shared = work.get();
    const WPARAM generation = ++signatureGeneration_;
    const HWND window = handle_;
    const std::string path = ApkFileName;
    work->thread = std::thread([shared, window, generation, path, pieces] {
        TVerifyOptions options;
        options.toAnsi = WideToAnsi;
        std::string summary;
        std::string details;
        bool refused = false;
        bool cancelled = false;
        std::optional<std::uint32_t> signer;
        try {
            if (pieces.empty()) {
                const TSignatureReport report = VerifyApkSignature(path, shared->cancel, options);
                cancelled = report.verdict == TSignatureVerdict::Cancelled;
                refused = Refused(report.verdict);
                summary = SignatureSummary(report);
                details = SignatureDetails(report);
                signer = PhoneSignerOf(report.signers);
            } else {
                const TBundleSignatureReport report = VerifyBundleSignatures(pieces, shared->cancel, options);
                cancelled = report.verdict == TSignatureVerdict::Cancelled;
                refused = Refused(report.verdict);
                summary = BundleSignatureSummary(report);
                details = BundleSignatureDetails(report);
                signer = PhoneSignerOf(report.signers);
            }
        } catch (const std::exception&) {
            summary = "签名没能核对完：内存不足。\n";
            details = summary;
        }
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->ended = true;
            shared->refused = refused;
            shared->signer = signer;
            shared->summary = WindowLines(summary);
            shared->details = WindowLines(details);
        }
        if (!cancelled)
            PostMessageA(window, kSignatureCheckedMessage, generation, 0);
    });
    signatureWork_ = std::move(work);
    signatureState_ = SignatureState::Checking;
}

void TfrmMain::StopSignatureCheck() {
    signatureWork_.reset(); // asks the thread to stop and waits for it
    signatureState_ = SignatureState::None;
    signatureRefused_ = false;
    signatureSummary_.clear();
    signatureDetails_.clear();
    signatureSigner_.reset();
}

void TfrmMain::SignatureCheckEnded(WPARAM generation) {
    // A check that was dropped meanwhile has nothing to say about the package on show.
    if (generation != signatureGeneration_ || !signatureWork_ || signatureState_ != SignatureState::Checking)
        return;
    {
        std::lock_guard<std::mutex> lock(signatureWork_->mutex);
        if (!signatureWork_->ended)
            return;
        signatureRefused_ = signatureWork_->refused;
        signatureSummary_ = signatureWork_->summary;
        signatureDetails_ = signatureWork_->details;
        signatureSigner_ = signatureWork_->signer;
    }
    signatureWork_.reset();
    signatureState_ = SignatureState::Done;
    // An inspection under way writes the box itself when it is done.
    if (!inspecting_)
        ShowPermissions();
}

void TfrmMain::SignatureBlockClick() {
    if (signatureState_ == SignatureState::Done && !signatureDetails_.empty())
        ShowDetails(signatureDetails_);
}

void TfrmMain::AwaitSignatureCheck() {
    while (signatureState_ == SignatureState::Checking && !closed_) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        ProcessPendingMessages();
    }
}

bool TfrmMain::ConfirmInstallOfRefusedPackage() {
    if (signatureState_ == SignatureState::Checking) {
        // The verdict decides whether to ask, so the install waits for it; the window stays live.
        const std::string before = GetCaption(lblHintInfo);
        SetCaption(lblHintInfo, "正在核对安装包的签名，请稍候...");
        AwaitSignatureCheck();
        if (closed_)
            return false;
        SetCaption(lblHintInfo, before);
    }
    if (!SignatureRefused())
        return true;
    const std::string verdict = signatureSummary_.substr(0, signatureSummary_.find("\r\n"));
    const std::string question = verdict +
                                 "\r\n\r\n手机很可能会拒绝安装它，而且它可能已被人改动过（比如加了广告或别的代码后重新"
                                 "打包）。\r\n\r\n仍要安装吗？";
    if (seams_.askYesNo)
        return seams_.askYesNo(question);
    return MessageBoxA(handle_, question.c_str(), kApplicationTitle, MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) ==
           IDYES;
}

LRESULT CALLBACK TfrmMain::PermissionSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                                  DWORD_PTR data) {
    auto* form = reinterpret_cast<TfrmMain*>(data);
    // Whether a point of the box lies on the signature block, which a click opens.
    auto onBlock = [form, window](POINT point) {
        if (form->signatureState_ != SignatureState::Done || form->signatureBlockChars_ <= 0)
            return false;
        POINTL at = {point.x, point.y};
        const auto index = static_cast<LONG>(SendMessageA(window, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at)));
        return index >= 0 && index < form->signatureBlockChars_;
    };
    switch (message) {
    case WM_LBUTTONUP: {
        const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (onBlock(point))
            form->Dispatch([form] { form->SignatureBlockClick(); });
        break;
    }
    case WM_SETCURSOR: {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(window, &point);
        if (form->appCursor_ == nullptr && LOWORD(lParam) == HTCLIENT && onBlock(point)) {
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))); // IDC_HAND
            return TRUE;
        }
        break;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, PermissionSubclassProc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "apkinfo/OpenedBundle.h"
#include "apkinfo/PieceCheck.h"

#include "app/MainForm.h"
#include "device/PhoneOperations.h"
#include "device/ToolCommands.h"

#include <set>

// The phone buttons: install the package on show, remove it again. The flows are the device
// library's; the window shows what they report.

namespace {

TextColor ColorOf(StatusColor color) {
    switch (color) {
    case StatusColor::Red:
        return kRed;
    case StatusColor::Green:
        return kGreen;
    default:
        return kWindowTextColor;
    }
}

// The bundle on show as its install sees it. Each piece taken out is read by aapt before it goes
// to a phone: a piece of another app, or a second base, stops the install before anything is
// installed anywhere.
class BundlePackage : public ISplitPackage {
public:
    BundlePackage(std::shared_ptr<OpenedBundle> bundle, IToolRunner& runner, std::string exeFolder,
                  std::string packageName)
        : bundle_(std::move(bundle)), runner_(runner), exeFolder_(std::move(exeFolder)),
          packageName_(std::move(packageName)) {}

    std::string PackageName() override { return packageName_.empty() ? bundle_->Info().packageName : packageName_; }
    std::vector<SplitApk> Splits() override { return bundle_->Info().Splits(); }
    std::vector<StandaloneApk> Standalones() override { return bundle_->Info().Standalones(); }

    std::vector<std::string> Files(const std::vector<std::string>& names) override {
        const std::vector<std::string> files = bundle_->PieceFiles(names);
        std::vector<ToolRun> runs;
        std::vector<bool> isBase;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!checked_.insert(files[i]).second)
                continue;
            runs.emplace_back();
            runs.back().commandLine = BadgingCommandLine(exeFolder_, files[i]);
            isBase.push_back(IsWhole(names[i]));
        }
        runner_.RunAll(runs, ToolProgress());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const std::string problem = PieceProblem(SplitText(runs[i].output, kCrLf), PackageName(), isBase[i]);
            if (!problem.empty())
                throw BundleError(problem);
        }
        return files;
    }

    std::vector<Obb> ObbFiles() override {
        std::vector<Obb> obbs;
        for (const auto& obb : bundle_->ObbFiles())
            obbs.push_back(Obb{obb.file, obb.phonePath});
        return obbs;
    }

private:
    // The base and the standalone APKs are whole packages; the rest are splits.
    bool IsWhole(const std::string& name) const {
        for (const BundlePiece& piece : bundle_->Info().pieces) {
            if (piece.split.name == name)
                return piece.split.kind == SplitKind::Base;
        }
        return true;
    }

    std::shared_ptr<OpenedBundle> bundle_;
    IToolRunner& runner_;
    std::string exeFolder_;
    std::string packageName_;
    std::set<std::string> checked_;
};

} // namespace

// The window as the phone operations see it.
class TfrmMain::PhoneView : public IPhoneView {
public:
    explicit PhoneView(TfrmMain& form) : form_(form) {}
    void ShowStatus(const std::string& text, StatusColor color) override {
        form_.SetFontColor(form_.lblHintInfo, ColorOf(color));
        form_.SetCaption(form_.lblHintInfo, text);
    }
    void ShowDriverHint(bool shown) override { ShowWindow(form_.lblDownHint, shown ? SW_SHOW : SW_HIDE); }
    void ShowReason(const std::string& text, const std::string& details) override {
        form_.ShowPhoneReason(text, details);
    }
    void SetBusy(bool busy) override {
        if (busy) {
            EnableButtons(FALSE);
            form_.SetAppCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514))); // IDC_WAIT
        } else {
            form_.SetAppCursor(nullptr);
            EnableButtons(TRUE);
        }
    }
    void InstallSucceeded() override {
        if (form_.IsTicked(form_.ckbIsClose))
            form_.StartExitCountdown();
    }
    bool IsClosed() override { return form_.closed_; }

private:
    void EnableButtons(BOOL enabled) {
        EnableWindow(form_.btnInstall, enabled);
        EnableWindow(form_.btnOpenApk, enabled);
        EnableWindow(form_.btnUninstall, enabled);
    }

    TfrmMain& form_;
};

void TfrmMain::btnInstallClick() {
    PhoneView view(*this);
    const PackageFileKind kind = PackageKindOfPath(ApkFileName, [this](unsigned char b) { return system_.IsLeadByte(b); });
    if (!IsBundle(kind)) {
        InstallPackage(ApkFileName, requiredAndroid_, phoneTools_, view);
        return;
    }
    if (!bundle_ || bundle_->Path() != ApkFileName) {
        view.ShowReason(std::string(), std::string());
        view.ShowStatus("程序安装失败！", StatusColor::Red);
        const std::string why = bundleError_.empty() ? std::string("安装包组没能打开，请重新打开它。") : bundleError_;
        view.ShowReason(why, why);
        return;
    }
    // Held for the whole install: a package chosen meanwhile doesn't take the pieces away.
    BundlePackage package(bundle_, runner_, exeFolder_, PackageName);
    InstallSplitPackage(ApkFileName, package, requiredAndroid_, phoneTools_, view);
}

void TfrmMain::btnUninstallClick() {
    PhoneView view(*this);
    UninstallPackage(PackageName, phoneTools_, view);
}

bool TfrmMain::IsDeviceConnected(const StringList& lines) const { return ::IsDeviceConnected(lines); }

bool TfrmMain::HasDoubleByteChars(const std::string& text) const { return ::HasDoubleByteChars(text, system_); }

void TfrmMain::MakeTempApkPath(std::string& path) const { path = ::MakeTempApkPath(system_); }

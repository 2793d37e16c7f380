// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "apkinfo/OpenedBundle.h"
#include "apkinfo/PieceCheck.h"

#include "app/AppText.h"
#include "app/MainForm.h"
#include "app/ResultsWindow.h"
#include "app/ShelfRow.h"
#include "app/ZipPlatformWin.h"
#include "device/PhoneOperations.h"
#include "device/ShelfRun.h"
#include "device/SignerHash.h"
#include "device/ToolCommands.h"

#include <cstring>
#include <optional>
#include <set>

// The phone buttons: install the package on show, remove it again, open it afterwards. The flows
// are the device library's; the window shows what they report and answers what they ask.

namespace {

// A v1 signature block is a few kilobytes; a member claiming more is not one.
constexpr uint64_t kSignatureBlockLimit = 1 << 20;

bool IsSignatureBlock(const std::string& path) {
    std::string upper = path;
    for (char& c : upper)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (upper.rfind("META-INF\\", 0) != 0 || upper.find('\\', 9) != std::string::npos)
        return false;
    for (const char* extension : {".RSA", ".DSA", ".EC"}) {
        const std::size_t length = std::strlen(extension);
        if (upper.size() > length && upper.compare(upper.size() - length, length, extension) == 0)
            return true;
    }
    return false;
}

// The signer of a package, as Android names it, from its v1 signature block when it holds exactly
// one: for when the window's signature check (which reads every scheme) has not given it.
std::optional<std::uint32_t> PackageSigner(const std::string& apkPath) {
    try {
        TZipReader reader(WindowsZipPlatform());
        reader.SetZipName(apkPath);
        reader.KeepZipOpen = true;
        reader.LoadDirectory();
        std::ptrdiff_t block = -1;
        for (std::size_t i = 0; i < reader.Count(); ++i) {
            if (!IsSignatureBlock(reader.Entry(i).FullPath()))
                continue;
            if (block >= 0)
                return std::nullopt; // several signers: which one a phone names can't be told simply
            block = static_cast<std::ptrdiff_t>(i);
        }
        TMemoryStream stream(kSignatureBlockLimit);
        if (block < 0 || !reader.ExtractEntryToStream(static_cast<std::size_t>(block), stream))
            return std::nullopt;
        const std::string bytes(stream.Bytes().begin(), stream.Bytes().end());
        std::string certificate;
        if (!CertificateOfSignatureBlock(bytes, certificate))
            return std::nullopt;
        return SignerHashOfCertificate(certificate);
    } catch (const std::exception&) {
        return std::nullopt; // unreadable here; the install says what is wrong with it
    }
}

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
        form_.PlaceReason(); // "打开" and the note follow the status line's text
    }
    void ShowDriverHint(bool shown) override { ShowWindow(form_.lblDownHint, shown ? SW_SHOW : SW_HIDE); }
    void ShowReason(const std::string& text, const std::string& details) override {
        form_.ShowPhoneReason(text, details);
    }
    bool AskDowngrade(const std::string& question) override { return Ask(question, MB_ICONQUESTION); }
    bool AskReplace(const std::string& question) override { return Ask(question, MB_ICONWARNING); }
    bool AskNotIntact(const std::string& question) override { return Ask(question, MB_ICONWARNING); }
    void ShowResults(const InstallResults& results) override { form_.ShowInstallResults(results); }
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
        form_.PlaceReason(); // the note now ends where the countdown begins
    }
    bool IsClosed() override { return form_.closed_; }

private:
    void EnableButtons(BOOL enabled) {
        EnableWindow(form_.btnInstall, enabled);
        EnableWindow(form_.btnOpenApk, enabled);
        EnableWindow(form_.btnUninstall, enabled);
        EnableWindow(form_.lblOpenApp, enabled);
    }
    // Default No: an Enter pressed for something else must not delete a phone's data.
    bool Ask(const std::string& question, UINT icon) {
        if (form_.seams_.askYesNo)
            return form_.seams_.askYesNo(question);
        return MessageBoxA(form_.handle_, question.c_str(), kApplicationTitle, MB_YESNO | MB_DEFBUTTON2 | icon) ==
               IDYES;
    }

    TfrmMain& form_;
};

PackageToInstall TfrmMain::PackageOnShow() const {
    PackageToInstall package;
    package.file = ApkFileName;
    package.packageName = PackageName;
    package.versionCode = versionCode_;
    package.versionName = versionName_;
    package.appName = appName_;
    package.requiredAndroid = requiredAndroid_;
    package.launchableActivity = launchableActivity_;
    return package;
}

void TfrmMain::btnInstallClick() {
    if (shelfShown_) {
        InstallShelfClick();
        return;
    }
    if (!ConfirmInstallOfRefusedPackage())
        return;
    PhoneView view(*this);
    PackageToInstall package = PackageOnShow();
    const PackageFileKind kind = PackageKindOfPath(ApkFileName, [this](unsigned char b) { return system_.IsLeadByte(b); });
    if (!IsBundle(kind)) {
        if (!ApkFileName.empty())
            package.signer = signatureSigner_ ? signatureSigner_ : PackageSigner(ApkFileName);
        InstallPackage(package, phoneTools_, view);
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
    BundlePackage pieces(bundle_, runner_, exeFolder_, PackageName);
    // Every piece has the base's signer.
    package.signer = signatureSigner_ ? signatureSigner_ : PackageSigner(bundle_->BasePath());
    InstallSplitPackage(package, pieces, phoneTools_, view);
}

void TfrmMain::btnUninstallClick() {
    if (shelfShown_) {
        UninstallShelfClick();
        return;
    }
    PhoneView view(*this);
    UninstallPackage(PackageName, phoneTools_, view);
}

void TfrmMain::lblOpenAppClick() {
    // The user is looking at the phones now: the window stays rather than closing underneath.
    if (timerExitEnabled_)
        lblExitClick();
    PhoneView view(*this);
    const InstallResults installed = installResults_;
    OpenInstalledApp(installed, phoneTools_, view);
}

void TfrmMain::ShowInstallResults(const InstallResults& results) {
    installResults_ = results;
    const bool canOpen = !results.packageName.empty() && results.AnyTook();
    ShowWindow(lblOpenApp, canOpen ? SW_SHOW : SW_HIDE);
    PlaceReason();
}

void TfrmMain::ShowDetails(const std::string& text) {
    if (seams_.showDetails)
        seams_.showDetails(text);
    else
        MessageBoxA(resultsWindow_ != nullptr ? resultsWindow_ : handle_, text.c_str(), kApplicationTitle,
                    MB_OK | MB_ICONINFORMATION);
}

void TfrmMain::ShowResultsTable() {
    // The user is reading what happened: the window stays rather than closing underneath.
    if (timerExitEnabled_)
        lblExitClick();
    ResultsTableLook look;
    look.owner = handle_;
    look.font = static_cast<HFONT>(defaultFont_.Get());
    look.dpi = dpi_;
    look.caption = installResults_.ManyPackages() ? "各安装包在各手机上的结果" : "各手机的安装结果";
    look.showDetails = [this] { ShowDetails(reasonDetails_); };
    look.opened = [this](HWND window) { resultsWindow_ = window; };
    // The table shows the rows as they were when it opened, whatever runs meanwhile.
    const InstallResults results = installResults_;
    ::ShowResultsTable(look, results);
}

bool TfrmMain::IsDeviceConnected(const StringList& lines) const { return ::IsDeviceConnected(lines); }

bool TfrmMain::HasDoubleByteChars(const std::string& text) const { return ::HasDoubleByteChars(text, system_); }

void TfrmMain::MakeTempApkPath(std::string& path) const { path = ::MakeTempApkPath(system_); }

namespace {

// The list as a run onto the phones takes it: each row's facts, its signer, and a bundle's pieces,
// which the run holds for as long as it goes whatever happens to the list meanwhile.
struct ShelfForRun {
    std::vector<ShelfPackage> packages;
    std::vector<std::unique_ptr<BundlePackage>> bundles;
};

} // namespace

void TfrmMain::InstallShelfClick() {
    if (inspecting_ || !AwaitShelfSignatures())
        return;
    ShelfForRun run;
    for (const auto& row : shelf_) {
        ShelfPackage entry;
        entry.package.file = row->path;
        entry.package.packageName = row->packageName;
        entry.package.versionCode = row->versionCode;
        entry.package.versionName = row->versionName;
        entry.package.appName = row->appName;
        entry.package.requiredAndroid = row->sdkLabel == "未知" ? std::string() : row->sdkLabel;
        entry.package.launchableActivity = row->launchableActivity;
        entry.label = (row->appName.empty() ? row->packageName : row->appName) +
                      (row->versionName.empty() ? std::string() : " " + row->versionName);
        if (entry.label.empty())
            entry.label = row->path;
        entry.problem = row->problem;
        entry.notIntact = !row->intact;
        if (row->problem.empty() && row->bundle) {
            run.bundles.push_back(std::make_unique<BundlePackage>(row->bundle, runner_, exeFolder_, row->packageName));
            entry.pieces = run.bundles.back().get();
            entry.package.signer = row->signer ? row->signer : PackageSigner(row->bundle->BasePath());
        } else if (row->problem.empty()) {
            entry.package.signer = row->signer ? row->signer : PackageSigner(row->path);
        }
        run.packages.push_back(entry);
    }
    PhoneView view(*this);
    InstallShelf(run.packages, phoneTools_, view);
}

void TfrmMain::UninstallShelfClick() {
    if (inspecting_)
        return;
    std::vector<ShelfPackage> packages;
    for (const auto& row : shelf_) {
        ShelfPackage entry;
        entry.package.file = row->path;
        entry.package.packageName = row->packageName;
        entry.label = row->appName.empty() ? row->packageName : row->appName;
        entry.problem = row->problem;
        packages.push_back(entry);
    }
    PhoneView view(*this);
    UninstallShelf(packages, phoneTools_, view);
}

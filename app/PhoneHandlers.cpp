#include "app/MainForm.h"

#include "device/PhoneOperations.h"
#include "device/ToolCommands.h"

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
    InstallPackage(ApkFileName, requiredAndroid_, phoneTools_, view);
}

void TfrmMain::btnUninstallClick() {
    PhoneView view(*this);
    UninstallPackage(PackageName, phoneTools_, view);
}

bool TfrmMain::IsDeviceConnected(const StringList& lines) const { return ::IsDeviceConnected(lines); }

bool TfrmMain::HasDoubleByteChars(const std::string& text) const { return ::HasDoubleByteChars(text, system_); }

void TfrmMain::MakeTempApkPath(std::string& path) const { path = ::MakeTempApkPath(system_); }

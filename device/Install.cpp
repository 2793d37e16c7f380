#include "app/MainForm.h"

#include "app/AppText.h"
#include "device/ToolCommands.h"

#include <objbase.h>

// Installing the package on show onto the attached phone, and removing the package on show.

namespace {

const char* const kNoDeviceText = "未连接手机或驱动未安装好。请确认手机已连接上电脑!并安装好正确的驱动！";

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

std::string TrimControls(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

} // namespace

// The busy state of a phone operation: the three buttons off and the hourglass, undone on every
// way out. When the window has been closed meanwhile there is nothing left to restore.
class TfrmMain::BusyState {
public:
    explicit BusyState(TfrmMain& form) : form_(form) {
        EnableWindow(form_.btnInstall, FALSE);
        EnableWindow(form_.btnOpenApk, FALSE);
        EnableWindow(form_.btnUninstall, FALSE);
        form_.SetAppCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514))); // IDC_WAIT
    }
    ~BusyState() {
        if (form_.closed_)
            return;
        form_.SetAppCursor(nullptr);
        EnableWindow(form_.btnInstall, TRUE);
        EnableWindow(form_.btnOpenApk, TRUE);
        EnableWindow(form_.btnUninstall, TRUE);
    }
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

private:
    TfrmMain& form_;
};

bool TfrmMain::PhoneReady(const std::string& subject, const char* nothingChosenText, const TextColor& noDeviceColor,
                          const char* underWayText, std::string& output) {
    if (subject.empty()) {
        SetFontColor(lblHintInfo, kWindowTextColor);
        SetCaption(lblHintInfo, nothingChosenText);
        ShowWindow(lblDownHint, SW_HIDE);
        return false;
    }
    // The device check runs with the buttons still live.
    RunCommandText(DevicesCommandLine(exeFolder_), output);
    if (closed_)
        return false;
    if (!IsDeviceConnected(SplitText(output, kCrLf))) {
        SetFontColor(lblHintInfo, noDeviceColor);
        SetCaption(lblHintInfo, kNoDeviceText);
        ShowWindow(lblDownHint, SW_SHOW);
        return false;
    }
    SetFontColor(lblHintInfo, kWindowTextColor);
    SetCaption(lblHintInfo, underWayText);
    ShowWindow(lblDownHint, SW_HIDE);
    return true;
}

bool TfrmMain::IsDeviceConnected(const StringList& lines) const { return ::IsDeviceConnected(lines); }

bool TfrmMain::HasDoubleByteChars(const std::string& text) const {
    CPINFO info = {};
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2)
        return false;
    for (char c : text) {
        if (IsLeadByte(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

void TfrmMain::MakeTempApkPath(std::string& path) const {
    path.clear();
    char folder[256] = {};
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder)
        return; // no usable temporary folder: the caller reports a failed install
    GUID guid;
    if (FAILED(CoCreateGuid(&guid)))
        return;
    char text[64] = {};
    // The registry form: braces, upper-case hexadecimal digits in groups of 8, 4, 4, 4 and 12.
    wsprintfA(text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2, guid.Data3,
              guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
              guid.Data4[6], guid.Data4[7]);
    path = TrimControls(std::string(folder, length)) + text + ".apk";
}

void TfrmMain::btnInstallClick() {
    std::string tempApkPath;
    std::string output;
    if (!PhoneReady(ApkFileName, "未选择要安装的apk文件。", kRed, "正在为手机安装程序，请等待程序安装完成提示...", output))
        return;

    // The path the install goes on with, fixed now: a package chosen meanwhile doesn't change it.
    const std::string apkFileName = ApkFileName;
    struct TempCopy {
        std::string path;
        ~TempCopy() {
            if (!path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
                DeleteFileA(path.c_str());
        }
    } tempCopy;
    BusyState busy(*this);

    std::string installPath = apkFileName;
    // adb can't take a file name with double-byte characters: it installs a copy with a plain name.
    if (HasDoubleByteChars(ExtractFileName(apkFileName, IsLeadByte))) {
        MakeTempApkPath(tempApkPath);
        if (tempApkPath.empty()) {
            SetFontColor(lblHintInfo, kRed);
            SetCaption(lblHintInfo, "程序安装失败！");
            return;
        }
        tempCopy.path = tempApkPath;
        CopyFileA(apkFileName.c_str(), tempApkPath.c_str(), TRUE);
        installPath = tempApkPath;
    }
    RunCommandText(InstallCommandLine(exeFolder_, installPath), output);
    if (closed_)
        return;
    SetFontColor(lblHintInfo, kRed);
    if (ToolReportsSuccess(output)) {
        SetCaption(lblHintInfo, "程序安装成功！");
        if (IsTicked(ckbIsClose))
            StartExitCountdown();
    } else {
        SetCaption(lblHintInfo, "程序安装失败！");
    }
}

void TfrmMain::btnUninstallClick() {
    std::string output;
    if (!PhoneReady(PackageName, "未选择要卸载的apk文件。", kWindowTextColor,
                    "正在为手机卸载程序，请等待程序卸载完成提示...", output))
        return;

    const std::string packageName = PackageName;
    BusyState busy(*this);
    RunCommandText(UninstallCommandLine(exeFolder_, packageName), output);
    if (closed_)
        return;
    if (ToolReportsSuccess(output)) {
        SetFontColor(lblHintInfo, kGreen);
        SetCaption(lblHintInfo, "程序卸载成功！");
    } else {
        SetFontColor(lblHintInfo, kRed);
        SetCaption(lblHintInfo, "程序卸载失败！");
    }
    ShowWindow(lblDownHint, SW_HIDE);
}

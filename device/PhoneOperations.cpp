#include "device/PhoneOperations.h"

#include "device/PathText.h"
#include "device/ToolCommands.h"

const char* const kNoDeviceText = "未连接手机或驱动未安装好。请确认手机已连接上电脑!并安装好正确的驱动！";

namespace {

// The texts and colours in which install and uninstall differ.
struct OperationTexts {
    const char* nothingChosen;
    StatusColor noDeviceColor;
    const char* underWay;
};

const OperationTexts kInstallTexts = {"未选择要安装的apk文件。", StatusColor::Red,
                                      "正在为手机安装程序，请等待程序安装完成提示..."};
const OperationTexts kUninstallTexts = {"未选择要卸载的apk文件。", StatusColor::WindowText,
                                        "正在为手机卸载程序，请等待程序卸载完成提示..."};

// The common start of install and uninstall: something chosen, a phone attached. Reports in the
// status line and returns false when the operation can't go on.
bool PhoneReady(const std::string& subject, const OperationTexts& texts, PhoneTools& tools, IPhoneView& view,
                std::string& output) {
    if (subject.empty()) {
        view.ShowStatus(texts.nothingChosen, StatusColor::WindowText);
        view.ShowDriverHint(false);
        return false;
    }
    // The device check runs with the buttons still live.
    tools.runner.Run(DevicesCommandLine(tools.exeFolder), output);
    if (view.IsClosed())
        return false;
    if (!IsDeviceConnected(SplitText(output, kCrLf))) {
        view.ShowStatus(kNoDeviceText, texts.noDeviceColor);
        view.ShowDriverHint(true);
        return false;
    }
    view.ShowStatus(texts.underWay, StatusColor::WindowText);
    view.ShowDriverHint(false);
    return true;
}

// The busy state for one run, undone on every way out unless the window is gone.
class Busy {
public:
    explicit Busy(IPhoneView& view) : view_(view) { view_.SetBusy(true); }
    ~Busy() {
        if (!view_.IsClosed())
            view_.SetBusy(false);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    IPhoneView& view_;
};

// The temporary copy of a package, removed on every way out.
class TempCopy {
public:
    explicit TempCopy(ISystem& system) : system_(system) {}
    ~TempCopy() {
        if (!path_.empty() && system_.FileExists(path_))
            system_.RemoveFile(path_);
    }
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;
    void Own(const std::string& path) { path_ = path; }

private:
    ISystem& system_;
    std::string path_;
};

} // namespace

bool HasDoubleByteChars(const std::string& text, ISystem& system) {
    if (!system.IsDoubleByteCodePage())
        return false;
    for (char c : text) {
        if (system.IsLeadByte(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

std::string MakeTempApkPath(ISystem& system) {
    std::string folder;
    std::string guid;
    if (!system.TempFolder(folder) || !system.NewGuid(guid))
        return std::string();
    return folder + guid + ".apk";
}

void InstallPackage(const std::string& apkFileName, PhoneTools& tools, IPhoneView& view) {
    std::string output;
    if (!PhoneReady(apkFileName, kInstallTexts, tools, view, output))
        return;

    // The path the install goes on with is fixed now: a package chosen meanwhile doesn't change it.
    const std::string apkPath = apkFileName;
    TempCopy tempCopy(tools.system);
    Busy busy(view);

    std::string installPath = apkPath;
    // adb can't take a file name with double-byte characters: it installs a copy with a plain name.
    ISystem& system = tools.system;
    const LeadByteTest isLeadByte = [&system](unsigned char byte) { return system.IsLeadByte(byte); };
    if (HasDoubleByteChars(ExtractFileName(apkPath, isLeadByte), system)) {
        const std::string tempApkPath = MakeTempApkPath(system);
        if (tempApkPath.empty()) {
            view.ShowStatus("程序安装失败！", StatusColor::Red);
            return;
        }
        tempCopy.Own(tempApkPath);
        system.CopyNewFile(apkPath, tempApkPath);
        installPath = tempApkPath;
    }
    tools.runner.Run(InstallCommandLine(tools.exeFolder, installPath), output);
    if (view.IsClosed())
        return;
    if (ToolReportsSuccess(output)) {
        view.ShowStatus("程序安装成功！", StatusColor::Red);
        view.InstallSucceeded();
    } else {
        view.ShowStatus("程序安装失败！", StatusColor::Red);
    }
}

void UninstallPackage(const std::string& packageName, PhoneTools& tools, IPhoneView& view) {
    std::string output;
    if (!PhoneReady(packageName, kUninstallTexts, tools, view, output))
        return;

    const std::string name = packageName;
    Busy busy(view);
    tools.runner.Run(UninstallCommandLine(tools.exeFolder, name), output);
    if (view.IsClosed())
        return;
    if (ToolReportsSuccess(output))
        view.ShowStatus("程序卸载成功！", StatusColor::Green);
    else
        view.ShowStatus("程序卸载失败！", StatusColor::Red);
    view.ShowDriverHint(false);
}

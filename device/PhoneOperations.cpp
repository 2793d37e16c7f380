#include "device/PhoneOperations.h"

#include "device/AdbReasons.h"
#include "device/PathText.h"
#include "device/ToolCommands.h"
#include "device/Utf8.h"

#include <algorithm>
#include <functional>

const char* const kNoDeviceText = "未连接手机或驱动未安装好。请确认手机已连接上电脑!并安装好正确的驱动！";

namespace {

// A run longer than this shows how long it has taken, so a slow phone doesn't look like a hang.
constexpr unsigned kQuietMs = 2000;

// The texts and colours in which install and uninstall differ.
struct OperationTexts {
    const char* nothingChosen;
    StatusColor noDeviceColor;
    const char* underWay;
    const char* succeeded;
    StatusColor successColor;
    const char* failed;
};

const OperationTexts kInstallTexts = {"未选择要安装的apk文件。", StatusColor::Red,
                                      "正在为手机安装程序，请等待程序安装完成提示...", "程序安装成功！",
                                      StatusColor::Red, "程序安装失败！"};
const OperationTexts kUninstallTexts = {"未选择要卸载的apk文件。", StatusColor::WindowText,
                                        "正在为手机卸载程序，请等待程序卸载完成提示...", "程序卸载成功！",
                                        StatusColor::Green, "程序卸载失败！"};

// The phones an operation goes to, as the listing gave them.
struct Targets {
    std::vector<Phone> ready;
    std::vector<Phone> unready;
    // adb picks the phone itself: exactly one phone is listed, or the listing's lines only
    // satisfy the plain "device" test.
    bool single = false;
};

// The common start of install and uninstall: something chosen, adb there, a phone ready.
// Reports in the status line and returns false when the operation can't go on.
bool FindTargets(const std::string& subject, const OperationTexts& texts, PhoneTools& tools, IPhoneView& view,
                 Targets& targets) {
    // What was said about the last run no longer holds.
    view.ShowReason(std::string(), std::string());
    if (subject.empty()) {
        view.ShowStatus(texts.nothingChosen, StatusColor::WindowText);
        view.ShowDriverHint(false);
        return false;
    }
    if (!tools.system.FileExists(AdbPath(tools.exeFolder))) {
        view.ShowStatus("找不到adb.exe，请把它放进程序所在的adb文件夹。", texts.noDeviceColor);
        view.ShowDriverHint(false);
        view.ShowReason(tools.exeFolder + "adb\\", "adb.exe " + AdbPath(tools.exeFolder));
        return false;
    }
    // The device check runs with the buttons still live.
    std::string output;
    tools.runner.Run(DevicesCommandLine(tools.exeFolder), output);
    if (view.IsClosed())
        return false;
    for (const Phone& phone : ReadDeviceList(output))
        (ClassifyState(phone.state) == PhoneState::Ready ? targets.ready : targets.unready).push_back(phone);
    targets.single = targets.ready.size() == 1 && targets.unready.empty();
    if (targets.ready.empty() && targets.unready.empty() && IsDeviceConnected(SplitText(output, kCrLf))) {
        // Output the listing can't read but the plain test counts as a phone: adb chooses.
        targets.ready.push_back(Phone{std::string(), "device"});
        targets.single = true;
    }
    if (targets.ready.empty()) {
        if (targets.unready.empty()) {
            view.ShowStatus(kNoDeviceText, texts.noDeviceColor);
            view.ShowDriverHint(true);
            return false;
        }
        // The most useful thing to say first: a phone waiting for the user's "allow" beats the rest.
        const auto first = std::min_element(targets.unready.begin(), targets.unready.end(),
                                            [](const Phone& a, const Phone& b) {
                                                return ClassifyState(a.state) < ClassifyState(b.state);
                                            });
        const PhoneState state = ClassifyState(first->state);
        view.ShowStatus(StateText(state, first->state), texts.noDeviceColor);
        view.ShowDriverHint(state == PhoneState::NoPermission);
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

// A serial as adb must be given it: adb lists serials in UTF-8, and a command line is in the ANSI
// code page. False when the code page can't carry it faithfully.
bool SerialArgument(const std::string& serial, ISystem& system, std::string& argument) {
    argument = AnsiFromUtf8(serial, system);
    const bool onlyAscii = std::all_of(serial.begin(), serial.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (onlyAscii)
        return true;
    std::u16string wide;
    return DecodeUtf8(serial, wide) && std::count(argument.begin(), argument.end(), '?') ==
                                           std::count(wide.begin(), wide.end(), u'?');
}

struct PhoneResult {
    std::string serial;
    bool succeeded = false;
    std::string reason;  // in the window's code page
    std::string details; // the command and what adb printed
};

std::string Decimal(std::size_t value) { return std::to_string(value); }

std::string PhoneName(const std::string& serial, ISystem& system) {
    return serial.empty() ? std::string("手机") : "手机 " + AnsiFromUtf8(serial, system);
}

// Runs one command per ready phone, all at once, and judges each phone's answer.
std::vector<PhoneResult> RunOnPhones(const Targets& targets,
                                     const std::function<std::string(const std::string& serial)>& commandFor,
                                     const std::string& requiredAndroid, PhoneTools& tools, IPhoneView& view) {
    ISystem& system = tools.system;
    std::vector<PhoneResult> results;
    std::vector<ToolRun> runs;
    std::vector<std::size_t> runOf; // index into runs for each result, or npos
    for (const Phone& phone : targets.ready) {
        PhoneResult result;
        result.serial = phone.serial;
        std::string serial;
        if (!targets.single && !SerialArgument(phone.serial, system, serial)) {
            result.reason = "序列号含有无法传给adb的字符";
            runOf.push_back(std::string::npos);
        } else {
            runs.emplace_back();
            runs.back().commandLine = commandFor(targets.single ? std::string() : serial);
            runOf.push_back(runs.size() - 1);
        }
        results.push_back(result);
    }
    const std::size_t total = runs.size();
    tools.runner.RunAll(runs, [&](unsigned elapsedMs, std::size_t finished) {
        if (elapsedMs < kQuietMs || view.IsClosed())
            return;
        std::string note = "已用 " + Decimal(elapsedMs / 1000) + " 秒";
        if (total > 1)
            note += "，已完成 " + Decimal(finished) + "/" + Decimal(total) + " 台";
        view.ShowReason(note, std::string());
    });
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (runOf[i] == std::string::npos)
            continue;
        const ToolRun& run = runs[runOf[i]];
        PhoneResult& result = results[i];
        result.details = run.commandLine + "\r\n" + AnsiFromUtf8(run.output, system) + AnsiFromUtf8(run.errors, system);
        if (!run.started) {
            result.reason = "adb.exe无法启动";
        } else if (AdbReportsSuccess(run.output, run.errors)) {
            result.succeeded = true;
        } else {
            const AdbFailure failure =
                ReadAdbFailure(AnsiFromUtf8(run.output, system), AnsiFromUtf8(run.errors, system));
            result.reason = ExplainFailure(failure, requiredAndroid);
        }
    }
    for (const Phone& phone : targets.unready) {
        PhoneResult result;
        result.serial = phone.serial;
        result.reason = StateText(ClassifyState(phone.state), phone.state);
        results.push_back(result);
    }
    return results;
}

// The outcome in the status line, and the reason beside it when some phone refused.
void Report(const std::vector<PhoneResult>& results, const OperationTexts& texts, ISystem& system, IPhoneView& view,
            bool& allSucceeded) {
    std::size_t succeeded = 0;
    const PhoneResult* firstFailure = nullptr;
    std::string details;
    for (const PhoneResult& result : results) {
        if (result.succeeded)
            ++succeeded;
        else if (firstFailure == nullptr)
            firstFailure = &result;
        details += PhoneName(result.serial, system) + "：" + (result.succeeded ? std::string("成功") : result.reason) +
                   "\r\n" + result.details + "\r\n";
    }
    allSucceeded = firstFailure == nullptr;
    if (allSucceeded) {
        view.ShowStatus(texts.succeeded, texts.successColor);
        view.ShowReason(std::string(), std::string());
        return;
    }
    view.ShowStatus(texts.failed, StatusColor::Red);
    std::string reason = firstFailure->reason;
    if (results.size() > 1) {
        reason = Decimal(succeeded) + " 台成功，" + Decimal(results.size() - succeeded) + " 台失败：" +
                 (firstFailure->serial.empty() ? std::string() : AnsiFromUtf8(firstFailure->serial, system) + " ") +
                 reason;
    }
    view.ShowReason(reason, details);
}

} // namespace

std::string StateText(PhoneState state, const std::string& rawState) {
    switch (state) {
    case PhoneState::Unauthorized:
        return "手机尚未允许此电脑调试：请在手机上点“允许”（勾选“始终允许”）后重试。";
    case PhoneState::Offline:
        return "手机处于离线状态：请重新插拔USB线，或在手机上关闭再打开USB调试。";
    case PhoneState::NoPermission:
        return "没有访问手机的权限：请检查手机驱动和USB权限后重试。";
    case PhoneState::Recovery:
        return "手机处于恢复模式：请先正常开机，打开USB调试后重试。";
    case PhoneState::Bootloader:
        return "手机处于引导（Fastboot）模式：请先正常开机后重试。";
    case PhoneState::Ready:
        return std::string();
    default:
        return "手机状态为“" + rawState.substr(0, 24) + "”：请重新连接手机后重试。";
    }
}

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

void InstallPackage(const std::string& apkFileName, const std::string& requiredAndroid, PhoneTools& tools,
                    IPhoneView& view) {
    Targets targets;
    if (!FindTargets(apkFileName, kInstallTexts, tools, view, targets))
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
            view.ShowStatus(kInstallTexts.failed, StatusColor::Red);
            view.ShowReason("没有可用的临时文件夹，无法复制中文名的安装包", std::string());
            return;
        }
        tempCopy.Own(tempApkPath);
        system.CopyNewFile(apkPath, tempApkPath);
        installPath = tempApkPath;
    }
    const std::vector<PhoneResult> results = RunOnPhones(
        targets, [&](const std::string& serial) { return InstallCommandLine(tools.exeFolder, installPath, serial); },
        requiredAndroid, tools, view);
    if (view.IsClosed())
        return;
    bool allSucceeded = false;
    Report(results, kInstallTexts, system, view, allSucceeded);
    if (allSucceeded)
        view.InstallSucceeded();
}

void UninstallPackage(const std::string& packageName, PhoneTools& tools, IPhoneView& view) {
    Targets targets;
    if (!FindTargets(packageName, kUninstallTexts, tools, view, targets))
        return;

    const std::string name = packageName;
    Busy busy(view);
    const std::vector<PhoneResult> results = RunOnPhones(
        targets, [&](const std::string& serial) { return UninstallCommandLine(tools.exeFolder, name, serial); },
        std::string(), tools, view);
    if (view.IsClosed())
        return;
    bool allSucceeded = false;
    Report(results, kUninstallTexts, tools.system, view, allSucceeded);
    view.ShowDriverHint(false);
}

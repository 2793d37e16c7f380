#include "device/PhoneOperations.h"

#include "device/AdbReasons.h"
#include "device/Errors.h"
#include "device/PathText.h"
#include "device/PhoneTraits.h"
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

// One ready phone through the steps of an operation.
struct PhoneJob {
    std::string serial;    // as adb listed it (UTF-8)
    std::string serialArg; // as the command line gives it; empty when adb picks the only phone
    bool failed = false;
    bool succeeded = false;
    std::string reason;  // in the window's code page
    std::string details; // the commands and what adb printed

    bool Going() const { return !failed && !succeeded; }
    void Fail(const std::string& why) {
        failed = true;
        reason = why;
    }
};

std::string Decimal(std::size_t value) { return std::to_string(value); }

std::string PhoneName(const std::string& serial, ISystem& system) {
    return serial.empty() ? std::string("手机") : "手机 " + AnsiFromUtf8(serial, system);
}

std::vector<PhoneJob> MakeJobs(const Targets& targets, ISystem& system) {
    std::vector<PhoneJob> jobs;
    for (const Phone& phone : targets.ready) {
        PhoneJob job;
        job.serial = phone.serial;
        if (!targets.single && !SerialArgument(phone.serial, system, job.serialArg))
            job.Fail("序列号含有无法传给adb的字符");
        jobs.push_back(job);
    }
    return jobs;
}

// The time an operation has taken over all its steps, for the note beside the status line.
struct RunClock {
    unsigned before = 0; // the steps done
    unsigned current = 0;
};

// Runs the commands each going phone needs for one step, every phone's at once; `judge` then
// reads each phone's runs. `countPhones` says how many phones are done in the note.
void RunStep(std::vector<PhoneJob>& jobs, const std::function<std::vector<std::string>(PhoneJob&)>& commandsFor,
             const std::function<void(PhoneJob&, const std::vector<ToolRun>&)>& judge, bool countPhones,
             RunClock& clock, PhoneTools& tools, IPhoneView& view) {
    std::vector<ToolRun> runs;
    std::vector<std::pair<std::size_t, std::size_t>> spans(jobs.size(), {0, 0});
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].Going())
            continue;
        const std::size_t first = runs.size();
        for (const std::string& command : commandsFor(jobs[i])) {
            runs.emplace_back();
            runs.back().commandLine = command;
        }
        spans[i] = {first, runs.size()};
    }
    if (runs.empty())
        return;
    const std::size_t total = runs.size();
    tools.runner.RunAll(runs, [&](unsigned elapsedMs, std::size_t finished) {
        clock.current = elapsedMs;
        const unsigned ms = clock.before + elapsedMs;
        if (ms < kQuietMs || view.IsClosed())
            return;
        std::string note = "已用 " + Decimal(ms / 1000) + " 秒";
        if (countPhones && total > 1)
            note += "，已完成 " + Decimal(finished) + "/" + Decimal(total) + " 台";
        view.ShowReason(note, std::string());
    });
    clock.before += clock.current;
    clock.current = 0;
    if (view.IsClosed())
        return;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (spans[i].first == spans[i].second)
            continue;
        const std::vector<ToolRun> mine(runs.begin() + static_cast<std::ptrdiff_t>(spans[i].first),
                                        runs.begin() + static_cast<std::ptrdiff_t>(spans[i].second));
        for (const ToolRun& run : mine) {
            jobs[i].details += run.commandLine + "\r\n" + AnsiFromUtf8(run.output, tools.system) +
                               AnsiFromUtf8(run.errors, tools.system);
        }
        judge(jobs[i], mine);
    }
}

// The step that does the work: an install or an uninstall, judged by adb's "Success".
void JudgeOutcome(PhoneJob& job, const ToolRun& run, const std::string& requiredAndroid, ISystem& system) {
    if (!run.started) {
        job.Fail("adb.exe无法启动");
    } else if (AdbReportsSuccess(run.output, run.errors)) {
        job.succeeded = true;
    } else {
        const AdbFailure failure = ReadAdbFailure(AnsiFromUtf8(run.output, system), AnsiFromUtf8(run.errors, system));
        job.Fail(ExplainFailure(failure, requiredAndroid));
    }
}

// The outcome in the status line, and the reason beside it when some phone was not served.
// Returns true when every phone listed took it.
bool Report(const std::vector<PhoneJob>& jobs, const Targets& targets, const OperationTexts& texts, ISystem& system,
            IPhoneView& view) {
    std::vector<PhoneJob> all = jobs;
    for (const Phone& phone : targets.unready) {
        PhoneJob job;
        job.serial = phone.serial;
        job.Fail(StateText(ClassifyState(phone.state), phone.state));
        all.push_back(job);
    }
    std::size_t succeeded = 0;
    const PhoneJob* firstFailure = nullptr;
    std::string details;
    for (const PhoneJob& job : all) {
        if (job.succeeded)
            ++succeeded;
        else if (firstFailure == nullptr)
            firstFailure = &job;
        details += PhoneName(job.serial, system) + "：" + (job.succeeded ? std::string("成功") : job.reason) + "\r\n" +
                   job.details + "\r\n";
    }
    if (firstFailure == nullptr) {
        view.ShowStatus(texts.succeeded, texts.successColor);
        view.ShowReason(std::string(), std::string());
        return true;
    }
    view.ShowStatus(texts.failed, StatusColor::Red);
    std::string reason = firstFailure->reason;
    if (all.size() > 1) {
        reason = Decimal(succeeded) + " 台成功，" + Decimal(all.size() - succeeded) + " 台失败：" +
                 (firstFailure->serial.empty() ? std::string() : AnsiFromUtf8(firstFailure->serial, system) + " ") +
                 reason;
    }
    view.ShowReason(reason, details);
    return false;
}

// One command per phone, then the report: what a plain install and an uninstall are.
bool RunOnPhones(const Targets& targets, const OperationTexts& texts,
                 const std::function<std::string(const std::string& serial)>& commandFor,
                 const std::string& requiredAndroid, PhoneTools& tools, IPhoneView& view) {
    std::vector<PhoneJob> jobs = MakeJobs(targets, tools.system);
    RunClock clock;
    RunStep(
        jobs, [&](PhoneJob& job) { return std::vector<std::string>{commandFor(job.serialArg)}; },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
            JudgeOutcome(job, runs.front(), requiredAndroid, tools.system);
        },
        true, clock, tools, view);
    if (view.IsClosed())
        return false;
    return Report(jobs, targets, texts, tools.system, view);
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
    const bool allSucceeded = RunOnPhones(
        targets, kInstallTexts,
        [&](const std::string& serial) { return InstallCommandLine(tools.exeFolder, installPath, serial); },
        requiredAndroid, tools, view);
    if (allSucceeded)
        view.InstallSucceeded();
}

void UninstallPackage(const std::string& packageName, PhoneTools& tools, IPhoneView& view) {
    Targets targets;
    if (!FindTargets(packageName, kUninstallTexts, tools, view, targets))
        return;

    const std::string name = packageName;
    Busy busy(view);
    RunOnPhones(
        targets, kUninstallTexts,
        [&](const std::string& serial) { return UninstallCommandLine(tools.exeFolder, name, serial); }, std::string(),
        tools, view);
    if (!view.IsClosed())
        view.ShowDriverHint(false);
}

void InstallSplitPackage(const std::string& packageFile, ISplitPackage& package, const std::string& requiredAndroid,
                         PhoneTools& tools, IPhoneView& view) {
    Targets targets;
    if (!FindTargets(packageFile, kInstallTexts, tools, view, targets))
        return;
    Busy busy(view);
    ISystem& system = tools.system;
    std::vector<PhoneJob> jobs = MakeJobs(targets, system);
    RunClock clock;
    const auto stopped = [&] { return view.IsClosed(); };

    // What each phone is: the pieces depend on it.
    const char* const properties[] = {kPropAbiList, kPropAbi, kPropDensity, kPropLocale, kPropProductLocale, kPropSdk};
    std::vector<SplitChoice> choices(jobs.size());
    RunStep(
        jobs,
        [&](PhoneJob& job) {
            std::vector<std::string> commands;
            for (const char* property : properties)
                commands.push_back(ShellCommandLine(tools.exeFolder, std::string("getprop ") + property, job.serialArg));
            return commands;
        },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
            if (!runs.front().started) {
                job.Fail("adb.exe无法启动");
                return;
            }
            PhoneProperties answers;
            answers.abiList = runs[0].output;
            answers.abi = runs[1].output;
            answers.density = runs[2].output;
            answers.locale = runs[3].output;
            answers.productLocale = runs[4].output;
            answers.sdk = runs[5].output;
            if (GetpropValue(answers.sdk).empty() && GetpropValue(answers.abi).empty() &&
                GetpropValue(answers.abiList).empty()) {
                // The phone said nothing about itself: adb's own error says why.
                job.Fail(ExplainFailure(ReadAdbFailure(AnsiFromUtf8(runs[5].output, system),
                                                       AnsiFromUtf8(runs[5].errors, system)),
                                        requiredAndroid));
                return;
            }
            const std::size_t index = static_cast<std::size_t>(&job - jobs.data());
            choices[index] = ChooseSplits(package.Splits(), package.Standalones(), ReadPhoneTraits(answers));
            if (choices[index].outcome == ChoiceOutcome::TooOld)
                job.Fail(kTooOldForSplitsText);
            else if (choices[index].outcome == ChoiceOutcome::NoMatchingAbi)
                job.Fail(kNoMatchingAbiText);
        },
        false, clock, tools, view);
    if (stopped())
        return;

    // The pieces out of the bundle, once for all phones; a bundle that can't be installed as it is
    // stops here, before anything reaches a phone.
    std::vector<std::vector<std::string>> files(jobs.size());
    std::vector<ISplitPackage::Obb> obbs;
    try {
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (jobs[i].Going())
                files[i] = package.Files(choices[i].names);
            if (stopped())
                return;
        }
        if (std::any_of(jobs.begin(), jobs.end(), [](const PhoneJob& job) { return job.Going(); }))
            obbs = package.ObbFiles();
    } catch (const VarnelError& error) {
        if (stopped())
            return;
        view.ShowStatus(kInstallTexts.failed, StatusColor::Red);
        view.ShowReason(error.what(), error.what());
        return;
    }
    if (stopped())
        return;

    if (!obbs.empty()) {
        // The expansion files go where the game looks for them, before the game itself.
        const std::string folder = "/sdcard/Android/obb/" + package.PackageName();
        RunStep(
            jobs,
            [&](PhoneJob& job) {
                return std::vector<std::string>{ShellCommandLine(tools.exeFolder, "mkdir -p " + folder, job.serialArg)};
            },
            [](PhoneJob&, const std::vector<ToolRun>&) {}, false, clock, tools, view);
        if (stopped())
            return;
        RunStep(
            jobs,
            [&](PhoneJob& job) {
                std::vector<std::string> commands;
                for (const auto& obb : obbs)
                    commands.push_back(PushCommandLine(tools.exeFolder, obb.file, "/sdcard/" + obb.phonePath, job.serialArg));
                return commands;
            },
            [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
                for (const ToolRun& run : runs) {
                    if (!run.started || run.output.find("pushed") == std::string::npos) {
                        const AdbFailure failure =
                            ReadAdbFailure(AnsiFromUtf8(run.output, system), AnsiFromUtf8(run.errors, system));
                        job.Fail("数据文件（OBB）没能传到手机上：" + ExplainFailure(failure, requiredAndroid));
                        return;
                    }
                }
            },
            false, clock, tools, view);
        if (stopped())
            return;
    }

    RunStep(
        jobs,
        [&](PhoneJob& job) {
            const auto& mine = files[static_cast<std::size_t>(&job - jobs.data())];
            return std::vector<std::string>{mine.size() == 1
                                                ? InstallCommandLine(tools.exeFolder, mine.front(), job.serialArg)
                                                : InstallMultipleCommandLine(tools.exeFolder, mine, job.serialArg)};
        },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) { JudgeOutcome(job, runs.front(), requiredAndroid, system); },
        true, clock, tools, view);
    if (stopped())
        return;
    if (Report(jobs, targets, kInstallTexts, system, view))
        view.InstallSucceeded();
}

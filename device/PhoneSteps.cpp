#include "device/PhoneSteps.h"

#include "device/AdbReasons.h"
#include "device/ToolCommands.h"
#include "device/Utf8.h"

#include <algorithm>

namespace phone_steps {

const char* const kDowngradeCode = "INSTALL_FAILED_VERSION_DOWNGRADE";
const char* const kIncompatibleCode = "INSTALL_FAILED_UPDATE_INCOMPATIBLE";

const OperationTexts kInstallTexts = {
    "未选择要安装的apk文件。", StatusColor::Red, "正在为手机安装程序，请等待程序安装完成提示...",
    "程序安装成功！",          StatusColor::Red, "程序安装失败！"};
const OperationTexts kUninstallTexts = {
    "未选择要卸载的apk文件。", StatusColor::WindowText, "正在为手机卸载程序，请等待程序卸载完成提示...",
    "程序卸载成功！",          StatusColor::Green,      "程序卸载失败！"};

const char* const kDataWarning =
    "注意：卸载会删除这个应用在这些手机上的全部数据（账号登录、聊天记录、游戏存档等），且无法恢复。";

namespace {

// A run longer than this shows how long it has taken, so a slow phone doesn't look like a hang.
constexpr unsigned kQuietMs = 2000;
// An install still waiting after this long is most likely waiting for a tap on the phone's own
// screen (vivo, OPPO, Xiaomi ask before every USB install).
constexpr unsigned kScreenWaitMs = 5000;
// Where a phone's getprop listing ends and its dumpsys answer begins, in one shell command's output.
const char* const kDumpsysMarker = "VARNEL:DUMPSYS";

} // namespace

bool FindTargets(const std::string& subject, const OperationTexts& texts, PhoneTools& tools, IPhoneView& view,
                 Targets& targets) {
    // What was said about the last run no longer holds.
    view.ShowReason(std::string(), std::string());
    view.ShowResults(InstallResults());
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
    std::vector<std::string> listed;
    for (const Phone& phone : ReadDeviceList(output)) {
        (ClassifyState(phone.state) == PhoneState::Ready ? targets.ready : targets.unready).push_back(phone);
        listed.push_back(phone.serial);
    }
    tools.known.KeepOnly(listed);
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
        const auto first =
            std::min_element(targets.unready.begin(), targets.unready.end(), [](const Phone& a, const Phone& b) {
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

bool SerialArgument(const std::string& serial, ISystem& system, std::string& argument) {
    argument = AnsiFromUtf8(serial, system);
    const bool onlyAscii =
        std::all_of(serial.begin(), serial.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (onlyAscii)
        return true;
    std::u16string wide;
    return DecodeUtf8(serial, wide) &&
           std::count(argument.begin(), argument.end(), '?') == std::count(wide.begin(), wide.end(), u'?');
}

std::string Decimal(std::int64_t value) {
    return std::to_string(value);
}

std::string SerialName(const std::string& serial, ISystem& system) {
    return serial.empty() ? std::string("手机") : AnsiFromUtf8(serial, system);
}

std::vector<PhoneJob> MakeJobs(const Targets& targets, PhoneTools& tools) {
    std::vector<PhoneJob> jobs;
    for (const Phone& phone : targets.ready) {
        PhoneJob job;
        job.serial = phone.serial;
        job.name = SerialName(phone.serial, tools.system);
        if (const PhoneProfile* known = tools.known.Find(phone.serial)) {
            job.profile = *known;
            job.knowsItself = true;
        }
        if (!targets.single && !SerialArgument(phone.serial, tools.system, job.serialArg))
            job.Fail("序列号含有无法传给adb的字符");
        jobs.push_back(job);
    }
    return jobs;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : "、") + name;
    return text;
}

void RunStep(Operation& op, const std::function<std::vector<std::string>(PhoneJob&)>& commandsFor,
             const std::function<void(PhoneJob&, const std::vector<ToolRun>&)>& judge, const StepNote& note) {
    std::vector<ToolRun> runs;
    std::vector<std::pair<std::size_t, std::size_t>> spans(op.jobs.size(), {0, 0});
    for (std::size_t i = 0; i < op.jobs.size(); ++i) {
        if (!op.jobs[i].Going())
            continue;
        const std::size_t first = runs.size();
        for (const std::string& command : commandsFor(op.jobs[i])) {
            runs.emplace_back();
            runs.back().commandLine = command;
        }
        spans[i] = {first, runs.size()};
    }
    if (runs.empty())
        return;
    if (!note.plan.empty())
        op.view.ShowReason(note.plan, std::string());
    const std::size_t total = runs.size();
    op.tools.runner.RunAll(runs, [&](unsigned elapsedMs, std::size_t finished) {
        op.clock.current = elapsedMs;
        const unsigned ms = op.clock.before + elapsedMs;
        if (op.view.IsClosed())
            return;
        std::string text;
        if (note.screenHint && elapsedMs >= kScreenWaitMs) {
            std::vector<std::string> waiting;
            for (std::size_t i = 0; i < op.jobs.size(); ++i) {
                for (std::size_t k = spans[i].first; k < spans[i].second; ++k) {
                    if (!runs[k].finished) {
                        waiting.push_back(op.jobs[i].name);
                        break;
                    }
                }
            }
            if (!waiting.empty())
                text = "请看手机屏幕，如有提示请点“允许”或“继续安装”：" + JoinNames(waiting) + "（已等 " +
                       Decimal(elapsedMs / 1000) + " 秒）";
        }
        if (text.empty()) {
            if (ms < kQuietMs)
                return;
            text = "已用 " + Decimal(ms / 1000) + " 秒";
            if (note.countPhones && total > 1)
                text += "，已完成 " + Decimal(static_cast<std::int64_t>(finished)) + "/" +
                        Decimal(static_cast<std::int64_t>(total)) + " 台";
            if (!note.plan.empty())
                text += "；" + note.plan;
        }
        op.view.ShowReason(text, std::string());
    });
    op.clock.before += op.clock.current;
    op.clock.current = 0;
    if (op.view.IsClosed())
        return;
    for (std::size_t i = 0; i < op.jobs.size(); ++i) {
        if (spans[i].first == spans[i].second)
            continue;
        const std::vector<ToolRun> mine(runs.begin() + static_cast<std::ptrdiff_t>(spans[i].first),
                                        runs.begin() + static_cast<std::ptrdiff_t>(spans[i].second));
        for (const ToolRun& run : mine) {
            op.jobs[i].details += run.commandLine + "\r\n" + AnsiFromUtf8(run.output, op.tools.system) +
                                  AnsiFromUtf8(run.errors, op.tools.system);
        }
        judge(op.jobs[i], mine);
    }
}

std::string Explain(const ToolRun& run, const std::string& requiredAndroid, const PhoneJob& job, ISystem& system) {
    const AdbFailure failure = ReadAdbFailure(AnsiFromUtf8(run.output, system), AnsiFromUtf8(run.errors, system));
    return ExplainFailure(failure, requiredAndroid, job.knowsItself ? MakerOf(job.profile) : PhoneMaker::Other);
}

void JudgeOutcome(PhoneJob& job, const ToolRun& run, const std::string& requiredAndroid, ISystem& system) {
    if (!run.started) {
        job.Fail("adb.exe无法启动");
    } else if (AdbReportsSuccess(run.output, run.errors)) {
        job.succeeded = true;
    } else {
        job.code = ReadAdbFailure(run.output, run.errors).code;
        job.Fail(Explain(run, requiredAndroid, job, system));
        if (job.code == kDowngradeCode && job.downgrade)
            job.reason = "手机不允许降级安装（Android 10起只有可调试的应用才能降级）";
    }
}

void LearnPhones(Operation& op, const PackageToInstall* package, bool needTraits) {
    const std::string packageName = package != nullptr ? package->packageName : std::string();
    // Both questions go in one shell command where both are asked: on a rack of phones every
    // process adb starts counts.
    const std::string getprop = "getprop";
    const std::string dumpsys = "dumpsys package " + packageName;
    RunStep(
        op,
        [&](PhoneJob& job) {
            std::string command;
            if (!job.knowsItself && !packageName.empty())
                command = "\"" + getprop + "; echo " + kDumpsysMarker + "; " + dumpsys + "\"";
            else if (!job.knowsItself)
                command = getprop;
            else if (!packageName.empty())
                command = dumpsys;
            return command.empty()
                       ? std::vector<std::string>()
                       : std::vector<std::string>{ShellCommandLine(op.tools.exeFolder, command, job.serialArg)};
        },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
            const ToolRun& run = runs.front();
            std::string listing = job.knowsItself ? std::string() : run.output;
            std::string answer = job.knowsItself ? run.output : std::string();
            const std::size_t marker = listing.find(kDumpsysMarker);
            if (marker != std::string::npos) {
                const std::size_t lineEnd = listing.find('\n', marker);
                answer = lineEnd == std::string::npos ? std::string() : listing.substr(lineEnd + 1);
                listing.erase(marker);
            }
            if (!job.knowsItself) {
                const PhoneProfile profile = ReadGetpropListing(listing);
                const bool said = !profile.properties.sdk.empty() || !profile.properties.abiList.empty() ||
                                  !profile.properties.abi.empty() || !PhoneName(profile).empty();
                if (run.started && said) {
                    job.profile = profile;
                    job.knowsItself = true;
                    if (!job.serial.empty())
                        op.tools.known.Remember(job.serial, profile);
                } else if (needTraits) {
                    // The phone said nothing about itself: adb's own error says why.
                    job.Fail(run.started ? Explain(run, package->requiredAndroid, job, op.tools.system)
                                         : std::string("adb.exe无法启动"));
                }
            }
            if (run.started && !packageName.empty())
                job.copy = ReadDumpsysPackage(answer, packageName);
            if (package != nullptr)
                job.copyCase = CompareCopy(job.copy, package->versionCode, package->signer);
        },
        StepNote());
    NamePhones(op);
}

void NamePhones(Operation& op) {
    // Names as the user knows the phones; two alike on a rack are told apart by their serials' ends.
    for (PhoneJob& job : op.jobs) {
        const std::string name = job.knowsItself ? AnsiFromUtf8(PhoneName(job.profile), op.tools.system) : "";
        if (!name.empty())
            job.name = name;
    }
    std::vector<std::string> names;
    for (const PhoneJob& job : op.jobs)
        names.push_back(job.name);
    for (PhoneJob& job : op.jobs) {
        if (std::count(names.begin(), names.end(), job.name) > 1 && job.knowsItself && !job.serial.empty()) {
            const std::string serial = AnsiFromUtf8(job.serial, op.tools.system);
            job.name += "（" + serial.substr(serial.size() > 4 ? serial.size() - 4 : 0) + "）";
        }
    }
}

std::string VersionLabel(const std::string& name, std::int64_t code) {
    if (!name.empty())
        return name;
    return code >= 0 ? "版本号 " + Decimal(code) : std::string("未知");
}

std::string PhoneVersion(const PhoneJob& job, ISystem& system) {
    switch (job.copy.state) {
    case CopyState::NotInstalled:
        return "未安装";
    case CopyState::Installed:
        return VersionLabel(AnsiFromUtf8(job.copy.versionName, system), job.copy.versionCode);
    default:
        return "未知";
    }
}

std::string TookText(const PhoneJob& job, const PackageToInstall& package, ISystem& system) {
    const std::string ours = package.versionName.empty() && package.versionCode < 0
                                 ? std::string()
                                 : " " + VersionLabel(package.versionName, package.versionCode);
    if (job.uninstalled)
        return "已卸载手机上的旧版并安装" + ours;
    switch (job.copyCase) {
    case CopyCase::Upgrade:
        return "已从 " + PhoneVersion(job, system) + " 升级到" + ours;
    case CopyCase::Same:
        return "已重新安装" + ours;
    case CopyCase::Downgrade:
        return "已从 " + PhoneVersion(job, system) + " 降级到" + ours;
    default:
        return "已安装" + ours;
    }
}

bool PhoneIsGone(const ToolRun& run) {
    if (!run.started)
        return false;
    const AdbFailure failure = ReadAdbFailure(run.output, run.errors);
    return failure.code.empty() && (failure.adbMessage.find("not found") != std::string::npos ||
                                    failure.adbMessage.find("no devices") != std::string::npos ||
                                    failure.adbMessage.find("device offline") != std::string::npos);
}

bool AnyGoing(const Operation& op) {
    return std::any_of(op.jobs.begin(), op.jobs.end(), [](const PhoneJob& job) { return job.Going(); });
}

} // namespace phone_steps

#include "device/PhoneOperations.h"

#include "device/AdbReasons.h"
#include "device/Errors.h"
#include "device/PackageOnPhone.h"
#include "device/PathText.h"
#include "device/PhoneSteps.h"
#include "device/ToolCommands.h"
#include "device/Utf8.h"

#include <algorithm>
#include <functional>

const char* const kNoDeviceText = "未连接手机或驱动未安装好。请确认手机已连接上电脑!并安装好正确的驱动！";

using namespace phone_steps;

namespace {

// What a phone is getting, for the note: "升级（手机上为 1.1.0）".
std::string PlanText(const PhoneJob& job, ISystem& system) {
    if (job.replace)
        return "卸载手机上的版本后安装";
    switch (job.copyCase) {
    case CopyCase::NotInstalled:
        return "新安装";
    case CopyCase::Upgrade:
        return "升级（手机上为 " + PhoneVersion(job, system) + "）";
    case CopyCase::Same:
        return "重新安装同一版本";
    case CopyCase::Downgrade:
        return "降级（手机上为更新的 " + PhoneVersion(job, system) + "）";
    case CopyCase::OtherSigner:
        return "手机上的版本签名不同";
    default:
        return std::string();
    }
}

std::string PlanNote(Operation& op) {
    std::string note;
    for (const PhoneJob& job : op.jobs) {
        const std::string plan = job.Going() && job.inRound ? PlanText(job, op.tools.system) : std::string();
        if (!plan.empty())
            note += (note.empty() ? "" : "，") + job.name + " " + plan;
    }
    return note;
}

std::string AppTitle(const PackageToInstall& package) {
    const std::string& title = package.appName.empty() ? package.packageName : package.appName;
    return "“" + title + "”";
}

// Before anything is installed: the phones that have a newer version, then those whose copy is
// signed by someone else, each group in one question. False when the window went meanwhile.
bool AskBeforeInstalling(Operation& op, const PackageToInstall& package) {
    const std::string ours = VersionLabel(package.versionName, package.versionCode);
    std::string newer;
    std::string otherSigner;
    for (const PhoneJob& job : op.jobs) {
        if (!job.Going())
            continue;
        if (job.copyCase == CopyCase::Downgrade)
            newer += "    " + job.name + "：" + PhoneVersion(job, op.tools.system) + "\r\n";
        else if (job.copyCase == CopyCase::OtherSigner)
            otherSigner += "    " + job.name + "（手机上为 " + PhoneVersion(job, op.tools.system) + "）\r\n";
    }
    if (!newer.empty()) {
        const bool yes = op.view.AskDowngrade(
            "以下手机上已装有比这个安装包更新的" + AppTitle(package) + "：\r\n" + newer + "要安装的是较旧的 " + ours +
            "。\r\n\r\n要在这些手机上降级安装吗？应用的数据会保留；若手机不允许降级，Varnel会再问您是否先卸载。");
        if (op.Stopped())
            return false;
        for (PhoneJob& job : op.jobs) {
            if (!job.Going() || job.copyCase != CopyCase::Downgrade)
                continue;
            job.downgrade = yes;
            if (!yes) {
                job.declined = true;
                job.reason = "手机上已有更新的版本 " + PhoneVersion(job, op.tools.system) + "，按您的选择没有降级";
            }
        }
    }
    if (!otherSigner.empty()) {
        const bool yes =
            op.view.AskReplace("以下手机上已装有" + AppTitle(package) +
                               "，但签名与这个安装包不同（常见于从其他应用商店安装的版本）：\r\n" + otherSigner +
                               "只有先卸载手机上的版本才能安装。\r\n\r\n" + kDataWarning + "\r\n要卸载并安装吗？");
        if (op.Stopped())
            return false;
        for (PhoneJob& job : op.jobs) {
            if (!job.Going() || job.copyCase != CopyCase::OtherSigner)
                continue;
            job.replace = yes;
            if (!yes) {
                job.declined = true;
                job.reason = "手机上的版本签名不同，按您的选择没有卸载";
            }
        }
    }
    return true;
}

// After an install round: the phones whose copy only an uninstall gets out of the way (a refused
// downgrade, another signer) are put to the user once, together. True when some are to go again.
bool AskAfterRefusals(Operation& op, const PackageToInstall& package) {
    std::string refused;
    for (const PhoneJob& job : op.jobs) {
        if (job.failed && job.inRound && !job.replace && (job.code == kDowngradeCode || job.code == kIncompatibleCode))
            refused += "    " + job.name + "：" + job.reason + "\r\n";
    }
    if (refused.empty() || package.packageName.empty())
        return false;
    const bool yes = op.view.AskReplace("以下手机没有装上" + AppTitle(package) + "：\r\n" + refused +
                                        "先卸载手机上的版本，就能安装这个版本。\r\n\r\n" + kDataWarning +
                                        "\r\n要卸载并重新安装吗？");
    if (op.Stopped() || !yes)
        return false;
    for (PhoneJob& job : op.jobs) {
        const bool again =
            job.failed && job.inRound && !job.replace && (job.code == kDowngradeCode || job.code == kIncompatibleCode);
        job.inRound = again;
        if (again) {
            job.failed = false;
            job.reason.clear();
            job.code.clear();
            job.replace = true;
            job.downgrade = false;
        }
    }
    return true;
}

// One round for the phones in it: their copies uninstalled where the user allowed it, then
// `prepare` (a split package's data files), then the install.
void InstallRound(Operation& op, const PackageToInstall& package, const std::function<void()>& prepare,
                  const std::function<std::string(PhoneJob&)>& installCommand) {
    ISystem& system = op.tools.system;
    RunStep(
        op,
        [&](PhoneJob& job) {
            if (!job.inRound || !job.replace || job.uninstalled)
                return std::vector<std::string>();
            return std::vector<std::string>{
                UninstallCommandLine(op.tools.exeFolder, package.packageName, job.serialArg)};
        },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
            const ToolRun& run = runs.front();
            if (run.started && AdbReportsSuccess(run.output, run.errors)) {
                job.uninstalled = true;
                return;
            }
            job.Fail("没能卸载手机上的版本（" +
                     (run.started ? Explain(run, std::string(), job, system) : std::string("adb.exe无法启动")) +
                     "），它仍留在手机上，没有安装");
        },
        StepNote{true, false, std::string()});
    if (op.Stopped())
        return;
    prepare();
    if (op.Stopped())
        return;
    RunStep(
        op,
        [&](PhoneJob& job) {
            return job.inRound ? std::vector<std::string>{installCommand(job)} : std::vector<std::string>();
        },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
            JudgeOutcome(job, runs.front(), package.requiredAndroid, system);
        },
        StepNote{true, true, PlanNote(op)});
}

// The outcome in the status line, the note beside it and, for an install, the table. Returns true
// when every phone listed took it.
bool Report(Operation& op, const Targets& targets, const OperationTexts& texts, const PackageToInstall* package) {
    ISystem& system = op.tools.system;
    InstallResults results;
    std::size_t succeeded = 0;
    std::size_t declined = 0;
    const PhoneJob* firstProblem = nullptr;
    std::vector<std::string> tookNames;
    std::vector<PhoneJob> all = op.jobs;
    for (const Phone& phone : targets.unready) {
        PhoneJob job;
        job.serial = phone.serial;
        job.name = SerialName(phone.serial, system);
        if (const PhoneProfile* known = op.tools.known.Find(phone.serial))
            job.name = AnsiFromUtf8(PhoneName(*known), system);
        job.Fail(StateText(ClassifyState(phone.state), phone.state));
        job.code = "unready";
        all.push_back(job);
    }
    for (const PhoneJob& job : all) {
        if (job.succeeded) {
            ++succeeded;
            tookNames.push_back(job.name);
        } else {
            declined += job.declined ? 1 : 0;
            // A refusal says more than a choice the user made.
            if (firstProblem == nullptr || (firstProblem->declined && job.failed))
                firstProblem = &job;
        }
        const std::string serial = AnsiFromUtf8(job.serial, system);
        results.details += job.name + (job.name.find(serial) != std::string::npos ? "" : "（" + serial + "）") + "：" +
                           (job.succeeded ? std::string("成功") : job.reason) + "\r\n" + job.details + "\r\n";
        if (package == nullptr)
            continue;
        PhoneResult row;
        row.name = job.name;
        row.serial = serial;
        // Opening goes by serial even where the install let adb pick: more phones may come meanwhile.
        if (!job.serial.empty())
            SerialArgument(job.serial, system, row.adbSerial);
        row.before = job.code == "unready" ? std::string("—") : PhoneVersion(job, system);
        row.took = job.succeeded;
        row.after = job.succeeded     ? VersionLabel(package->versionName, package->versionCode)
                    : job.uninstalled ? std::string("未安装")
                                      : row.before;
        row.result = job.succeeded ? "成功" : job.declined ? "未安装" : job.code == "unready" ? "未就绪" : "失败";
        row.reason = job.succeeded ? TookText(job, *package, system) : job.reason;
        results.rows.push_back(row);
    }
    if (package != nullptr) {
        results.packageName = package->packageName;
        results.launchableActivity = package->launchableActivity;
        op.view.ShowResults(results);
    }
    const std::size_t notServed = all.size() - succeeded;
    if (firstProblem == nullptr) {
        op.view.ShowStatus(texts.succeeded, texts.successColor);
        // After an install the note stays, as the way to the table; after an uninstall it goes.
        std::string note;
        if (package != nullptr)
            note = all.size() == 1
                       ? all.front().name + "：" + TookText(all.front(), *package, system)
                       : "已装到 " + Decimal(static_cast<std::int64_t>(succeeded)) + " 台手机：" + JoinNames(tookNames);
        op.view.ShowReason(note, results.details);
        return true;
    }
    if (declined == notServed) {
        // Nothing refused: the phones left out are the ones the user chose to leave alone.
        op.view.ShowStatus(succeeded > 0 ? texts.succeeded : "没有安装：已按您的选择保留手机上的版本。",
                           succeeded > 0 ? texts.successColor : StatusColor::WindowText);
    } else {
        op.view.ShowStatus(texts.failed, StatusColor::Red);
    }
    std::string reason = firstProblem->reason;
    if (all.size() > 1) {
        reason = Decimal(static_cast<std::int64_t>(succeeded)) + " 台成功，" +
                 Decimal(static_cast<std::int64_t>(notServed)) + (declined == notServed ? " 台未安装：" : " 台失败：") +
                 firstProblem->name + " " + reason;
    }
    op.view.ShowReason(reason, results.details);
    return false;
}

// The part a plain package and a split one share once the phones are known and the user has
// answered: the rounds, the question after refusals, and the report. `prepare` readies the round's files;
// `installCommand` is a phone's install.
void InstallOnPhones(Operation& op, const Targets& targets, const PackageToInstall& package,
                     const std::function<void()>& prepare,
                     const std::function<std::string(PhoneJob&)>& installCommand) {
    for (PhoneJob& job : op.jobs)
        job.inRound = job.Going();
    if (AnyGoing(op)) {
        InstallRound(op, package, prepare, installCommand);
        if (op.Stopped())
            return;
        if (AskAfterRefusals(op, package)) {
            InstallRound(op, package, prepare, installCommand);
            if (op.Stopped())
                return;
        }
    }
    if (Report(op, targets, kInstallTexts, &package))
        op.view.InstallSucceeded();
}

// A component for `am start -n`, quoted for the phone's shell when it holds more than a class
// name's usual characters ('$' of an inner class). Empty when it holds what no class name holds.
std::string ComponentArgument(const std::string& packageName, const std::string& activity) {
    std::string name = activity;
    if (!name.empty() && name[0] == '.')
        name = packageName + name;
    const std::string component = packageName + "/" + name;
    bool plain = true;
    for (char c : component) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '_' || c == '/';
        if (c == '$')
            plain = false;
        else if (!word)
            return std::string();
    }
    return plain ? component : "'" + component + "'";
}

} // namespace

bool InstallResults::AnyTook() const {
    return std::any_of(rows.begin(), rows.end(), [](const PhoneResult& row) { return row.took; });
}

std::string ResultsText(const InstallResults& results) {
    const bool packages = results.ManyPackages();
    std::string text = std::string(packages ? "安装包\t" : "") + "手机\t序列号\t原版本\t现版本\t结果\t原因\r\n";
    for (const PhoneResult& row : results.rows) {
        text += (packages ? row.package + "\t" : std::string()) + row.name + "\t" + row.serial + "\t" + row.before +
                "\t" + row.after + "\t" + row.result + "\t" + row.reason + "\r\n";
    }
    return text;
}

bool InstallResults::ManyPackages() const {
    return std::any_of(rows.begin(), rows.end(), [](const PhoneResult& row) { return !row.package.empty(); });
}

const PhoneProfile* KnownPhones::Find(const std::string& serial) const {
    const auto found = phones_.find(serial);
    return found == phones_.end() ? nullptr : &found->second;
}

void KnownPhones::Remember(const std::string& serial, const PhoneProfile& profile) {
    phones_[serial] = profile;
}

void KnownPhones::KeepOnly(const std::vector<std::string>& listed) {
    for (auto it = phones_.begin(); it != phones_.end();) {
        if (std::find(listed.begin(), listed.end(), it->first) == listed.end())
            it = phones_.erase(it);
        else
            ++it;
    }
}

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

void InstallPackage(const PackageToInstall& package, PhoneTools& tools, IPhoneView& view) {
    Targets targets;
    if (!FindTargets(package.file, kInstallTexts, tools, view, targets))
        return;

    // The package the install goes on with is fixed now: a package chosen meanwhile doesn't change it.
    const PackageToInstall fixed = package;
    TempCopy tempCopy(tools.system);
    Busy busy(view);

    std::string installPath = fixed.file;
    // adb can't take a file name with double-byte characters: it installs a copy with a plain name.
    ISystem& system = tools.system;
    const LeadByteTest isLeadByte = [&system](unsigned char byte) { return system.IsLeadByte(byte); };
    if (HasDoubleByteChars(ExtractFileName(fixed.file, isLeadByte), system)) {
        const std::string tempApkPath = MakeTempApkPath(system);
        if (tempApkPath.empty()) {
            view.ShowStatus(kInstallTexts.failed, StatusColor::Red);
            view.ShowReason("没有可用的临时文件夹，无法复制中文名的安装包", std::string());
            return;
        }
        tempCopy.Own(tempApkPath);
        system.CopyNewFile(fixed.file, tempApkPath);
        installPath = tempApkPath;
    }
    Operation op{tools, view, MakeJobs(targets, tools), RunClock()};
    LearnPhones(op, &fixed, false);
    if (op.Stopped())
        return;
    if (!AskBeforeInstalling(op, fixed))
        return;
    InstallOnPhones(
        op, targets, fixed, [] {},
        [&](PhoneJob& job) { return InstallCommandLine(tools.exeFolder, installPath, job.serialArg, job.downgrade); });
}

void UninstallPackage(const std::string& packageName, PhoneTools& tools, IPhoneView& view) {
    Targets targets;
    if (!FindTargets(packageName, kUninstallTexts, tools, view, targets))
        return;

    const std::string name = packageName;
    Busy busy(view);
    Operation op{tools, view, MakeJobs(targets, tools), RunClock()};
    LearnPhones(op, nullptr, false);
    if (op.Stopped())
        return;
    RunStep(
        op,
        [&](PhoneJob& job) {
            return std::vector<std::string>{UninstallCommandLine(tools.exeFolder, name, job.serialArg)};
        },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
            JudgeOutcome(job, runs.front(), std::string(), tools.system);
        },
        StepNote{true, false, std::string()});
    if (op.Stopped())
        return;
    Report(op, targets, kUninstallTexts, nullptr);
    view.ShowDriverHint(false);
}

void InstallSplitPackage(const PackageToInstall& package, ISplitPackage& pieces, PhoneTools& tools, IPhoneView& view) {
    Targets targets;
    if (!FindTargets(package.file, kInstallTexts, tools, view, targets))
        return;
    Busy busy(view);
    const PackageToInstall fixed = package;
    ISystem& system = tools.system;
    Operation op{tools, view, MakeJobs(targets, tools), RunClock()};

    // What each phone is (the pieces depend on it) and what it has.
    LearnPhones(op, &fixed, true);
    if (op.Stopped())
        return;
    std::vector<SplitChoice> choices(op.jobs.size());
    for (std::size_t i = 0; i < op.jobs.size(); ++i) {
        PhoneJob& job = op.jobs[i];
        if (!job.Going())
            continue;
        choices[i] = ChooseSplits(pieces.Splits(), pieces.Standalones(), ReadPhoneTraits(job.profile.properties));
        if (choices[i].outcome == ChoiceOutcome::TooOld)
            job.Fail(kTooOldForSplitsText);
        else if (choices[i].outcome == ChoiceOutcome::NoMatchingAbi)
            job.Fail(kNoMatchingAbiText);
    }
    // Asked before the pieces come out, which takes a while for a large bundle.
    if (!AskBeforeInstalling(op, fixed))
        return;

    // The pieces out of the bundle, once for all phones, before anything reaches a phone: a bundle
    // that can't be installed as it is stops here.
    std::vector<ISplitPackage::Obb> obbs;
    try {
        for (std::size_t i = 0; i < op.jobs.size(); ++i) {
            if (op.jobs[i].Going())
                op.jobs[i].files = pieces.Files(choices[i].names);
            if (op.Stopped())
                return;
        }
        if (AnyGoing(op))
            obbs = pieces.ObbFiles();
    } catch (const VarnelError& error) {
        if (op.Stopped())
            return;
        view.ShowStatus(kInstallTexts.failed, StatusColor::Red);
        view.ShowReason(error.what(), error.what());
        return;
    }
    if (op.Stopped())
        return;

    // The expansion files go where the game looks for them, before the game itself, and again
    // after an uninstall, which takes them away.
    const auto pushObbs = [&] {
        if (obbs.empty())
            return;
        const std::string folder = "/sdcard/Android/obb/" + pieces.PackageName();
        RunStep(
            op,
            [&](PhoneJob& job) {
                return job.inRound ? std::vector<std::string>{ShellCommandLine(tools.exeFolder, "mkdir -p " + folder,
                                                                               job.serialArg)}
                                   : std::vector<std::string>();
            },
            [](PhoneJob&, const std::vector<ToolRun>&) {}, StepNote());
        if (op.Stopped())
            return;
        RunStep(
            op,
            [&](PhoneJob& job) {
                std::vector<std::string> commands;
                for (const auto& obb : obbs) {
                    if (job.inRound)
                        commands.push_back(
                            PushCommandLine(tools.exeFolder, obb.file, "/sdcard/" + obb.phonePath, job.serialArg));
                }
                return commands;
            },
            [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
                for (const ToolRun& run : runs) {
                    if (!run.started || run.output.find("pushed") == std::string::npos) {
                        job.Fail("数据文件（OBB）没能传到手机上：" + Explain(run, fixed.requiredAndroid, job, system));
                        return;
                    }
                }
            },
            StepNote());
    };
    InstallOnPhones(op, targets, fixed, pushObbs, [&](PhoneJob& job) {
        return job.files.size() == 1
                   ? InstallCommandLine(tools.exeFolder, job.files.front(), job.serialArg, job.downgrade)
                   : InstallMultipleCommandLine(tools.exeFolder, job.files, job.serialArg, job.downgrade);
    });
}

void OpenInstalledApp(const InstallResults& installed, PhoneTools& tools, IPhoneView& view) {
    if (installed.packageName.empty() || !installed.AnyTook())
        return;
    const InstallResults fixed = installed;
    view.ShowReason(std::string(), std::string());
    view.ShowStatus("正在手机上打开应用...", StatusColor::WindowText);
    Busy busy(view);
    Operation op{tools, view, {}, RunClock()};
    for (const PhoneResult& row : fixed.rows) {
        if (!row.took)
            continue;
        PhoneJob job;
        job.name = row.name;
        job.serialArg = row.adbSerial;
        op.jobs.push_back(job);
    }
    const std::string component = ComponentArgument(fixed.packageName, fixed.launchableActivity);
    const std::string monkey = "monkey -p " + fixed.packageName + " -c android.intent.category.LAUNCHER 1";
    // `am start` names its own failures ("Error type 3") even where its exit code says nothing.
    bool viaMonkey = component.empty();
    for (int attempt = 0; attempt < 2 && AnyGoing(op); ++attempt, viaMonkey = true) {
        const bool last = viaMonkey;
        RunStep(
            op,
            [&](PhoneJob& job) {
                return std::vector<std::string>{
                    ShellCommandLine(tools.exeFolder, viaMonkey ? monkey : "am start -n " + component, job.serialArg)};
            },
            [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
                const ToolRun& run = runs.front();
                const bool opened = viaMonkey ? run.output.find("Events injected: 1") != std::string::npos
                                              : run.output.find("Starting: Intent") != std::string::npos &&
                                                    run.output.find("Error") == std::string::npos &&
                                                    run.errors.find("Error") == std::string::npos;
                if (opened) {
                    job.succeeded = true;
                } else if (last) {
                    if (!run.started)
                        job.Fail("adb.exe无法启动");
                    else if (run.output.find("No activities found") != std::string::npos)
                        job.Fail("手机上找不到这个应用的启动界面");
                    else if (run.output.find("monkey aborted") != std::string::npos ||
                             run.output.find("Error") != std::string::npos)
                        job.Fail("手机没能打开这个应用");
                    else
                        job.Fail(Explain(run, std::string(), job, tools.system));
                }
            },
            StepNote{true, false, std::string()});
        if (op.Stopped())
            return;
    }
    std::size_t opened = 0;
    const PhoneJob* firstFailure = nullptr;
    std::string details;
    for (const PhoneJob& job : op.jobs) {
        opened += job.succeeded ? 1 : 0;
        if (!job.succeeded && firstFailure == nullptr)
            firstFailure = &job;
        details +=
            job.name + "：" + (job.succeeded ? std::string("已打开") : job.reason) + "\r\n" + job.details + "\r\n";
    }
    details += "\r\n" + fixed.details;
    if (firstFailure == nullptr) {
        view.ShowStatus("已在手机上打开应用。", StatusColor::WindowText);
        std::vector<std::string> names;
        for (const PhoneJob& job : op.jobs)
            names.push_back(job.name);
        view.ShowReason("已打开：" + JoinNames(names), details);
        return;
    }
    view.ShowStatus("应用没能在每台手机上打开。", StatusColor::Red);
    std::string reason = firstFailure->name + " " + firstFailure->reason;
    if (op.jobs.size() > 1)
        reason = Decimal(static_cast<std::int64_t>(opened)) + " 台已打开，" +
                 Decimal(static_cast<std::int64_t>(op.jobs.size() - opened)) + " 台失败：" + reason;
    view.ShowReason(reason, details);
}

#include "device/ShelfRun.h"

#include "device/AdbReasons.h"
#include "device/Errors.h"
#include "device/PackageOnPhone.h"
#include "device/PathText.h"
#include "device/PhoneSteps.h"
#include "device/ToolCommands.h"
#include "device/Utf8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

using namespace phone_steps;

namespace {

// Where one package's dumpsys answer begins in a phone's output; its index follows.
const char* const kPackageMarker = "VARNEL:PACKAGE:";
// A phone's shell command is kept well below what a Windows command line holds.
constexpr std::size_t kShellCommandLimit = 6000;
// A question names at most this many cases; the rest are counted.
constexpr std::size_t kQuestionLines = 10;
// An install still going after this long is most likely waiting for a tap on the phone's screen.
constexpr unsigned kScreenWaitMs = 5000;

const char* const kForAll = "（对所有同类情况都这样处理）";
const char* const kGoneText = "手机已断开连接，没有安装";

std::string Count(std::size_t value) { return Decimal(static_cast<std::int64_t>(value)); }

// The run: the list's installable packages, the phones, and a job for each package on each phone.
struct ShelfRun {
    Operation op;
    const std::vector<ShelfPackage>& shelf;
    std::vector<std::size_t> going;          // indices into `shelf` of the packages the run takes
    std::vector<std::vector<PhoneJob>> cells; // [package of `going`][phone]
    std::vector<std::vector<std::string>> pieceNames;
    std::vector<std::vector<ISplitPackage::Obb>> obbs;
    std::vector<std::string> copies; // the plain-named copy of a package, once made
    std::vector<std::unique_ptr<TempCopy>> tempCopies;

    const ShelfPackage& Package(std::size_t k) const { return shelf[going[k]]; }
    ISystem& System() { return op.tools.system; }
    bool Stopped() { return op.Stopped(); }
};

// Asks every phone, at once, what it is (unless it said so already) and what it has of each
// package, in as few shell commands as the command line allows.
void LearnShelf(ShelfRun& run) {
    std::vector<std::string> names;
    std::map<std::string, std::size_t> nameIndex;
    for (std::size_t k = 0; k < run.going.size(); ++k) {
        const std::string& name = run.Package(k).package.packageName;
        if (!name.empty() && nameIndex.emplace(name, names.size()).second)
            names.push_back(name);
    }
    std::vector<std::map<std::string, PackageOnPhone>> found(run.op.jobs.size());
    RunStep(
        run.op,
        [&](PhoneJob& job) {
            std::vector<std::string> parts;
            if (!job.knowsItself)
                parts.push_back("getprop");
            for (std::size_t i = 0; i < names.size(); ++i)
                parts.push_back("echo " + std::string(kPackageMarker) + Count(i) + "; dumpsys package " + names[i]);
            std::vector<std::string> commands;
            std::string command;
            for (const std::string& part : parts) {
                if (!command.empty() && command.size() + part.size() > kShellCommandLimit) {
                    commands.push_back(command);
                    command.clear();
                }
                command += (command.empty() ? "" : "; ") + part;
            }
            if (!command.empty())
                commands.push_back(command);
            for (std::string& each : commands) {
                const bool several = each.find(';') != std::string::npos;
                each = ShellCommandLine(run.op.tools.exeFolder, several ? "\"" + each + "\"" : each, job.serialArg);
            }
            return commands;
        },
        [&](PhoneJob& job, const std::vector<ToolRun>& runs) {
            std::string all;
            bool started = true;
            for (const ToolRun& each : runs) {
                all += each.output;
                started = started && each.started;
            }
            const std::size_t first = all.find(kPackageMarker);
            if (!job.knowsItself && started) {
                const PhoneProfile profile = ReadGetpropListing(all.substr(0, first));
                if (!profile.properties.sdk.empty() || !profile.properties.abiList.empty() ||
                    !profile.properties.abi.empty() || !PhoneName(profile).empty()) {
                    job.profile = profile;
                    job.knowsItself = true;
                    if (!job.serial.empty())
                        run.op.tools.known.Remember(job.serial, profile);
                }
            }
            const std::size_t phone = static_cast<std::size_t>(&job - run.op.jobs.data());
            const std::size_t markerLength = std::strlen(kPackageMarker);
            for (std::size_t at = first; at != std::string::npos;) {
                const std::size_t lineEnd = all.find('\n', at);
                const std::size_t next = all.find(kPackageMarker, at + markerLength);
                const unsigned long index = std::strtoul(all.c_str() + at + markerLength, nullptr, 10);
                if (index < names.size() && lineEnd != std::string::npos && lineEnd < next) {
                    const std::size_t length = next == std::string::npos ? next : next - lineEnd - 1;
                    found[phone][names[index]] = ReadDumpsysPackage(all.substr(lineEnd + 1, length), names[index]);
                }
                at = next;
            }
        },
        StepNote());
    NamePhones(run.op);
    // Each package on each phone starts as the phone's job, with what the phone has of it.
    run.cells.assign(run.going.size(), run.op.jobs);
    for (std::size_t k = 0; k < run.going.size(); ++k) {
        const PackageToInstall& package = run.Package(k).package;
        for (std::size_t j = 0; j < run.op.jobs.size(); ++j) {
            PhoneJob& cell = run.cells[k][j];
            cell.details.clear();
            const auto copy = found[j].find(package.packageName);
            if (copy != found[j].end())
                cell.copy = copy->second;
            cell.copyCase = CompareCopy(cell.copy, package.versionCode, package.signer);
        }
    }
}

// "    vivo X100：微信（手机上为 8.1.0）" lines, at most kQuestionLines of them.
std::string CaseLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < kQuestionLines; ++i)
        text += "    " + lines[i] + "\r\n";
    if (lines.size() > kQuestionLines)
        text += "    ……等共 " + Count(lines.size()) + " 处\r\n";
    return text;
}

// Picks the package-on-phone cases a question is about; `k` is the package's place in the run.
using Affected = std::function<bool(std::size_t k, const PhoneJob&)>;

// "3 台手机、2 个应用"
std::string Extent(ShelfRun& run, const Affected& affected) {
    std::vector<bool> phones(run.op.jobs.size());
    std::size_t packages = 0;
    for (std::size_t k = 0; k < run.cells.size(); ++k) {
        bool any = false;
        for (std::size_t j = 0; j < run.cells[k].size(); ++j) {
            if (affected(k, run.cells[k][j]))
                any = phones[j] = true;
        }
        packages += any ? 1 : 0;
    }
    return Count(static_cast<std::size_t>(std::count(phones.begin(), phones.end(), true))) + " 台手机、" +
           Count(packages) + " 个应用";
}

std::string Title(const ShelfPackage& package) {
    const PackageToInstall& facts = package.package;
    if (!package.label.empty())
        return package.label;
    return facts.appName.empty() ? facts.packageName : facts.appName;
}

// Puts one question for every cell `affected` picks, and applies the answer to all of them.
// False when the window went meanwhile.
bool AskOnce(ShelfRun& run, const Affected& affected,
             const std::function<std::string(std::size_t k, const PhoneJob&)>& line,
             const std::function<bool(const std::string& cases, const std::string& extent)>& ask,
             const std::function<void(PhoneJob&, bool yes)>& apply) {
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < run.cells.size(); ++k) {
        for (const PhoneJob& cell : run.cells[k]) {
            if (affected(k, cell))
                lines.push_back(line(k, cell));
        }
    }
    if (lines.empty())
        return true;
    const std::string extent = Extent(run, affected);
    const bool yes = ask(CaseLines(lines), extent);
    if (run.Stopped())
        return false;
    for (std::size_t k = 0; k < run.cells.size(); ++k) {
        for (PhoneJob& cell : run.cells[k]) {
            if (affected(k, cell))
                apply(cell, yes);
        }
    }
    return true;
}

// Before anything is installed: the packages that failed their signature check, the phones that
// have a newer version, the phones whose copy another signer signed; each kind one question.
bool AskBeforeShelf(ShelfRun& run) {
    ISystem& system = run.System();
    IPhoneView& view = run.op.view;
    // A package the signature check found not intact is named once, whatever the phones.
    std::vector<std::string> flaggedNames;
    for (std::size_t k = 0; k < run.going.size(); ++k) {
        if (run.Package(k).notIntact)
            flaggedNames.push_back(Title(run.Package(k)));
    }
    const Affected flagged = [&](std::size_t k, const PhoneJob& cell) { return run.Package(k).notIntact && cell.Going(); };
    if (!flaggedNames.empty()) {
        const bool yes = view.AskNotIntact("以下安装包没有通过签名检查（可能被改动过，或没有签名）：\r\n" +
                                           CaseLines(flaggedNames) + "涉及 " + Extent(run, flagged) +
                                           "。\r\n\r\n仍要把它们装到手机上吗？\r\n" + kForAll);
        if (run.Stopped())
            return false;
        for (std::size_t k = 0; k < run.cells.size(); ++k) {
            for (PhoneJob& cell : run.cells[k]) {
                if (!yes && flagged(k, cell)) {
                    cell.declined = true;
                    cell.reason = "安装包没有通过签名检查，按您的选择没有安装";
                }
            }
        }
    }
    const Affected newer = [](std::size_t, const PhoneJob& cell) {
        return cell.Going() && cell.copyCase == CopyCase::Downgrade;
    };
    if (!AskOnce(
            run, newer,
            [&](std::size_t k, const PhoneJob& cell) {
                return cell.name + "：" + Title(run.Package(k)) + "（手机上为更新的 " + PhoneVersion(cell, system) + "）";
            },
            [&](const std::string& cases, const std::string& extent) {
                return view.AskDowngrade("以下手机上已装有比安装包更新的版本（" + extent + "）：\r\n" + cases +
                                         "\r\n要在这些手机上降级安装吗？应用的数据会保留；若手机不允许降级，Varnel"
                                         "会再问您是否先卸载。\r\n" +
                                         kForAll);
            },
            [&](PhoneJob& cell, bool yes) {
                cell.downgrade = yes;
                if (!yes) {
                    cell.declined = true;
                    cell.reason = "手机上已有更新的版本 " + PhoneVersion(cell, system) + "，按您的选择没有降级";
                }
            }))
        return false;
    const Affected otherSigner = [](std::size_t, const PhoneJob& cell) {
        return cell.Going() && cell.copyCase == CopyCase::OtherSigner;
    };
    return AskOnce(
        run, otherSigner,
        [&](std::size_t k, const PhoneJob& cell) {
            return cell.name + "：" + Title(run.Package(k)) + "（手机上为 " + PhoneVersion(cell, system) + "）";
        },
        [&](const std::string& cases, const std::string& extent) {
            return view.AskReplace("以下手机上的版本与安装包的签名不同（" + extent +
                                   "，常见于从其他应用商店安装的版本）：\r\n" + cases +
                                   "只有先卸载手机上的版本才能安装。\r\n\r\n" + kDataWarning + "\r\n要卸载并安装吗？\r\n" +
                                   kForAll);
        },
        [](PhoneJob& cell, bool yes) {
            cell.replace = yes;
            if (!yes) {
                cell.declined = true;
                cell.reason = "手机上的版本签名不同，按您的选择没有卸载";
            }
        });
}

// A bundle's pieces for each phone, chosen and taken out before anything reaches a phone. A bundle
// that can't be installed as it is fails on every phone; the other packages go on.
void PreparePieces(ShelfRun& run) {
    run.pieceNames.assign(run.going.size(), {});
    run.obbs.assign(run.going.size(), {});
    for (std::size_t k = 0; k < run.going.size() && !run.Stopped(); ++k) {
        ISplitPackage* pieces = run.Package(k).pieces;
        if (pieces == nullptr)
            continue;
        try {
            for (PhoneJob& cell : run.cells[k]) {
                if (!cell.Going())
                    continue;
                if (!cell.knowsItself) {
                    cell.Fail("手机没有说明它的处理器和系统版本，无法为它挑选安装包组中的APK");
                    continue;
                }
                const SplitChoice choice =
                    ChooseSplits(pieces->Splits(), pieces->Standalones(), ReadPhoneTraits(cell.profile.properties));
                if (choice.outcome == ChoiceOutcome::TooOld)
                    cell.Fail(kTooOldForSplitsText);
                else if (choice.outcome == ChoiceOutcome::NoMatchingAbi)
                    cell.Fail(kNoMatchingAbiText);
                else
                    cell.files = pieces->Files(choice.names);
                if (run.Stopped())
                    return;
            }
            if (std::any_of(run.cells[k].begin(), run.cells[k].end(), [](const PhoneJob& c) { return c.Going(); }))
                run.obbs[k] = pieces->ObbFiles();
        } catch (const VarnelError& error) {
            for (PhoneJob& cell : run.cells[k]) {
                if (cell.Going())
                    cell.Fail(error.what());
            }
        }
    }
}

// The file a package is installed from when its turn comes: the package itself, or a copy with a
// plain name for adb, made on first need. Empty, with the cell failed, when the file has gone.
std::string TurnFile(ShelfRun& run, std::size_t k, PhoneJob& cell) {
    ISystem& system = run.System();
    const std::string& file = run.Package(k).package.file;
    if (!run.copies[k].empty() && system.FileExists(run.copies[k]))
        return run.copies[k];
    if (!system.FileExists(file)) {
        cell.Fail("安装包文件已不存在（被移动、改名或删除）：" + file);
        return std::string();
    }
    const LeadByteTest isLeadByte = [&system](unsigned char byte) { return system.IsLeadByte(byte); };
    if (!HasDoubleByteChars(ExtractFileName(file, isLeadByte), system))
        return file;
    const std::string copy = MakeTempApkPath(system);
    if (copy.empty() || !system.CopyNewFile(file, copy)) {
        cell.Fail("无法复制中文名的安装包到临时文件夹");
        return std::string();
    }
    run.tempCopies.push_back(std::make_unique<TempCopy>(system));
    run.tempCopies.back()->Own(copy);
    run.copies[k] = copy;
    return copy;
}

// One step of a package's turn on a phone.
enum class StepKind { Uninstall, MakeObbFolder, PushObb, Install, Remove };
struct LaneStep {
    StepKind kind;
    std::string command;
};

std::vector<LaneStep> TurnSteps(ShelfRun& run, std::size_t k, PhoneJob& cell, bool removing) {
    const std::string& folder = run.op.tools.exeFolder;
    const ShelfPackage& package = run.Package(k);
    if (removing)
        return {{StepKind::Remove, UninstallCommandLine(folder, package.package.packageName, cell.serialArg)}};
    std::vector<LaneStep> steps;
    if (cell.replace && !cell.uninstalled)
        steps.push_back({StepKind::Uninstall, UninstallCommandLine(folder, package.package.packageName, cell.serialArg)});
    if (package.pieces == nullptr) {
        const std::string file = TurnFile(run, k, cell);
        if (file.empty())
            return {};
        steps.push_back({StepKind::Install, InstallCommandLine(folder, file, cell.serialArg, cell.downgrade)});
        return steps;
    }
    for (const std::string& file : cell.files) {
        if (!run.System().FileExists(file)) {
            cell.Fail("安装包组取出的APK已不存在，请重新添加这个安装包组");
            return {};
        }
    }
    if (!run.obbs[k].empty()) {
        steps.push_back({StepKind::MakeObbFolder,
                         ShellCommandLine(folder, "mkdir -p /sdcard/Android/obb/" + package.pieces->PackageName(),
                                          cell.serialArg)});
        for (const ISplitPackage::Obb& obb : run.obbs[k])
            steps.push_back(
                {StepKind::PushObb, PushCommandLine(folder, obb.file, "/sdcard/" + obb.phonePath, cell.serialArg)});
    }
    steps.push_back({StepKind::Install, cell.files.size() == 1
                                            ? InstallCommandLine(folder, cell.files.front(), cell.serialArg, cell.downgrade)
                                            : InstallMultipleCommandLine(folder, cell.files, cell.serialArg,
                                                                         cell.downgrade)});
    return steps;
}

// Each phone works through its packages in list order, one at a time, every phone at once.
void RunLanes(ShelfRun& run, bool removing) {
    struct Lane {
        std::vector<std::size_t> queue; // packages (of `going`) this phone takes in this round
        std::size_t at = 0;
        std::vector<LaneStep> steps;
        std::size_t step = 0;
        unsigned since = 0; // when its current tool started
    };
    const std::size_t phones = run.op.jobs.size();
    std::vector<Lane> lanes(phones);
    for (std::size_t j = 0; j < phones; ++j) {
        for (std::size_t k = 0; k < run.cells.size(); ++k) {
            if (run.cells[k][j].inRound && run.cells[k][j].Going())
                lanes[j].queue.push_back(k);
        }
    }
    unsigned now = run.op.clock.before;
    ISystem& system = run.System();
    const auto showProgress = [&] {
        if (run.Stopped())
            return;
        std::size_t lowest = run.cells.size();
        std::size_t done = 0;
        std::vector<std::string> waiting;
        for (std::size_t j = 0; j < phones; ++j) {
            const Lane& lane = lanes[j];
            if (lane.at >= lane.queue.size()) {
                ++done;
                continue;
            }
            lowest = std::min(lowest, lane.queue[lane.at]);
            if (lane.step < lane.steps.size() && lane.steps[lane.step].kind == StepKind::Install &&
                now - lane.since >= kScreenWaitMs)
                waiting.push_back(run.op.jobs[j].name);
        }
        std::string text = ShelfProgressText(std::min(lowest + 1, run.cells.size()), run.cells.size(), done, phones);
        if (!waiting.empty())
            text += "；请看手机屏幕，如有提示请点“允许”或“继续安装”：" + JoinNames(waiting);
        run.op.view.ShowReason(text, std::string());
    };
    const auto next = [&](std::size_t j, ToolRun& tool) {
        Lane& lane = lanes[j];
        while (lane.at < lane.queue.size()) {
            PhoneJob& cell = run.cells[lane.queue[lane.at]][j];
            if (lane.step == 0 && lane.steps.empty() && cell.Going())
                lane.steps = TurnSteps(run, lane.queue[lane.at], cell, removing);
            if (cell.Going() && lane.step < lane.steps.size()) {
                tool.commandLine = lane.steps[lane.step].command;
                lane.since = now;
                return true;
            }
            ++lane.at;
            lane.steps.clear();
            lane.step = 0;
        }
        return false;
    };
    const auto ended = [&](std::size_t j, const ToolRun& tool) {
        Lane& lane = lanes[j];
        PhoneJob& cell = run.cells[lane.queue[lane.at]][j];
        const PackageToInstall& package = run.Package(lane.queue[lane.at]).package;
        cell.details += tool.commandLine + "\r\n" + AnsiFromUtf8(tool.output, system) + AnsiFromUtf8(tool.errors, system);
        const StepKind kind = lane.steps[lane.step].kind;
        ++lane.step;
        if (PhoneIsGone(tool)) {
            // A phone that has gone takes nothing more; the others go on.
            cell.Fail(Explain(tool, std::string(), cell, system));
            for (std::size_t rest = lane.at + 1; rest < lane.queue.size(); ++rest)
                run.cells[lane.queue[rest]][j].Fail(kGoneText);
            lane.at = lane.queue.size();
        } else if (kind == StepKind::Uninstall) {
            if (tool.started && AdbReportsSuccess(tool.output, tool.errors))
                cell.uninstalled = true;
            else
                cell.Fail("没能卸载手机上的版本（" +
                          (tool.started ? Explain(tool, std::string(), cell, system) : std::string("adb.exe无法启动")) +
                          "），它仍留在手机上，没有安装");
        } else if (kind == StepKind::PushObb) {
            if (!tool.started || tool.output.find("pushed") == std::string::npos)
                cell.Fail("数据文件（OBB）没能传到手机上：" + Explain(tool, package.requiredAndroid, cell, system));
        } else if (kind == StepKind::Install || kind == StepKind::Remove) {
            JudgeOutcome(cell, tool, kind == StepKind::Install ? package.requiredAndroid : std::string(), system);
        }
        if (lane.at < lane.queue.size() && (!cell.Going() || lane.step >= lane.steps.size())) {
            ++lane.at;
            lane.steps.clear();
            lane.step = 0;
        }
        showProgress();
    };
    showProgress();
    // A runner that goes in rounds counts each round's time from naught: the rounds add up.
    unsigned rounds = 0;
    unsigned last = 0;
    run.op.tools.runner.RunLanes(phones, next, ended, [&](unsigned elapsedMs, std::size_t) {
        if (elapsedMs < last)
            rounds += last;
        last = elapsedMs;
        now = run.op.clock.before + rounds + elapsedMs;
        showProgress();
    });
    run.op.clock.before = now;
}

// After the round: the cells whose copy only an uninstall gets out of the way are put to the user
// once, together. True when some are to go again.
bool AskAfterShelfRefusals(ShelfRun& run) {
    const Affected refused = [&run](std::size_t k, const PhoneJob& cell) {
        return cell.failed && cell.inRound && !cell.replace && !run.Package(k).package.packageName.empty() &&
               (cell.code == kDowngradeCode || cell.code == kIncompatibleCode);
    };
    bool again = false;
    const bool asked = AskOnce(
        run, refused,
        [&](std::size_t k, const PhoneJob& cell) { return cell.name + "：" + Title(run.Package(k)) + " " + cell.reason; },
        [&](const std::string& cases, const std::string& extent) {
            again = run.op.view.AskReplace("以下手机没有装上（" + extent + "）：\r\n" + cases +
                                           "先卸载手机上的版本，就能安装这个版本。\r\n\r\n" + kDataWarning +
                                           "\r\n要卸载并重新安装吗？\r\n" + kForAll);
            return again;
        },
        [](PhoneJob&, bool) {});
    if (!asked || !again)
        return false;
    for (std::size_t k = 0; k < run.cells.size(); ++k) {
        for (PhoneJob& cell : run.cells[k]) {
            const bool retry = refused(k, cell);
            cell.inRound = retry;
            if (retry) {
                cell.failed = false;
                cell.reason.clear();
                cell.code.clear();
                cell.replace = true;
                cell.downgrade = false;
            }
        }
    }
    return true;
}

// The table, the status line and the note once the run has ended.
void ReportShelf(ShelfRun& run, const Targets& targets, bool removing) {
    ISystem& system = run.System();
    const OperationTexts& texts = removing ? kUninstallTexts : kInstallTexts;
    InstallResults results;
    ShelfTally tally;
    tally.packages = run.going.size();
    tally.phones = run.op.jobs.size() + targets.unready.size();
    std::string firstProblem;
    bool problemIsRefusal = false;
    std::size_t k = 0;
    for (std::size_t s = 0; s < run.shelf.size(); ++s) {
        const ShelfPackage& package = run.shelf[s];
        const std::string title = Title(package);
        if (k >= run.going.size() || run.going[k] != s) {
            ++tally.skipped;
            PhoneResult row;
            row.package = title;
            row.name = "—";
            row.result = "跳过";
            row.reason = package.problem.empty() ? std::string("没有包名，无法卸载") : package.problem;
            results.rows.push_back(row);
            continue;
        }
        std::vector<PhoneJob> all = run.cells[k++];
        for (const Phone& phone : targets.unready) {
            PhoneJob job;
            job.serial = phone.serial;
            job.name = SerialName(phone.serial, system);
            if (const PhoneProfile* known = run.op.tools.known.Find(phone.serial))
                job.name = AnsiFromUtf8(PhoneName(*known), system);
            job.Fail(StateText(ClassifyState(phone.state), phone.state));
            job.code = "unready";
            all.push_back(job);
        }
        for (const PhoneJob& cell : all) {
            PhoneResult row;
            row.package = title;
            row.name = cell.name;
            row.serial = AnsiFromUtf8(cell.serial, system);
            row.before = cell.code == "unready" ? std::string("—") : PhoneVersion(cell, system);
            row.took = cell.succeeded && !removing;
            const std::string ours = VersionLabel(package.package.versionName, package.package.versionCode);
            row.after = cell.succeeded ? (removing ? std::string("未安装") : ours)
                        : cell.uninstalled ? std::string("未安装")
                                           : row.before;
            row.result = cell.succeeded ? "成功" : cell.declined ? "未安装" : cell.code == "unready" ? "未就绪" : "失败";
            row.reason = cell.succeeded ? (removing ? std::string("已卸载") : TookText(cell, package.package, system))
                                        : cell.reason;
            results.rows.push_back(row);
            tally.succeeded += cell.succeeded ? 1 : 0;
            tally.notDone += cell.declined ? 1 : 0;
            tally.failed += !cell.succeeded && !cell.declined ? 1 : 0;
            // A refusal says more than a choice the user made.
            if (!cell.succeeded && (firstProblem.empty() || (!problemIsRefusal && !cell.declined))) {
                firstProblem = cell.name + "：" + title + " " + cell.reason;
                problemIsRefusal = !cell.declined;
            }
            results.details += title + " → " + cell.name + "：" + (cell.succeeded ? std::string("成功") : cell.reason) +
                               "\r\n" + cell.details + "\r\n";
        }
    }
    run.op.view.ShowResults(results);
    if (tally.failed == 0 && tally.notDone == 0 && tally.skipped == 0) {
        run.op.view.ShowStatus(texts.succeeded, texts.successColor);
        run.op.view.ShowReason((removing ? "已从 " + Count(tally.phones) + " 台手机卸载 " + Count(tally.packages) + " 个应用"
                                         : "已把 " + Count(tally.packages) + " 个包装到 " + Count(tally.phones) + " 台手机"),
                               results.details);
        if (!removing)
            run.op.view.InstallSucceeded();
        return;
    }
    run.op.view.ShowStatus(ShelfSummary(tally), tally.failed > 0 ? StatusColor::Red : StatusColor::WindowText);
    for (const PhoneResult& row : results.rows) {
        if (firstProblem.empty() && row.result == "跳过")
            firstProblem = row.package + " " + row.reason;
    }
    run.op.view.ShowReason(firstProblem, results.details);
}

void RunShelf(const std::vector<ShelfPackage>& shelf, PhoneTools& tools, IPhoneView& view, bool removing) {
    const OperationTexts& texts = removing ? kUninstallTexts : kInstallTexts;
    std::vector<std::size_t> going;
    for (std::size_t s = 0; s < shelf.size(); ++s) {
        if (shelf[s].problem.empty() && (!removing || !shelf[s].package.packageName.empty()))
            going.push_back(s);
    }
    if (going.empty() && !shelf.empty()) {
        view.ShowResults(InstallResults());
        view.ShowStatus(removing ? "列表中没有可以卸载的应用。" : "列表中没有可以安装的安装包。", StatusColor::Red);
        view.ShowDriverHint(false);
        view.ShowReason(shelf.front().problem, shelf.front().problem);
        return;
    }
    Targets targets;
    if (!FindTargets(going.empty() ? std::string() : shelf[going.front()].package.file, texts, tools, view, targets))
        return;
    Busy busy(view);
    ShelfRun run{Operation{tools, view, MakeJobs(targets, tools), RunClock()}, shelf, going, {}, {}, {}, {}, {}};
    run.copies.assign(going.size(), std::string());
    LearnShelf(run);
    if (run.Stopped())
        return;
    if (!removing) {
        if (!AskBeforeShelf(run))
            return;
        PreparePieces(run);
        if (run.Stopped())
            return;
    }
    RunLanes(run, removing);
    if (run.Stopped())
        return;
    if (!removing && AskAfterShelfRefusals(run)) {
        RunLanes(run, false);
        if (run.Stopped())
            return;
    }
    ReportShelf(run, targets, removing);
}

} // namespace

void InstallShelf(const std::vector<ShelfPackage>& shelf, PhoneTools& tools, IPhoneView& view) {
    RunShelf(shelf, tools, view, false);
}

void UninstallShelf(const std::vector<ShelfPackage>& shelf, PhoneTools& tools, IPhoneView& view) {
    RunShelf(shelf, tools, view, true);
}

std::string ShelfProgressText(std::size_t package, std::size_t packages, std::size_t phonesDone, std::size_t phones) {
    return "第 " + Count(package) + "/" + Count(packages) + " 个包，" + Count(phonesDone) + "/" + Count(phones) +
           " 台手机完成";
}

std::string ShelfSummary(const ShelfTally& tally) {
    std::string text = Count(tally.packages) + " 个包 × " + Count(tally.phones) + " 台：" + Count(tally.succeeded) +
                       " 成功，" + Count(tally.failed) + " 失败";
    if (tally.notDone > 0)
        text += "，" + Count(tally.notDone) + " 未安装";
    if (tally.skipped > 0)
        text += "；" + Count(tally.skipped) + " 个包无法读取，已跳过";
    return text;
}

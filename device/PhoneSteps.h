#pragma once
#include "device/PackageOnPhone.h"
#include "device/PhoneOperations.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The machinery the phone operations share, for the device library's own use: the phones an
// operation goes to, one job per phone, and the steps that run a command on every phone at once.
namespace phone_steps {

extern const char* const kDowngradeCode;    // "INSTALL_FAILED_VERSION_DOWNGRADE"
extern const char* const kIncompatibleCode; // "INSTALL_FAILED_UPDATE_INCOMPATIBLE"
// What the user is told before an uninstall that takes an app's data with it.
extern const char* const kDataWarning;

// The texts and colours in which install and uninstall differ.
struct OperationTexts {
    const char* nothingChosen;
    StatusColor noDeviceColor;
    const char* underWay;
    const char* succeeded;
    StatusColor successColor;
    const char* failed;
};

extern const OperationTexts kInstallTexts;
extern const OperationTexts kUninstallTexts;

// The phones an operation goes to, as the listing gave them.
struct Targets {
    std::vector<Phone> ready;
    std::vector<Phone> unready;
    // adb picks the phone itself: exactly one phone is listed, or the listing's lines only
    // satisfy the plain "device" test.
    bool single = false;
};

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

// One ready phone through the steps of an operation.
struct PhoneJob {
    std::string serial;    // as adb listed it (UTF-8)
    std::string serialArg; // as the command line gives it; empty when adb picks the only phone
    std::string name;      // what the user calls it, in the window's code page
    PhoneProfile profile;
    bool knowsItself = false; // its getprop listing has been read
    PackageOnPhone copy;      // what it has of the package
    CopyCase copyCase = CopyCase::Unknown;
    bool downgrade = false;   // the user allowed an older version over a newer one
    bool replace = false;     // the user allowed its copy to be uninstalled first
    bool uninstalled = false; // ... and it has been
    bool inRound = true;      // takes part in the install round under way
    bool declined = false;    // the user said No for this phone
    bool failed = false;
    bool succeeded = false;
    std::string code;               // the package manager's code of its refusal
    std::string reason;             // in the window's code page
    std::string details;            // the commands and what adb printed
    std::vector<std::string> files; // a split package's pieces for it

    bool Going() const { return !failed && !succeeded && !declined; }
    void Fail(const std::string& why) {
        failed = true;
        reason = why;
    }
};

// The time an operation has taken over all its steps, for the note beside the status line.
struct RunClock {
    unsigned before = 0; // the steps done
    unsigned current = 0;
};

// Everything the steps of one operation share.
struct Operation {
    PhoneTools& tools;
    IPhoneView& view;
    std::vector<PhoneJob> jobs;
    RunClock clock;
    bool Stopped() { return view.IsClosed(); }
};

// What the note says while a step runs.
struct StepNote {
    bool countPhones = false; // "已完成 2/3 台"
    bool screenHint = false;  // phones still busy after a while are told to look at their screen
    std::string plan;         // what each phone is getting, shown from the step's start
};

// The common start of install and uninstall: something chosen, adb there, a phone ready.
// Reports in the status line and returns false when the operation can't go on.
bool FindTargets(const std::string& subject, const OperationTexts& texts, PhoneTools& tools, IPhoneView& view,
                 Targets& targets);

std::vector<PhoneJob> MakeJobs(const Targets& targets, PhoneTools& tools);
bool AnyGoing(const Operation& op);

// Runs the commands each going phone needs for one step, every phone's at once; `judge` then
// reads each phone's runs. A phone for which `commandsFor` gives nothing sits the step out.
void RunStep(Operation& op, const std::function<std::vector<std::string>(PhoneJob&)>& commandsFor,
             const std::function<void(PhoneJob&, const std::vector<ToolRun>&)>& judge, const StepNote& note);

// Asks each phone, at once, what it is (one getprop listing, unless it told us already) and, when
// the package is known, what it has of it. `needTraits`: a phone that can't say what it is can't
// be served (a split package's pieces depend on it).
void LearnPhones(Operation& op, const PackageToInstall* package, bool needTraits);

// Names each phone as its owner knows it, once LearnPhones has read what the phones say.
void NamePhones(Operation& op);

// What adb's failure means for the user, with the phone maker's steps where they help.
std::string Explain(const ToolRun& run, const std::string& requiredAndroid, const PhoneJob& job, ISystem& system);
// The step that does the work: an install or an uninstall, judged by adb's "Success".
void JudgeOutcome(PhoneJob& job, const ToolRun& run, const std::string& requiredAndroid, ISystem& system);

// A serial as adb must be given it: adb lists serials in UTF-8, and a command line is in the ANSI
// code page. False when the code page can't carry it faithfully.
bool SerialArgument(const std::string& serial, ISystem& system, std::string& argument);
// A phone that did not say its name goes by its serial.
std::string SerialName(const std::string& serial, ISystem& system);
std::string Decimal(std::int64_t value);
// "a、b、c"
std::string JoinNames(const std::vector<std::string>& names);
// A version as the user reads it: its name, else its number.
std::string VersionLabel(const std::string& name, std::int64_t code);
// The version a phone had: "1.1.0", "未安装", "未知".
std::string PhoneVersion(const PhoneJob& job, ISystem& system);
// What happened on a phone that took the package: "已从 1.1.0 升级到 1.2.0".
std::string TookText(const PhoneJob& job, const PackageToInstall& package, ISystem& system);
// True when adb says the phone is no longer there (unplugged, gone offline).
bool PhoneIsGone(const ToolRun& run);

} // namespace phone_steps

#pragma once
#include "device/DeviceList.h"
#include "device/PhoneTraits.h"
#include "device/SplitApk.h"
#include "device/SplitChoice.h"
#include "device/System.h"
#include "device/TextSplit.h"
#include "device/ToolRunner.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Installing the package on show onto every attached phone and removing it again, through adb.
// The window shows what these report and provides the tools.

enum class StatusColor { WindowText, Red, Green };

// One phone's outcome, as the table behind the note shows it. Texts are in the window's code page.
struct PhoneResult {
    std::string name;   // what the user calls the phone: "Redmi Note 12 Turbo", "samsung SM-S9180"
    std::string serial; // as adb lists it
    std::string before; // the version the phone had: "1.1.0", "未安装", "未知"
    std::string after;  // the version it has now, as far as adb's answers tell
    std::string result; // "成功", "失败", "未安装", "未就绪"
    std::string reason;
    bool took = false;     // the phone has this package now
    std::string adbSerial; // the serial as adb's -s takes it; empty when adb picks the only phone
    std::string package = {}; // in a run of several packages, the package: "微信 8.0.49"; empty otherwise
};

// What an install did, phone by phone: the table, adb's whole text, and what opening the app needs.
struct InstallResults {
    std::string packageName;
    std::string launchableActivity;
    std::vector<PhoneResult> rows;
    std::string details; // every command and what adb printed, phone by phone
    bool AnyTook() const;
    // A table of a list of packages: a row for each package on each phone.
    bool ManyPackages() const;
};

// The table as text to copy: a heading line, then one line a phone, the columns between tabs.
std::string ResultsText(const InstallResults& results);

// What the phone operations show in the window, and what they ask of it.
class IPhoneView {
public:
    virtual ~IPhoneView() = default;
    // The status line: its text and colour.
    virtual void ShowStatus(const std::string& text, StatusColor color) = 0;
    // The driver download hint beside it.
    virtual void ShowDriverHint(bool shown) = 0;
    // The note beside the status line: what each phone is getting, why phones refused, how long a
    // run has taken. An empty text hides it. `details` is everything adb printed.
    virtual void ShowReason(const std::string& text, const std::string& details) = 0;
    // While a tool works on the phones: the buttons that start another run off and the hourglass.
    virtual void SetBusy(bool busy) = 0;
    // After an install that every phone took: the exit countdown starts when the
    // close-after-install box is ticked.
    virtual void InstallSucceeded() = 0;
    // True once the window has been closed (possible while a tool runs): nothing more is shown.
    virtual bool IsClosed() = 0;
    // Yes/No questions whose answer, unless the user says otherwise, is No. The texts name the
    // phones and what is at stake. A newer version on some phones: install an older one over it?
    virtual bool AskDowngrade(const std::string& question) = 0;
    // The phone's copy stands in the way: uninstall it, and its data, and install this one?
    virtual bool AskReplace(const std::string& question) = 0;
    // Packages of a list that failed their signature check: install them all the same?
    virtual bool AskNotIntact(const std::string& question) = 0;
    // Each phone's outcome once an install ends; an empty table when another run begins.
    virtual void ShowResults(const InstallResults& results) = 0;
};

// What the attached phones said about themselves (getprop), kept while they stay attached: their
// properties don't change, and asking again would cost every install a round of adb.
class KnownPhones {
public:
    const PhoneProfile* Find(const std::string& serial) const;
    void Remember(const std::string& serial, const PhoneProfile& profile);
    // Forgets the phones that are no longer listed.
    void KeepOnly(const std::vector<std::string>& listed);

private:
    std::map<std::string, PhoneProfile> phones_;
};

// Where the tools are and how they run.
struct PhoneTools {
    std::string exeFolder; // the program's folder, with its final backslash; adb lives in its "adb" folder
    IToolRunner& runner;
    ISystem& system;
    KnownPhones known = {};
};

extern const char* const kNoDeviceText;

// The package on show, as its install needs it. Only `file` is required: without the rest the
// install runs as it always did, and asks the phones nothing about the package.
struct PackageToInstall {
    std::string file;               // the APK, or the bundle for InstallSplitPackage
    std::string packageName;        // from the package's facts
    std::int64_t versionCode = -1;  // -1 when unknown
    std::string versionName;        // in the window's code page
    std::string appName;            // in the window's code page, for the questions
    std::string requiredAndroid;    // "Android 8.0", for explaining a phone that is too old
    std::string launchableActivity; // for opening it afterwards ("com.example/.Main" or full name)
    // SignerHashOfCertificate of the package's signer certificate, when it is known (from whichever
    // scheme signed it, or the v1 signature block alone).
    std::optional<std::uint32_t> signer;
};

// Installs the package onto every ready phone at once. Each phone is first asked its name and
// what it has of the package; a newer version or another signer there is put to the user as a
// question before anything is installed, and a refusal that only an uninstall can get past is put
// once more afterwards.
void InstallPackage(const PackageToInstall& package, PhoneTools& tools, IPhoneView& view);
void UninstallPackage(const std::string& packageName, PhoneTools& tools, IPhoneView& view);

// Opens the app on every phone that took it: its launchable activity through `am start`, else the
// launcher's entry through `monkey`.
void OpenInstalledApp(const InstallResults& installed, PhoneTools& tools, IPhoneView& view);

// A package made of several APKs (a split bundle), as its install needs it. The window hands over
// the bundle it has open.
class ISplitPackage {
public:
    virtual ~ISplitPackage() = default;
    virtual std::string PackageName() = 0;
    virtual std::vector<SplitApk> Splits() = 0;
    virtual std::vector<StandaloneApk> Standalones() = 0;
    // The files of the named pieces, taken out of the package on first need. Raises VarnelError
    // for a package that can't be installed as it is (damaged, pieces of another app): nothing is
    // installed on any phone then.
    virtual std::vector<std::string> Files(const std::vector<std::string>& names) = 0;
    struct Obb {
        std::string file;
        std::string phonePath; // relative to the phone's shared storage: "Android/obb/<package>/..."
    };
    // The package's expansion files, taken out on first need; they go onto each phone first.
    virtual std::vector<Obb> ObbFiles() = 0;
};

// Installs a split package onto every ready phone at once, as InstallPackage: each phone is asked
// what it is (processor, density, language, Android version) and gets the pieces that suit it, its
// expansion files first, and the pieces together (install-multiple).
void InstallSplitPackage(const PackageToInstall& package, ISplitPackage& pieces, PhoneTools& tools, IPhoneView& view);

// What the status line says about a phone that is listed but not ready.
std::string StateText(PhoneState state, const std::string& rawState);

// True when some byte of `text` is a lead byte of a double-byte ANSI code page.
bool HasDoubleByteChars(const std::string& text, ISystem& system);

// A new path for a temporary copy of a package: the temporary folder, a GUID in its registry form
// and ".apk". Empty when the system has no usable temporary folder or GUID.
std::string MakeTempApkPath(ISystem& system);

#pragma once
#include "device/DeviceList.h"
#include "device/SplitApk.h"
#include "device/SplitChoice.h"
#include "device/System.h"
#include "device/TextSplit.h"
#include "device/ToolRunner.h"

#include <string>

// Installing the package on show onto every attached phone and removing it again, through adb.
// The window shows what these report and provides the tools.

enum class StatusColor { WindowText, Red, Green };

// What the phone operations show in the window, and what they ask of it.
class IPhoneView {
public:
    virtual ~IPhoneView() = default;
    // The status line: its text and colour.
    virtual void ShowStatus(const std::string& text, StatusColor color) = 0;
    // The driver download hint beside it.
    virtual void ShowDriverHint(bool shown) = 0;
    // The note beside the status line: why phones refused, or how long a run has taken. An empty
    // text hides it. `details` is everything adb printed, for the user who wants to see it.
    virtual void ShowReason(const std::string& text, const std::string& details) = 0;
    // While a tool works on the phones: the buttons that start another run off and the hourglass.
    virtual void SetBusy(bool busy) = 0;
    // After an install that every phone took: the exit countdown starts when the
    // close-after-install box is ticked.
    virtual void InstallSucceeded() = 0;
    // True once the window has been closed (possible while a tool runs): nothing more is shown.
    virtual bool IsClosed() = 0;
};

// Where the tools are and how they run.
struct PhoneTools {
    std::string exeFolder; // the program's folder, with its final backslash; adb lives in its "adb" folder
    IToolRunner& runner;
    ISystem& system;
};

extern const char* const kNoDeviceText;

// Installs the package at `apkFileName` onto every ready phone at once. `requiredAndroid` names
// the Android version the package needs ("Android 8.0"), for explaining a phone that is too old.
void InstallPackage(const std::string& apkFileName, const std::string& requiredAndroid, PhoneTools& tools,
                    IPhoneView& view);
void UninstallPackage(const std::string& packageName, PhoneTools& tools, IPhoneView& view);

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

// Installs a split package onto every ready phone at once: each phone is asked what it is
// (processor, density, language, Android version), gets the pieces that suit it, its expansion
// files first, and the pieces together (install-multiple). `packageFile` is the bundle on show.
void InstallSplitPackage(const std::string& packageFile, ISplitPackage& package, const std::string& requiredAndroid,
                         PhoneTools& tools, IPhoneView& view);

// What the status line says about a phone that is listed but not ready.
std::string StateText(PhoneState state, const std::string& rawState);

// True when some byte of `text` is a lead byte of a double-byte ANSI code page.
bool HasDoubleByteChars(const std::string& text, ISystem& system);

// A new path for a temporary copy of a package: the temporary folder, a GUID in its registry form
// and ".apk". Empty when the system has no usable temporary folder or GUID.
std::string MakeTempApkPath(ISystem& system);

#pragma once
#include "device/DeviceList.h"
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

// What the status line says about a phone that is listed but not ready.
std::string StateText(PhoneState state, const std::string& rawState);

// True when some byte of `text` is a lead byte of a double-byte ANSI code page.
bool HasDoubleByteChars(const std::string& text, ISystem& system);

// A new path for a temporary copy of a package: the temporary folder, a GUID in its registry form
// and ".apk". Empty when the system has no usable temporary folder or GUID.
std::string MakeTempApkPath(ISystem& system);

#pragma once
#include "device/System.h"
#include "device/TextSplit.h"
#include "device/ToolRunner.h"

#include <string>

// Installing the package on show onto the attached phone and removing it again, through adb. The
// window shows what these report and provides the tools.

enum class StatusColor { WindowText, Red, Green };

// What the phone operations show in the window, and what they ask of it.
class IPhoneView {
public:
    virtual ~IPhoneView() = default;
    // The status line: its text and colour.
    virtual void ShowStatus(const std::string& text, StatusColor color) = 0;
    // The driver download hint beside it.
    virtual void ShowDriverHint(bool shown) = 0;
    // While a tool works on the phone: the buttons that start another run off and the hourglass.
    virtual void SetBusy(bool busy) = 0;
    // After a successful install: the exit countdown starts when the close-after-install box is ticked.
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

void InstallPackage(const std::string& apkFileName, PhoneTools& tools, IPhoneView& view);
void UninstallPackage(const std::string& packageName, PhoneTools& tools, IPhoneView& view);

// True when some byte of `text` is a lead byte of a double-byte ANSI code page.
bool HasDoubleByteChars(const std::string& text, ISystem& system);

// A new path for a temporary copy of a package: the temporary folder, a GUID in its registry form
// and ".apk". Empty when the system has no usable temporary folder or GUID.
std::string MakeTempApkPath(ISystem& system);

#include "app/MainForm.h"

#include "apkinfo/BadgingParser.h"
#include "apkinfo/Labels.h"
#include "app/Errors.h"
#include "device/CommandRunner.h"
#include "device/ToolCommands.h"

namespace {

// Writes what the dump lines say into the window.
class FormBadgingSink : public IBadgingSink {
public:
    FormBadgingSink(TfrmMain& form, std::string& packageName, StringList& permissions, const std::string& apkFileName)
        : form_(form), packageName_(packageName), permissions_(permissions), apkFileName_(apkFileName) {}

    void PackageNameFound(const std::string& name) override {
        packageName_ = name;
        form_.SetCaption(form_.lblPackageName, name);
    }
    void VersionNameFound(const std::string& version) override {
        // Shown like the label when it is UTF-8; a version that is not keeps its bytes as they came.
        std::u16string wide;
        form_.SetCaption(form_.lblAppVersion, DecodeUtf8(version, wide) ? ToAnsi(wide) : version);
    }
    void SdkVersionFound(const std::string& level) override {
        form_.SetCaption(form_.lblSysRequest, AndroidVersionName(level));
    }
    void PermissionFound(const std::string& permission) override { permissions_.push_back(permission); }
    void ApplicationLabelFound(const std::u16string& label) override {
        form_.SetCaption(form_.lblAppName, ToAnsi(label));
    }
    void ApplicationIconFound(const std::string& iconPath) override { form_.ShowApkIcon(apkFileName_, iconPath); }

private:
    // Characters the ANSI code page lacks become its replacement character, not a look-alike
    // (Ç must not turn into C).
    static std::string ToAnsi(const std::u16string& text) {
        if (text.empty())
            return std::string();
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const int length = static_cast<int>(text.size());
        const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, nullptr);
        if (needed <= 0)
            return std::string();
        std::string ansi(static_cast<std::size_t>(needed), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, &ansi[0], needed, nullptr, nullptr);
        return ansi;
    }

    TfrmMain& form_;
    std::string& packageName_;
    StringList& permissions_;
    const std::string& apkFileName_;
};

std::string LocaleText(LCTYPE type, const char* fallback) {
    char buffer[16] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) <= 0)
        return fallback;
    return buffer;
}

} // namespace

void TfrmMain::InspectApk(const std::string& path) {
    // One inspection at a time: the tool run dispatches messages, and a second choice arriving
    // meanwhile is refused where it is made; this is the last line of that defence.
    if (inspecting_)
        return;
    inspecting_ = true;
    struct InspectingFlag {
        bool& flag;
        ~InspectingFlag() { flag = false; }
    } inspectingFlag{inspecting_};

    PermissionList.clear();
    ResetFacts();
    ShowFileSize(path);
    const StringList lines = RunCommandLines(BadgingCommandLine(exeFolder_, ApkFileName));
    if (closed_)
        return;
    ParseBadging(lines);
    ShowPermissions();
    SetFontColor(lblHintInfo, kWindowTextColor);
    SetCaption(lblHintInfo, "点击“安装”按钮进行安装...");
    ShowWindow(lblDownHint, SW_HIDE);
}

void TfrmMain::ShowFileSize(const std::string& path) {
    // Others may read the package meanwhile but not change it, as while it was read whole; the size
    // itself comes from the file system, 64 bits wide.
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        ThrowFileOpenError(path, GetLastError());
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
        ThrowFileOpenError(path, GetLastError());
    SetCaption(lblFileSize, FormatFileSize(static_cast<std::uint64_t>(size.QuadPart), LocaleText(LOCALE_STHOUSAND, ","),
                                           LocaleText(LOCALE_SDECIMAL, ".")));
}

void TfrmMain::ParseBadging(const StringList& lines) {
    FormBadgingSink sink(*this, PackageName, PermissionList, ApkFileName);
    ::ParseBadging(lines, sink);
}

bool TfrmMain::RunCommandText(const std::string& commandLine, std::string& output) {
    return RunConsoleCommand(commandLine, output, ProcessPendingMessages);
}

StringList TfrmMain::RunCommandLines(const std::string& commandLine) {
    std::string output;
    if (!RunConsoleCommand(commandLine, output, ProcessPendingMessages))
        return StringList();
    return SplitText(output, kCrLf);
}

// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "apkinfo/OpenedBundle.h"
#include "apkinfo/PackageFacts.h"
#include "apkinfo/PackageIcon.h"
#include "app/ZipPlatformWin.h"

#include "app/MainForm.h"
#include "device/ToolCommands.h"

// Reading a package's facts into the install panel: the size, the tool's dump, the icon and the
// permission texts, in that order. What the facts are is the package library's business.

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

    // The last package's signature check ends here: its verdict says nothing about this one.
    StopSignatureCheck();
    PermissionList.clear();
    ResetFacts();
    ShowFileSize(path);
    // Without the tool the fields can't be filled; the status line says why rather than leaving
    // a window full of "未知" unexplained.
    aaptMissing_ = !system_.FileExists(AaptPath(exeFolder_));
    // A bundle is shown by its base APK, taken out into a folder of its own; the last bundle's
    // folder goes now.
    bundle_.reset();
    bundleError_.clear();
    std::string inspected = ApkFileName;
    const PackageFileKind kind = PackageKindOfPath(path, [this](unsigned char b) { return system_.IsLeadByte(b); });
    if (IsBundle(kind)) {
        std::shared_ptr<OpenedBundle> bundle;
        try {
            bundle = std::make_shared<OpenedBundle>(path, kind, system_, WindowsZipPlatform());
        } catch (const std::exception& error) {
            bundleError_ = error.what();
            throw;
        }
        if (closed_)
            return;
        bundle_ = bundle;
        inspected = bundle_->BasePath();
    }
    const StringList lines = RunCommandLines(BadgingCommandLine(exeFolder_, inspected));
    if (closed_)
        return;
    ParseBadging(lines);
    if (closed_)
        return;
    StartSignatureCheck();
    if (closed_)
        return;
    ShowPermissions();
    ShowReadyStatus();
}

void TfrmMain::ShowFileSize(const std::string& path) { SetCaption(lblFileSize, FileSizeText(path, system_)); }

void TfrmMain::ParseBadging(const StringList& lines) {
    const PackageFacts facts = ReadPackageFacts(lines, system_);
    if (facts.packageName) {
        PackageName = *facts.packageName;
        SetCaption(lblPackageName, PackageName);
    }
    if (facts.versionName) {
        SetCaption(lblAppVersion, *facts.versionName);
        versionName_ = *facts.versionName;
    }
    versionCode_ = facts.versionCode;
    launchableActivity_ = facts.launchableActivity;
    if (facts.sdkLabel) {
        SetCaption(lblSysRequest, *facts.sdkLabel);
        requiredAndroid_ = *facts.sdkLabel == "未知" ? std::string() : *facts.sdkLabel;
    }
    PermissionList.insert(PermissionList.end(), facts.permissions.begin(), facts.permissions.end());
    // The name is shown before the icon is looked at, so it stays even if the icon can't be shown.
    if (facts.appName) {
        SetCaption(lblAppName, *facts.appName);
        appName_ = *facts.appName;
    }
    for (const std::string& member : facts.iconMembers) {
        ShowApkIcon(ApkFileName, member);
        if (closed_)
            return;
    }
}

void TfrmMain::ShowApkIcon(const std::string& apkPath, const std::string& memberName) {
    RgbaImage icon;
    // A bundle's icon is in its base, or in a density split when the base holds none.
    const std::shared_ptr<OpenedBundle> bundle = bundle_ && bundle_->Path() == apkPath ? bundle_ : nullptr;
    const bool loaded = bundle ? LoadBundleIcon(*bundle, memberName, IconBox(), WindowsZipPlatform(), icon, dpi_)
                               : LoadPackageIcon(apkPath, memberName, IconBox(), WindowsZipPlatform(), icon, dpi_);
    if (!loaded || closed_)
        return; // the placeholder, or the last icon, stays
    UniqueGdiObject bitmap = MakeIconBitmap(icon);
    if (!bitmap)
        return;
    SetApkIcon(std::move(bitmap), SIZE{static_cast<LONG>(icon.width), static_cast<LONG>(icon.height)});
    apkIconPackage_ = apkPath;
    apkIconMember_ = memberName;
}

void TfrmMain::RefitApkIcon() {
    // The icon on show, chosen and fitted again for the box at the new density. An inspection
    // under way fits its own icon; a package that has gone meanwhile keeps its icon as it is,
    // since a move to another monitor is no reason for an error box.
    if (!apkIcon_ || apkIconMember_.empty() || inspecting_)
        return;
    const std::string package = apkIconPackage_;
    const std::string member = apkIconMember_;
    try {
        ShowApkIcon(package, member);
    } catch (const std::exception&) {
    }
}

std::string TfrmMain::BundleNote(std::string& details) const {
    // Which kind of bundle, and how many pieces: the user sees why one file installs several.
    const BundleInfo& info = bundle_->Info();
    const char* kinds[] = {"", "", ".apks", ".xapk", ".apkm"};
    std::string note = std::string("安装包组（") + kinds[static_cast<int>(info.kind)] + "）：" +
                       std::to_string(info.pieces.size() + info.standalones.size()) + " 个APK";
    if (!info.obbs.empty())
        note += "，" + std::to_string(info.obbs.size()) + " 个数据文件";
    details = note + "\r\n";
    for (const BundlePiece& piece : info.pieces)
        details += ShownMemberName(piece.split.name) + "\r\n";
    for (const BundleStandalone& standalone : info.standalones)
        details += ShownMemberName(standalone.apk.name) + "\r\n";
    for (const ObbFile& obb : info.obbs)
        details += ShownMemberName(obb.member) + " → " + ShownMemberName(obb.phonePath) + "\r\n";
    return note;
}

bool TfrmMain::RunCommandText(const std::string& commandLine, std::string& output) {
    return runner_.Run(commandLine, output);
}

StringList TfrmMain::RunCommandLines(const std::string& commandLine) {
    std::string output;
    if (!runner_.Run(commandLine, output))
        return StringList();
    return SplitText(output, kCrLf);
}

#include "app/MainForm.h"

#include "app/AppText.h"
#include "apkinfo/PackageKind.h"
#include "device/PathText.h"

#include <commdlg.h>

#include <vector>

// Choosing a package: the Open dialog from either button, or a file dropped on the window.

namespace {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

} // namespace

bool ShowOpenApkDialog(HWND owner, std::string& fileName) {
    // The dialog starts from the name chosen last time in this run.
    static std::string lastChoice;
    std::vector<char> buffer(32768, '\0');
    lastChoice.copy(buffer.data(), std::min(lastChoice.size(), buffer.size() - 1));
    const std::string filter = OpenDialogFilter();
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = "选择Apk文件";
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameA(&dialog))
        return false;
    fileName = buffer.data();
    lastChoice = fileName;
    return true;
}

void TfrmMain::ChooseAndInspect(bool fromButtonRow) {
    // While a package is being read, choosing another is ignored rather than nested.
    if (inspecting_)
        return;
    std::string fileName;
    const bool chosen = seams_.chooseApkFile ? seams_.chooseApkFile(fileName) : ShowOpenApkDialog(handle_, fileName);
    if (!chosen)
        return;
    ApkFileName = fileName;
    ShowWindow(PanelDefault, SW_HIDE);
    ShowWindow(PanelInstall, SW_SHOW);
    InspectApk(ApkFileName);
    if (fromButtonRow && !closed_)
        ShowReadyStatus();
}

void TfrmMain::btnSelApkFileClick() { ChooseAndInspect(false); }

void TfrmMain::btnOpenApkClick() { ChooseAndInspect(true); }

void TfrmMain::FormDropFiles(HDROP drop) {
    struct DropRelease {
        HDROP drop;
        ~DropRelease() { DragFinish(drop); }
    } release{drop};
    if (inspecting_)
        return;

    SetWindowTextA(txtPermissionInfo, "");
    // The whole path of the first file, however long; the others are ignored.
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    std::string path(static_cast<std::size_t>(length) + 1, '\0');
    const UINT copied = DragQueryFileA(drop, 0, &path[0], length + 1);
    path.resize(copied);

    // Windows names files without regard to case, so GAME.APK is a package too; bundles are
    // taken as packages are.
    if (PackageKindOfPath(path, IsLeadByte) != PackageFileKind::None) {
        ApkFileName = path;
        ShowWindow(PanelDefault, SW_HIDE);
        ShowWindow(PanelInstall, SW_SHOW);
        InspectApk(ApkFileName);
        return;
    }
    SetFontColor(lblHintInfo, kWindowTextColor);
    SetCaption(lblHintInfo, "只能接受APK文件！");
    ShowWindow(lblDownHint, SW_HIDE);
    ShowPhoneReason(std::string(), std::string());
}

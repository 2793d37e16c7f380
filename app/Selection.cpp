#include "app/MainForm.h"

#include "app/AppText.h"
#include "apkinfo/PackageKind.h"
#include "device/PathText.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

// Choosing a package: the Open dialog from either button, or a file dropped on the window.

namespace {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

// A dropped file's path in the code page. A name the code page can't spell is tried by its short
// name, which is plain ASCII where the volume keeps short names; otherwise it reads with '?',
// which the list reports.
std::string DroppedPath(HDROP drop, UINT index) {
    const UINT length = DragQueryFileW(drop, index, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    wide.resize(DragQueryFileW(drop, index, &wide[0], length + 1));
    const auto narrow = [](const std::wstring& text, bool& lossy) {
        BOOL defaulted = FALSE;
        const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, &defaulted);
        std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                            nullptr, &defaulted);
        lossy = defaulted != FALSE;
        return out;
    };
    bool lossy = false;
    const std::string path = narrow(wide, lossy);
    if (!lossy)
        return path;
    std::wstring shortName(MAX_PATH, L'\0');
    const DWORD shortLength = GetShortPathNameW(wide.c_str(), &shortName[0], MAX_PATH);
    if (shortLength > 0 && shortLength < MAX_PATH) {
        shortName.resize(shortLength);
        bool shortLossy = false;
        const std::string plain = narrow(shortName, shortLossy);
        if (!shortLossy)
            return plain;
    }
    return path;
}

} // namespace

// The Open dialog, several files at a time. One file chosen comes back as its full path, as
// before; several as their full paths.
bool ShowOpenApkDialog(HWND owner, std::vector<std::string>& fileNames) {
    // The dialog starts from the name chosen last time in this run.
    static std::string lastChoice;
    std::vector<char> buffer(256 * 1024, '\0');
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
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ALLOWMULTISELECT;
    if (!GetOpenFileNameA(&dialog))
        return false;
    fileNames = OpenDialogFiles(std::string(buffer.data(), buffer.size()));
    if (fileNames.empty())
        return false;
    lastChoice = fileNames.size() == 1 ? fileNames.front() : std::string();
    return true;
}

void TfrmMain::ChooseAndInspect(bool fromButtonRow) {
    // While a package is being read, choosing another is ignored rather than nested.
    if (inspecting_)
        return;
    std::vector<std::string> fileNames;
    std::string fileName;
    bool chosen = false;
    if (seams_.chooseApkFiles) {
        chosen = seams_.chooseApkFiles(fileNames);
    } else if (seams_.chooseApkFile) {
        chosen = seams_.chooseApkFile(fileName);
        fileNames = {fileName};
    } else {
        chosen = ShowOpenApkDialog(handle_, fileNames);
    }
    if (!chosen || fileNames.empty())
        return;
    ShowWindow(PanelDefault, SW_HIDE);
    ShowWindow(PanelInstall, SW_SHOW);
    if (fileNames.size() > 1) {
        ShowShelf(fileNames);
        return;
    }
    // One package chosen alone is shown as it always was.
    if (shelfShown_)
        EnterShelf(false);
    ApkFileName = fileNames.front();
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

    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    const std::string first = DroppedPath(drop, 0);
    const DWORD attributes = GetFileAttributesA(first.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (count > 1 || folder || shelfShown_) {
        // Several files, a folder, or more for the list on show: the list takes them.
        std::vector<std::string> paths;
        for (UINT i = 0; i < count; ++i)
            paths.push_back(DroppedPath(drop, i));
        ShowWindow(PanelDefault, SW_HIDE);
        ShowWindow(PanelInstall, SW_SHOW);
        if (shelfShown_)
            AddToShelf(paths);
        else
            ShowShelf(paths);
        return;
    }

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

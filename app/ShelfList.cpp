// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "apkinfo/OpenedBundle.h"
#include "apkinfo/PackageFacts.h"
#include "apkinfo/PackageIcon.h"
#include "apkinfo/PackageKind.h"
#include "apkinfo/ShelfIntake.h"
#include "app/ZipPlatformWin.h"

#include "app/AppText.h"
#include "app/LayoutScale.h"
#include "app/MainForm.h"
#include "app/ShelfRow.h"
#include "device/ToolCommands.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>

// The list of packages: several chosen together stand where the permission box stands, one row
// each (icon, name, version, size, signature); the facts panel shows the selected row's.

namespace {

// The columns at 96 DPI: name (with the icon), version, size, signature.
const char* const kShelfColumns[] = {"名称", "版本", "大小", "签名"};
const int kShelfColumnWidths[] = {100, 54, 52, 48};
// The icon beside each row's name, at 96 DPI.
constexpr int kRowIcon = 20;
// Packages read by the tool at once: enough to keep two cores busy, few enough to stay light.
constexpr std::size_t kReadTogether = 4;

const char* const kPermissionsClass = "TVarnelPermissions";

bool ListFolder(const std::string& path, std::vector<std::string>& files) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    const std::string folder = path.back() == '\\' ? path : path + "\\";
    WIN32_FIND_DATAA found;
    UniqueFindHandle find(FindFirstFileA((folder + "*").c_str(), &found));
    if (!find)
        return true;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files.push_back(folder + found.cFileName);
    } while (FindNextFileA(find.Get(), &found));
    return true;
}

// A picture centred in a square of `side` pixels, as the image list takes it.
RgbaImage Squared(const RgbaImage& icon, std::uint32_t side) {
    RgbaImage square;
    square.width = square.height = side;
    square.pixels.assign(std::size_t(side) * side * 4, 0);
    const std::uint32_t left = (side - std::min(side, icon.width)) / 2;
    const std::uint32_t top = (side - std::min(side, icon.height)) / 2;
    for (std::uint32_t y = 0; y < std::min(side, icon.height); ++y)
        std::copy_n(icon.Pixel(0, y), std::size_t(std::min(side, icon.width)) * 4,
                    square.pixels.begin() + static_cast<std::ptrdiff_t>((std::size_t(top + y) * side + left) * 4));
    return square;
}

void SetItemText(HWND list, std::size_t row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

} // namespace

std::size_t TfrmMain::ShelfCount() const {
    return shelf_.size();
}
const std::string& TfrmMain::ShelfPath(std::size_t row) const {
    return shelf_.at(row)->path;
}
const std::string& TfrmMain::ShelfProblem(std::size_t row) const {
    return shelf_.at(row)->problem;
}
const std::string& TfrmMain::ShelfSignature(std::size_t row) const {
    return shelf_.at(row)->signature;
}

void TfrmMain::EnterShelf(bool shown) {
    if (!shown) {
        StopShelfSignatures();
        shelf_.clear();
        SendMessageA(lvPackages, LVM_DELETEALLITEMS, 0, 0);
    }
    shelfShown_ = shown;
    ShowWindow(GroupBoxPackages, shown ? SW_SHOW : SW_HIDE);
    ShowWindow(GroupBoxPermission, shown ? SW_HIDE : SW_SHOW);
}

void TfrmMain::ShowShelf(const std::vector<std::string>& paths) {
    if (inspecting_)
        return;
    // A new choice: what was on show goes, a bundle's temporary folder with it.
    StopSignatureCheck();
    bundle_.reset();
    ResetFacts();
    EnterShelf(false);
    EnterShelf(true);
    AddToShelf(paths);
}

void TfrmMain::AddToShelf(const std::vector<std::string>& paths) {
    if (inspecting_)
        return;
    if (!shelfShown_)
        EnterShelf(true);
    std::vector<std::string> listed;
    for (const auto& row : shelf_)
        listed.push_back(row->path);
    const LeadByteTest isLeadByte = [this](unsigned char b) { return system_.IsLeadByte(b); };
    const ShelfIntake intake = TakeIn(paths, listed, ListFolder, isLeadByte);
    const std::size_t first = shelf_.size();
    for (const std::string& path : intake.added) {
        shelf_.push_back(std::make_shared<ShelfRow>());
        shelf_.back()->path = path;
        shelf_.back()->id = ++nextShelfRowId_;
    }
    ReadShelfRows(first);
    if (closed_)
        return;
    StartShelfSignatures();
    if (closed_)
        return;
    if (first < shelf_.size())
        SelectShelfRow(first);
    // The status line invites the install; the note counts the list and says what was left out.
    std::size_t unreadable = 0;
    std::string details;
    for (const auto& row : shelf_) {
        if (!row->problem.empty()) {
            ++unreadable;
            details += row->path + "：" + row->problem + "\r\n";
        }
    }
    SetFontColor(lblHintInfo, kWindowTextColor);
    SetCaption(lblHintInfo, "点击“安装”按钮进行安装...");
    ShowWindow(lblDownHint, SW_HIDE);
    std::string note = "列表中有 " + std::to_string(shelf_.size()) + " 个安装包";
    if (unreadable > 0)
        note += "，" + std::to_string(unreadable) + " 个无法读取，安装时跳过";
    const std::string message = IntakeMessage(intake, isLeadByte);
    note += message.empty() ? "。" : "；" + message;
    ShowPhoneReason(note, message + (message.empty() ? "" : "\r\n") + details);
}

void TfrmMain::ReadShelfRows(std::size_t first) {
    inspecting_ = true;
    struct InspectingFlag {
        bool& flag;
        ~InspectingFlag() { flag = false; }
    } inspectingFlag{inspecting_};
    const bool haveAapt = system_.FileExists(AaptPath(exeFolder_));
    for (std::size_t start = first; start < shelf_.size(); start += kReadTogether) {
        const std::size_t end = std::min(shelf_.size(), start + kReadTogether);
        std::vector<ToolRun> runs;
        std::vector<std::shared_ptr<ShelfRow>> reading;
        for (std::size_t i = start; i < end; ++i) {
            const std::shared_ptr<ShelfRow> held = shelf_[i];
            ShelfRow& row = *held;
            try {
                row.sizeText = FileSizeText(row.path, system_);
                std::string inspected = row.path;
                const PackageFileKind kind =
                    PackageKindOfPath(row.path, [this](unsigned char b) { return system_.IsLeadByte(b); });
                if (IsBundle(kind)) {
                    row.bundle = std::make_shared<OpenedBundle>(row.path, kind, system_, WindowsZipPlatform());
                    inspected = row.bundle->BasePath();
                }
                if (!haveAapt) {
                    row.problem = "找不到aapt.exe，无法读取安装包";
                    continue;
                }
                runs.emplace_back();
                runs.back().commandLine = BadgingCommandLine(exeFolder_, inspected);
                reading.push_back(held);
            } catch (const std::exception& error) {
                row.problem = row.sizeText.empty() ? "文件不存在或无法打开" : error.what();
            }
            if (closed_)
                return;
        }
        runner_.RunAll(runs, ToolProgress());
        if (closed_)
            return;
        for (std::size_t r = 0; r < reading.size(); ++r) {
            ShelfRow& row = *reading[r];
            const PackageFacts facts = ReadPackageFacts(SplitText(runs[r].output, kCrLf), system_);
            if (!facts.packageName) {
                row.problem = "无法读取这个安装包，它可能已损坏";
                continue;
            }
            row.packageName = *facts.packageName;
            row.appName = facts.appName.value_or(std::string());
            row.versionName = facts.versionName.value_or(std::string());
            row.versionCode = facts.versionCode;
            row.sdkLabel = facts.sdkLabel.value_or(std::string());
            row.launchableActivity = facts.launchableActivity;
            row.permissions = facts.permissions;
            row.iconMembers = facts.iconMembers;
        }
        for (std::size_t i = start; i < end && i < shelf_.size() && !closed_; ++i)
            FillShelfItem(i);
    }
}

void TfrmMain::FillShelfItem(std::size_t index) {
    const std::shared_ptr<ShelfRow> held = shelf_[index];
    ShelfRow& row = *held;
    // The row's icon, drawn for the list's box, from the last icon the tool names (the densest);
    // the logo where the package has none to show.
    row.image = 0;
    const auto side = static_cast<std::uint32_t>(Scaled(kRowIcon));
    for (auto member = row.iconMembers.rbegin(); member != row.iconMembers.rend(); ++member) {
        RgbaImage icon;
        try {
            const bool loaded = row.bundle
                                    ? LoadBundleIcon(*row.bundle, *member, side, WindowsZipPlatform(), icon, dpi_)
                                    : LoadPackageIcon(row.path, *member, side, WindowsZipPlatform(), icon, dpi_);
            if (!loaded)
                continue;
        } catch (const std::exception&) {
            break; // the package could not be opened for its icon: the logo stands
        }
        const UniqueGdiObject bitmap = MakeIconBitmap(Squared(icon, side));
        if (bitmap)
            row.image = std::max(ImageList_Add(shelfIcons_.Get(), static_cast<HBITMAP>(bitmap.Get()), nullptr), 0);
        break;
    }
    const LeadByteTest isLeadByte = [this](unsigned char b) { return system_.IsLeadByte(b); };
    const std::string name = row.appName.empty() ? ExtractFileName(row.path, isLeadByte) : row.appName;
    if (static_cast<std::size_t>(SendMessageA(lvPackages, LVM_GETITEMCOUNT, 0, 0)) <= index) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(index);
        item.iImage = row.image;
        item.pszText = const_cast<char*>(name.c_str());
        SendMessageA(lvPackages, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    } else {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(index);
        item.iImage = row.image;
        item.pszText = const_cast<char*>(name.c_str());
        SendMessageA(lvPackages, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetItemText(lvPackages, index, 1, row.problem.empty() ? row.versionName : std::string("无法读取"));
    SetItemText(lvPackages, index, 2, row.sizeText);
    SetItemText(lvPackages, index, 3, ShortSignatureVerdict(row.signature));
}

void TfrmMain::LayOutShelf() {
    HWND header = reinterpret_cast<HWND>(SendMessageA(lvPackages, LVM_GETHEADER, 0, 0));
    const bool made = header != nullptr && SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) > 0;
    if (!made)
        SendMessageA(lvPackages, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                     LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = i >= 1 && i <= 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = Scaled(kShelfColumnWidths[i]);
        column.pszText = const_cast<char*>(kShelfColumns[i]);
        SendMessageA(lvPackages, made ? LVM_SETCOLUMNA : LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
    // The icons are drawn again for the density: sharp at every scaling, as the facts panel's.
    const int side = Scaled(kRowIcon);
    shelfIcons_.Reset(ImageList_Create(side, side, ILC_COLOR32, 8, 8));
    ImageList_ReplaceIcon(shelfIcons_.Get(), -1, logo32_.Get());
    SendMessageA(lvPackages, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(shelfIcons_.Get()));
    for (std::size_t i = 0; i < shelf_.size(); ++i)
        FillShelfItem(i);
}

void TfrmMain::SelectShelfRow(std::size_t row) {
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(lvPackages, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(lvPackages, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageA(lvPackages, LVM_ENSUREVISIBLE, row, FALSE);
    ShowShelfFacts(row);
}

void TfrmMain::ShowShelfFacts(std::size_t index) {
    if (index >= shelf_.size())
        return;
    const std::shared_ptr<ShelfRow> held = shelf_[index];
    const ShelfRow& row = *held;
    // The fields and icon are the row's alone; the last run's table stays behind the note.
    for (HWND field : {lblAppName, lblAppVersion, lblSysRequest, lblFileSize, lblPackageName})
        SetCaption(field, "未知");
    SetApkIcon(UniqueGdiObject(), SIZE{0, 0});
    ApkFileName = row.path;
    PackageName = row.packageName;
    SetCaption(lblFileSize, row.sizeText.empty() ? "未知" : row.sizeText);
    if (!row.packageName.empty())
        SetCaption(lblPackageName, row.packageName);
    if (!row.appName.empty())
        SetCaption(lblAppName, row.appName);
    if (!row.versionName.empty())
        SetCaption(lblAppVersion, row.versionName);
    if (!row.sdkLabel.empty())
        SetCaption(lblSysRequest, row.sdkLabel);
    for (auto member = row.iconMembers.rbegin(); member != row.iconMembers.rend(); ++member) {
        RgbaImage icon;
        try {
            const bool loaded = row.bundle
                                    ? LoadBundleIcon(*row.bundle, *member, IconBox(), WindowsZipPlatform(), icon, dpi_)
                                    : LoadPackageIcon(row.path, *member, IconBox(), WindowsZipPlatform(), icon, dpi_);
            if (!loaded)
                continue;
        } catch (const std::exception&) {
            break;
        }
        if (UniqueGdiObject bitmap = MakeIconBitmap(icon))
            SetApkIcon(std::move(bitmap), SIZE{static_cast<LONG>(icon.width), static_cast<LONG>(icon.height)});
        break;
    }
    if (!row.problem.empty())
        ShowPhoneReason(row.path + "：" + row.problem, row.path + "：" + row.problem);
}

void TfrmMain::RemoveSelectedRows() {
    if (inspecting_)
        return; // the rows are being read: their places must hold
    StopShelfSignatures();
    std::size_t next = shelf_.size();
    for (int i = static_cast<int>(shelf_.size()) - 1; i >= 0; --i) {
        if (SendMessageA(lvPackages, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) == 0)
            continue;
        SendMessageA(lvPackages, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
        shelf_.erase(shelf_.begin() + i); // a bundle's temporary folder goes with its row
        next = static_cast<std::size_t>(i);
    }
    if (shelf_.empty()) {
        ResetFacts();
        ApkFileName.clear();
        ShowPhoneReason("列表已空：请拖入或打开安装包。", std::string());
        return;
    }
    StartShelfSignatures();
    SelectShelfRow(std::min(next, shelf_.size() - 1));
    ShowPhoneReason("列表中有 " + std::to_string(shelf_.size()) + " 个安装包。", std::string());
}

void TfrmMain::TakeHandedOver(const std::vector<std::string>& paths) {
    if (paths.empty())
        return;
    // What is on show joins the list: the first instance's package comes first.
    if (!shelfShown_) {
        std::vector<std::string> all;
        // The panel's own style: the window itself may not be on screen yet.
        if (!ApkFileName.empty() && (GetWindowLongA(PanelInstall, GWL_STYLE) & WS_VISIBLE) != 0)
            all.push_back(ApkFileName);
        all.insert(all.end(), paths.begin(), paths.end());
        ShowWindow(PanelDefault, SW_HIDE);
        ShowWindow(PanelInstall, SW_SHOW);
        ShowShelf(all);
        return;
    }
    AddToShelf(paths);
}

void TfrmMain::HandleShelfNotify(const NMHDR& header) {
    switch (header.code) {
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
            !(change.uOldState & LVIS_SELECTED) && change.iItem >= 0)
            ShowShelfFacts(static_cast<std::size_t>(change.iItem));
        break;
    }
    case NM_DBLCLK: {
        const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
        if (activate.iItem >= 0)
            ShowRowPermissions(static_cast<std::size_t>(activate.iItem));
        break;
    }
    case LVN_GETINFOTIPA: {
        // The row's whole verdict (and why it can't be installed), which the narrow columns cut.
        auto& tip = const_cast<NMLVGETINFOTIPA&>(reinterpret_cast<const NMLVGETINFOTIPA&>(header));
        if (tip.iItem < 0 || static_cast<std::size_t>(tip.iItem) >= shelf_.size() || tip.cchTextMax <= 0)
            break;
        const ShelfRow& row = *shelf_[static_cast<std::size_t>(tip.iItem)];
        std::string text = row.problem.empty() ? row.signature : row.problem;
        text = text.substr(0, static_cast<std::size_t>(tip.cchTextMax - 1));
        std::memcpy(tip.pszText, text.c_str(), text.size() + 1);
        break;
    }
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE)
            RemoveSelectedRows();
        break;
    default:
        break;
    }
}

namespace {

struct PermissionsState {
    bool done = false;
};

LRESULT CALLBACK PermissionsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<PermissionsState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (state != nullptr && (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL))) {
        state->done = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct WindowTraits {
    using Type = HWND;
    static Type Invalid() { return nullptr; }
    static void Close(Type window) { DestroyWindow(window); }
};

} // namespace

void TfrmMain::ShowRowPermissions(std::size_t index) {
    if (index >= shelf_.size() || permissionsWindow_ != nullptr)
        return;
    const ShelfRow& row = *shelf_[index];
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = PermissionsProc;
        windowClass.hInstance = instance_;
        windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kPermissionsClass;
        RegisterClassExA(&windowClass);
        registered = true;
    }
    // The permission box's own size and place, over the list it stands for.
    constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT outer = {0, 0, Scaled(300), Scaled(290)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    RECT list;
    GetWindowRect(GroupBoxPackages, &list);
    const std::string title = "权限描述：" + (row.appName.empty() ? row.path : row.appName);
    UniqueResource<WindowTraits> window(CreateWindowExA(kExStyle, kPermissionsClass, title.c_str(), kStyle, list.left,
                                                        list.top, outer.right - outer.left, outer.bottom - outer.top,
                                                        handle_, nullptr, instance_, nullptr));
    if (!window)
        return;
    PermissionsState state;
    SetWindowLongPtrA(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    const LayoutBox boxPlace = ScaleBox(LayoutBox{8, 8, 284, 240}, dpi_);
    const HWND box =
        CreateWindowExA(WS_EX_CLIENTEDGE, RICHEDIT_CLASSA, "",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, boxPlace.left,
                        boxPlace.top, boxPlace.width, boxPlace.height, window.Get(), nullptr, instance_, nullptr);
    const LayoutBox closePlace = ScaleBox(LayoutBox{220, 256, 72, 26}, dpi_);
    const HWND close =
        CreateWindowExA(0, "BUTTON", "关闭", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, closePlace.left,
                        closePlace.top, closePlace.width, closePlace.height, window.Get(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance_, nullptr);
    SendMessageA(close, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_.Get()), FALSE);
    PreparePermissionBox(box);
    WritePermissionRuns(box, row.permissions);
    SendMessageA(box, EM_SETSEL, 0, 0);
    SendMessageA(box, EM_SCROLLCARET, 0, 0);

    // Modal: the window takes no input until this one is closed, on every way out.
    EnableWindow(handle_, FALSE);
    struct Reenable {
        TfrmMain& form;
        ~Reenable() {
            form.permissionsWindow_ = nullptr;
            if (form.handle_ != nullptr) {
                EnableWindow(form.handle_, TRUE);
                SetActiveWindow(form.handle_);
            }
        }
    } reenable{*this};
    permissionsWindow_ = window.Get();
    ShowWindow(window.Get(), SW_SHOW);
    SetFocus(close);
    MSG message;
    while (!state.done && IsWindow(window.Get()) && !closed_) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0)
            break;
        if (IsDialogMessageA(window.Get(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    SetWindowLongPtrA(window.Get(), GWLP_USERDATA, 0);
}

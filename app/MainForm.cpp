#include "app/MainForm.h"

#include "app/AppText.h"
#include "app/RegistryUtils.h"
#include "app/Resource.h"
#include "device/ToolCommands.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

namespace {

const char* const kFormClassName = "TfrmMain";
const char* const kPanelClassName = "TVarnelPanel";
constexpr UINT_PTR kTimerExitId = 1;
constexpr UINT_PTR kForwardSubclassId = 1;
constexpr UINT_PTR kLinkSubclassId = 2;
constexpr int kFirstControlId = 1000;

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES;
constexpr int kFormLeft = 432;
constexpr int kFormTop = 115;

// The outer size that gives the layout's client area with this system's frame and caption.
SIZE OuterSize() {
    RECT rect = {0, 0, TfrmMain::kClientWidth, TfrmMain::kClientHeight};
    AdjustWindowRectEx(&rect, kFormStyle, FALSE, kFormExStyle);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

bool IsOwnMessageTarget(UINT message) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        return true;
    default:
        return false;
    }
}

// Panels and group boxes hand their children's notifications to the form, which handles them all.
LRESULT ForwardToForm(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsOwnMessageTarget(message))
        return ForwardToForm(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ForwardSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (IsOwnMessageTarget(message))
        return ForwardToForm(window, message, wParam, lParam);
    return DefSubclassProc(window, message, wParam, lParam);
}

std::string RunningProgramPath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

void RegisterWindowClasses(HINSTANCE instance) {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXA form = {};
    form.cbSize = sizeof form;
    form.lpfnWndProc = DefWindowProcA; // replaced per window in Create
    form.hInstance = instance;
    form.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VARNEL));
    form.hIconSm = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_VARNEL), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    form.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClassName;
    RegisterClassExA(&form);

    WNDCLASSEXA panel = {};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = PanelProc;
    panel.hInstance = instance;
    panel.hCursor = form.hCursor;
    panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panel.lpszClassName = kPanelClassName;
    RegisterClassExA(&panel);

    INITCOMMONCONTROLSEX common = {sizeof common, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    registered = true;
}

// The rich edit control lives in its own library, loaded once for the life of the program.
void LoadRichEdit() {
    static UniqueModule richEdit(LoadLibraryA("riched20.dll"));
}

bool IsFormWindow(HWND window) {
    char name[32] = {};
    return window != nullptr && GetClassNameA(window, name, sizeof name) > 0 && lstrcmpA(name, kFormClassName) == 0;
}

} // namespace

struct TfrmMain::ControlLook {
    HWND control;
    TextColor color;
    bool isLabel;
    HFONT font;
};

void ProcessPendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        DispatchWindowMessage(message);
    }
}

void DispatchWindowMessage(MSG& message) {
    // Keyboard navigation (Tab, arrows, the default button) works as in a dialog.
    const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (IsFormWindow(root) && IsDialogMessageA(root, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

namespace {
std::string FolderOf(const std::string& path) {
    const auto lastSlash = path.find_last_of('\\');
    return lastSlash == std::string::npos ? std::string() : path.substr(0, lastSlash + 1);
}
} // namespace

TfrmMain::TfrmMain(HINSTANCE instance, FormSeams seams)
    : instance_(instance), seams_(std::move(seams)),
      exePath_(seams_.exePath.empty() ? RunningProgramPath() : seams_.exePath), exeFolder_(FolderOf(exePath_)),
      system_(WindowsSystem()), runner_(ProcessPendingMessages, [this] { return closed_; }), phoneTools_{exeFolder_, runner_, system_} {}

TfrmMain::~TfrmMain() {
    if (handle_ != nullptr) {
        SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
}

std::unique_ptr<TfrmMain> TfrmMain::Create(HINSTANCE instance, FormSeams seams) {
    RegisterWindowClasses(instance);
    LoadRichEdit();
    std::unique_ptr<TfrmMain> form(new TfrmMain(instance, std::move(seams)));

    const SIZE outer = OuterSize();
    form->handle_ = CreateWindowExA(kFormExStyle, kFormClassName, FormCaption().c_str(), kFormStyle, kFormLeft,
                                    kFormTop, outer.cx, outer.cy, nullptr, nullptr, instance, nullptr);
    if (form->handle_ == nullptr)
        throw VarnelError("Cannot create the main window. " + SystemErrorText(GetLastError()));
    SetWindowLongPtrA(form->handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form.get()));
    SetWindowLongPtrA(form->handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TfrmMain::WindowProc));
    form->CreateControls();
    form->Dispatch([&] { form->FormCreate(); });
    return form;
}

void TfrmMain::Show(int showCommand) {
    ShowWindow(handle_, showCommand);
    UpdateWindow(handle_);
    SetFocus(btnInstall);
}

HFONT TfrmMain::Font(FontKind kind) const {
    switch (kind) {
    case FontKind::Link:
        return static_cast<HFONT>(linkFont_.Get());
    case FontKind::Status:
        return static_cast<HFONT>(statusFont_.Get());
    default:
        return static_cast<HFONT>(defaultFont_.Get());
    }
}

HWND TfrmMain::CreateControl(HWND& field, const char* className, HWND parent, int x, int y, int width, int height,
                             const char* text, DWORD style, DWORD exStyle, FontKind font, const TextColor& color) {
    static int nextId = kFirstControlId;
    field = CreateWindowExA(exStyle, className, text, WS_CHILD | style, x, y, width, height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)), instance_, nullptr);
    if (field == nullptr)
        throw VarnelError(std::string("Cannot create the control ") + className + ". " +
                          SystemErrorText(GetLastError()));
    SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(Font(font)), FALSE);
    const bool isLabel = lstrcmpA(className, "STATIC") == 0 && (style & SS_OWNERDRAW) != SS_OWNERDRAW;
    looks_.push_back(std::make_unique<ControlLook>(ControlLook{field, color, isLabel, Font(font)}));
    return field;
}

void TfrmMain::CreateControls() {
    defaultFont_.Reset(CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
    linkFont_.Reset(CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体"));
    statusFont_.Reset(CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体"));
    faceBrush_.Reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    logo128_.Reset(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_FORM128), IMAGE_ICON, 128, 128, 0)));
    logo64_.Reset(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_FORM64), IMAGE_ICON, 64, 64, 0)));
    logo32_.Reset(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_FORM32), IMAGE_ICON, 32, 32, 0)));
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_.Get()), FALSE);

    const FontKind def = FontKind::Default;
    const TextColor text = kWindowTextColor;
    const DWORD visible = WS_VISIBLE;
    const DWORD panel = visible | WS_CLIPSIBLINGS;
    const DWORD panelEx = WS_EX_CONTROLPARENT;
    const DWORD group = visible | BS_GROUPBOX;
    const DWORD image = visible | SS_OWNERDRAW;
    const DWORD label = visible | SS_LEFT | SS_NOPREFIX;
    const DWORD link = label | SS_NOTIFY;
    const DWORD field = visible | WS_TABSTOP | ES_LEFT | ES_READONLY | ES_AUTOHSCROLL;
    const DWORD button = visible | WS_TABSTOP | BS_PUSHBUTTON;

    // The content area: two panels on top of each other, the install panel above.
    CreateControl(PanelDefault, kPanelClassName, handle_, 0, 0, 567, 240, "", panel, panelEx, def, text);
    CreateControl(GBoxInfo, "BUTTON", PanelDefault, 8, 0, 553, 241, "", group, panelEx, def, text);
    CreateControl(Image2, "STATIC", GBoxInfo, 216, 16, 128, 128, "", image, 0, def, text);
    CreateControl(btnSelApkFile, "BUTTON", GBoxInfo, 165, 152, 225, 41, "选择APK文件进行安装", button, 0, def, text);

    CreateControl(PanelInstall, kPanelClassName, handle_, 0, 0, 567, 240, "", panel, panelEx, def, text);
    CreateControl(GroupBoxPermission, "BUTTON", PanelInstall, 280, 8, 281, 233, "权限描述", group, panelEx, def, text);
    CreateControl(txtPermissionInfo, RICHEDIT_CLASSA, GroupBoxPermission, 16, 20, 249, 202, "",
                  visible | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, WS_EX_CLIENTEDGE,
                  def, text);
    CreateControl(GroupBoxBasic, "BUTTON", PanelInstall, 8, 8, 257, 233, "基本信息", group, panelEx, def, text);
    CreateControl(imgShowIcon, "STATIC", GroupBoxBasic, 64, 14, 72, 72, "", image, 0, def, text);
    CreateControl(Label1, "STATIC", GroupBoxBasic, 19, 94, 60, 13, "应用名称：", label, 0, def, text);
    CreateControl(Label2, "STATIC", GroupBoxBasic, 19, 121, 60, 13, "应用版本：", label, 0, def, text);
    CreateControl(Label3, "STATIC", GroupBoxBasic, 19, 150, 60, 13, "系统要求：", label, 0, def, text);
    CreateControl(Label4, "STATIC", GroupBoxBasic, 19, 179, 60, 13, "应用大小：", label, 0, def, text);
    CreateControl(Label5, "STATIC", GroupBoxBasic, 19, 208, 60, 13, "应用包名：", label, 0, def, text);
    CreateControl(lblAppName, "EDIT", GroupBoxBasic, 88, 93, 161, 21, "未知", field, 0, def, text);
    CreateControl(lblAppVersion, "EDIT", GroupBoxBasic, 88, 120, 161, 21, "未知", field, 0, def, text);
    CreateControl(lblSysRequest, "EDIT", GroupBoxBasic, 88, 149, 161, 21, "未知", field, 0, def, text);
    CreateControl(lblFileSize, "EDIT", GroupBoxBasic, 88, 179, 161, 21, "未知", field, 0, def, text);
    CreateControl(lblPackageName, "EDIT", GroupBoxBasic, 88, 207, 161, 21, "未知", field, 0, def, text);

    // The button row, bottom-aligned and lowest.
    CreateControl(PanelBtn, kPanelClassName, handle_, 0, 280, 567, 51, "", panel, panelEx, def, text);
    CreateControl(lblGoMarket, "STATIC", PanelBtn, 2, 12, 104, 13, "【软件游戏下载】", link, 0, FontKind::Link, kMaroon);
    CreateControl(lblDownDriver, "STATIC", PanelBtn, 102, 12, 104, 13, "【下载手机驱动】", link, 0, FontKind::Link,
                  kMaroon);
    CreateControl(lblHelp, "STATIC", PanelBtn, 202, 12, 52, 13, "【帮助】", link, 0, FontKind::Link, kMaroon);
    CreateControl(lblCheckUpdate, "STATIC", PanelBtn, 251, 12, 52, 13, "【更新】", link, 0, FontKind::Link, kMaroon);
    CreateControl(btnInstall, "BUTTON", PanelBtn, 326, 8, 72, 36, "安装", button | BS_DEFPUSHBUTTON, 0, def, text);
    // Built and wired like the others, but nothing ever shows it.
    CreateControl(btnUninstall, "BUTTON", PanelBtn, 239, 32, 60, 36, "卸载", button & ~WS_VISIBLE, 0, def, text);
    CreateControl(btnClose, "BUTTON", PanelBtn, 488, 8, 72, 36, "关闭", button, 0, def, text);
    CreateControl(btnOpenApk, "BUTTON", PanelBtn, 407, 8, 72, 36, "打开APK", button, 0, def, text);
    CreateControl(ckbIsClose, "BUTTON", PanelBtn, 16, 31, 177, 17, "安装完毕后关闭Varnel",
                  visible | WS_TABSTOP | BS_AUTOCHECKBOX, 0, def, text);
    SendMessageA(ckbIsClose, BM_SETCHECK, BST_CHECKED, 0);

    // The status panel above it.
    CreateControl(PanelStatus, kPanelClassName, handle_, 0, 240, 567, 40, "", panel, panelEx, def, text);
    CreateControl(GroupBox1, "BUTTON", PanelStatus, 8, 0, 553, 40, "", group, panelEx, def, text);
    CreateControl(Image1, "STATIC", GroupBox1, 3, 7, 32, 32, "", image, 0, def, text);
    CreateControl(lblHintInfo, "STATIC", GroupBox1, 41, 16, 192, 12, "可以将APK文件拖到窗体上进行安装.", label, 0,
                  FontKind::Status, text);
    CreateControl(lblExit, "STATIC", GroupBox1, 318, 16, 195, 13, "安装成功！Varnel将在5秒后退出!(点击取消)",
                  link & ~WS_VISIBLE, 0, def, kGreen);
    CreateControl(lblDownHint, "STATIC", GroupBox1, 456, 16, 87, 13, "点击下载驱动.    ", link & ~WS_VISIBLE, 0, def,
                  kMaroon);
    // Beside the status line, placed after its text when shown; a text too long for the panel ends
    // in an ellipsis, and its tooltip holds it whole.
    CreateControl(lblReason, "STATIC", GroupBox1, 241, 16, 300, 13, "", (link & ~WS_VISIBLE) | SS_ENDELLIPSIS, 0,
                  FontKind::Status, kMaroon);
    LookOf(lblReason)->isLabel = false;

    for (HWND box : {GBoxInfo, GroupBoxPermission, GroupBoxBasic, GroupBox1})
        SetWindowSubclass(box, ForwardSubclassProc, kForwardSubclassId, 0);
    for (HWND linkLabel : {lblGoMarket, lblDownDriver, lblHelp, lblCheckUpdate, lblDownHint})
        SetWindowSubclass(linkLabel, LinkSubclassProc, kLinkSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(lblReason, ReasonSubclassProc, kLinkSubclassId, reinterpret_cast<DWORD_PTR>(this));
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                               0, handle_, nullptr, instance_, nullptr);
    if (tooltip_ != nullptr) {
        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = handle_;
        tool.uId = reinterpret_cast<UINT_PTR>(lblReason);
        tool.lpszText = const_cast<char*>("");
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 480);
    }

    // The permission box: the layout's base font in the GB2312 character set, room for any package.
    CHARFORMATA base = {};
    base.cbSize = sizeof base;
    base.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_COLOR;
    base.dwEffects = CFE_AUTOCOLOR;
    base.yHeight = 8 * 20;
    base.bCharSet = GB2312_CHARSET;
    lstrcpynA(base.szFaceName, "MS Sans Serif", LF_FACESIZE);
    SendMessageA(txtPermissionInfo, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&base));
    SendMessageA(txtPermissionInfo, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&base));
    SendMessageA(txtPermissionInfo, EM_EXLIMITTEXT, 0, 4 * 1024 * 1024);

    for (auto& look : looks_) {
        if (look->isLabel)
            AutoSizeLabel(look->control);
    }

    // Tab order within each container; controls without a place in it keep their creation order.
    ApplyTabOrder({PanelBtn, PanelStatus, PanelDefault, PanelInstall});
    ApplyTabOrder({GroupBoxBasic, GroupBoxPermission});
    ApplyTabOrder({lblAppName, lblAppVersion, lblSysRequest, lblFileSize, lblPackageName});
    ApplyTabOrder({btnInstall, btnUninstall, btnClose, btnOpenApk, ckbIsClose});
    // The driver hint was laid out above the exit notice where the two overlap.
    SetWindowPos(lblDownHint, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(PanelInstall, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmMain::ApplyTabOrder(const std::vector<HWND>& order) {
    // Keyboard navigation follows the window order; the first control goes first.
    HWND after = HWND_TOP;
    for (HWND control : order) {
        SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control;
    }
}

TfrmMain::ControlLook* TfrmMain::LookOf(HWND control) const {
    for (const auto& look : looks_) {
        if (look->control == control)
            return look.get();
    }
    return nullptr;
}

void TfrmMain::AutoSizeLabel(HWND labelControl) {
    // Labels take the size of their text, as the layout's label sizes are those of their texts.
    const ControlLook* look = LookOf(labelControl);
    if (look == nullptr || !look->isLabel)
        return;
    const std::string text = GetCaption(labelControl);
    WindowDC dc(labelControl);
    if (dc.Get() == nullptr)
        return;
    SelectedObject font(dc.Get(), look->font);
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc.Get(), &metrics);
    SetWindowPos(labelControl, nullptr, 0, 0, std::max<LONG>(extent.cx, 1), metrics.tmHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::SetCaption(HWND control, const std::string& text) {
    SetWindowTextA(control, text.c_str());
    AutoSizeLabel(control);
    InvalidateRect(control, nullptr, TRUE);
}

std::string TfrmMain::GetCaption(HWND control) const {
    // Some controls count characters rather than bytes here, so room is made for double-byte text.
    const int length = GetWindowTextLengthA(control);
    std::string text(static_cast<std::size_t>(length) * 2 + 1, '\0');
    const int copied = GetWindowTextA(control, &text[0], length * 2 + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

void TfrmMain::SetFontColor(HWND control, const TextColor& color) {
    if (ControlLook* look = LookOf(control)) {
        look->color = color;
        InvalidateRect(control, nullptr, TRUE);
    }
}

TextColor TfrmMain::GetFontColor(HWND control) const {
    const ControlLook* look = LookOf(control);
    return look != nullptr ? look->color : kWindowTextColor;
}

bool TfrmMain::IsTicked(HWND checkBox) const { return SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TfrmMain::SetTicked(HWND checkBox, bool ticked) {
    if (IsTicked(checkBox) == ticked)
        return;
    SendMessageA(checkBox, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (checkBox == ckbIsClose)
        ckbIsCloseClick();
}

void TfrmMain::SetAppCursor(HCURSOR cursor) {
    appCursor_ = cursor;
    SetCursor(cursor != nullptr ? cursor : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
}

void TfrmMain::ReportError(const std::string& message) {
    const std::string text = WithFullStop(message);
    if (seams_.reportError) {
        seams_.reportError(text);
        return;
    }
    MessageBoxA(closed_ ? nullptr : handle_, text.c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
}

void TfrmMain::Dispatch(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        ReportError("Unexpected error");
    }
}

void TfrmMain::FormCreate() {
    ApkFileName.clear();
    PackageName.clear();
    DragAcceptFiles(handle_, TRUE);
    PermissionList.clear();
    IniFile = std::make_unique<::IniFile>(exeFolder_ + "PermissionInfo.cfg");

    if (IniFile->ReadString("ApplicationConfig", "IsCloseAfterInstall", "") == "false")
        SetTicked(ckbIsClose, false);

    const std::string commandLine = seams_.useCommandLine ? seams_.commandLine : std::string(GetCommandLineA());
    const StartupArguments arguments = ReadStartupCommandLine(commandLine);
    if (arguments.plainStart) {
        ShowWindow(PanelDefault, SW_SHOW);
        ShowWindow(PanelInstall, SW_HIDE);
        TRegistryUtils registry;
        registry.RegisterFileType(".apk", exePath_, "Quorlyapk", exePath_ + ",0", "android APK程序");
        return;
    }
    ShowWindow(PanelDefault, SW_HIDE);
    ShowWindow(PanelInstall, SW_SHOW);
    ApkFileName = arguments.apkFileName;
    InspectApk(ApkFileName);
}

void TfrmMain::FormResize() {
    // The layout is fixed: any other outer size snaps back at once.
    const SIZE outer = OuterSize();
    RECT rect;
    GetWindowRect(handle_, &rect);
    if (rect.bottom - rect.top != outer.cy)
        SetWindowPos(handle_, nullptr, 0, 0, rect.right - rect.left, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(handle_, &rect);
    if (rect.right - rect.left != outer.cx)
        SetWindowPos(handle_, nullptr, 0, 0, outer.cx, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::FormClose() {
    IniFile.reset();
    SetTimerExitEnabled(false);
    timerExitDestroyed_ = true;
}

void TfrmMain::btnCloseClick() { TerminateApplication(); }

void TfrmMain::TerminateApplication() {
    if (seams_.terminateApplication)
        seams_.terminateApplication();
    else
        PostQuitMessage(0);
}

void TfrmMain::SetTimerExitEnabled(bool enabled) {
    if (timerExitDestroyed_ || handle_ == nullptr)
        return;
    if (enabled && !timerExitEnabled_)
        SetTimer(handle_, kTimerExitId, 1000, nullptr);
    else if (!enabled && timerExitEnabled_)
        KillTimer(handle_, kTimerExitId);
    timerExitEnabled_ = enabled;
}

void TfrmMain::DrawImage(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    const RECT& rect = item.rcItem;
    FillRect(dc, &rect, static_cast<HBRUSH>(faceBrush_.Get()));
    if (item.hwndItem == Image2) {
        DrawIconEx(dc, 0, 0, logo128_.Get(), rect.right - rect.left, rect.bottom - rect.top, 0, nullptr, DI_NORMAL);
    } else if (item.hwndItem == Image1) {
        DrawIconEx(dc, 0, 0, logo32_.Get(), rect.right - rect.left, rect.bottom - rect.top, 0, nullptr, DI_NORMAL);
    } else if (item.hwndItem == imgShowIcon) {
        if (!apkIcon_) {
            // The placeholder at its own size from the top-left corner, not stretched.
            DrawIconEx(dc, 0, 0, logo64_.Get(), 64, 64, 0, nullptr, DI_NORMAL);
            return;
        }
        const HDC memory = CreateCompatibleDC(dc);
        if (memory == nullptr)
            return;
        {
            SelectedObject picture(memory, apkIcon_.Get());
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            AlphaBlend(dc, 0, 0, apkIconSize_.cx, apkIconSize_.cy, memory, 0, 0, apkIconSize_.cx, apkIconSize_.cy,
                       blend);
        }
        DeleteDC(memory);
    }
}

void TfrmMain::SetApkIcon(UniqueGdiObject bitmap, SIZE size) {
    apkIcon_ = std::move(bitmap);
    apkIconSize_ = apkIcon_ ? size : SIZE{0, 0};
    InvalidateRect(imgShowIcon, nullptr, TRUE);
}

void TfrmMain::ResetFacts() {
    // A new package must not show the last one's facts where its own output is silent.
    for (HWND field : {lblAppName, lblAppVersion, lblSysRequest, lblFileSize, lblPackageName})
        SetCaption(field, "未知");
    PackageName.clear();
    requiredAndroid_.clear();
    SetApkIcon(UniqueGdiObject(), SIZE{0, 0});
}

bool TfrmMain::IsLink(HWND control) const {
    return control == lblGoMarket || control == lblDownDriver || control == lblHelp || control == lblCheckUpdate ||
           control == lblDownHint;
}

LRESULT CALLBACK TfrmMain::ReasonSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data) {
    auto* form = reinterpret_cast<TfrmMain*>(data);
    // The hand says the note opens adb's whole text; the busy cursor, while it is set, wins.
    if (message == WM_SETCURSOR && form->appCursor_ == nullptr && !form->reasonDetails_.empty()) {
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))); // IDC_HAND
        return TRUE;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(window, ReasonSubclassProc, kLinkSubclassId);
    return DefSubclassProc(window, message, wParam, lParam);
}

void TfrmMain::ShowPhoneReason(const std::string& text, const std::string& details) {
    reasonDetails_ = text.empty() ? std::string() : details;
    SetCaption(lblReason, text);
    if (tooltip_ != nullptr) {
        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = handle_;
        tool.uId = reinterpret_cast<UINT_PTR>(lblReason);
        tool.lpszText = const_cast<char*>(text.c_str());
        SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (text.empty()) {
        ShowWindow(lblReason, SW_HIDE);
        return;
    }
    // After the status line's text, to the panel's right edge.
    RECT status;
    GetWindowRect(lblHintInfo, &status);
    MapWindowPoints(nullptr, GroupBox1, reinterpret_cast<POINT*>(&status), 2);
    RECT panel;
    GetClientRect(GroupBox1, &panel);
    const int gap = (status.bottom - status.top) * 2 / 3;
    const int left = status.right + gap;
    const int right = panel.right - gap;
    SetWindowPos(lblReason, HWND_TOP, left, status.top, std::max(right - left, 1), status.bottom - status.top,
                 SWP_NOACTIVATE);
    ShowWindow(lblReason, SW_SHOW);
}

void TfrmMain::lblReasonClick() {
    if (reasonDetails_.empty())
        return;
    if (seams_.showDetails)
        seams_.showDetails(reasonDetails_);
    else
        MessageBoxA(handle_, reasonDetails_.c_str(), kApplicationTitle, MB_OK | MB_ICONINFORMATION);
}

void TfrmMain::ShowReadyStatus() {
    if (aaptMissing_) {
        SetFontColor(lblHintInfo, kRed);
        SetCaption(lblHintInfo, "找不到aapt.exe，请把它放进程序所在的adb文件夹。");
        ShowPhoneReason(exeFolder_ + "adb\\", "aapt.exe " + AaptPath(exeFolder_));
    } else {
        SetFontColor(lblHintInfo, kWindowTextColor);
        SetCaption(lblHintInfo, "点击“安装”按钮进行安装...");
        ShowPhoneReason(std::string(), std::string());
    }
    ShowWindow(lblDownHint, SW_HIDE);
}

LRESULT CALLBACK TfrmMain::LinkSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    auto* form = reinterpret_cast<TfrmMain*>(data);
    if (message == WM_MOUSEMOVE && form->hoveredLink_ != window) {
        form->hoveredLink_ = window;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        form->Dispatch([&] { form->LinkMouseEnter(window); });
    } else if (message == WM_MOUSELEAVE && form->hoveredLink_ == window) {
        form->hoveredLink_ = nullptr;
        form->Dispatch([&] { form->LinkMouseLeave(window); });
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, LinkSubclassProc, kLinkSubclassId);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK TfrmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<TfrmMain*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return form->HandleMessage(message, wParam, lParam);
}

void TfrmMain::HandleCommand(HWND control, WORD code) {
    if (code == BN_CLICKED) {
        if (control == btnSelApkFile)
            Dispatch([this] { btnSelApkFileClick(); });
        else if (control == btnOpenApk)
            Dispatch([this] { btnOpenApkClick(); });
        else if (control == btnInstall)
            Dispatch([this] { btnInstallClick(); });
        else if (control == btnUninstall)
            Dispatch([this] { btnUninstallClick(); });
        else if (control == btnClose)
            Dispatch([this] { btnCloseClick(); });
        else if (control == ckbIsClose)
            Dispatch([this] { ckbIsCloseClick(); });
        else if (control == lblExit)
            Dispatch([this] { lblExitClick(); });
        else if (control == lblReason)
            Dispatch([this] { lblReasonClick(); });
        else if (IsLink(control))
            Dispatch([this, control] { LinkClick(control); });
    }
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = handle_;
    switch (message) {
    case WM_COMMAND:
        if (lParam != 0)
            HandleCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        const ControlLook* look = LookOf(reinterpret_cast<HWND>(lParam));
        SetTextColor(dc, look != nullptr ? look->color.Resolve() : GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(faceBrush_.Get());
    }
    case WM_DRAWITEM:
        DrawImage(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_DROPFILES: {
        const auto drop = reinterpret_cast<HDROP>(wParam);
        Dispatch([this, drop] { FormDropFiles(drop); });
        return 0;
    }
    case WM_TIMER:
        if (wParam == kTimerExitId)
            Dispatch([this] { TimerExitTimer(); });
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Dispatch([this] { FormResize(); });
        return 0;
    case WM_SETCURSOR:
        if (appCursor_ != nullptr) {
            SetCursor(appCursor_);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        Dispatch([this] { FormClose(); });
        closed_ = true;
        DestroyWindow(handle_);
        return 0;
    case WM_DESTROY:
        closed_ = true;
        // Being the main window, its end is the program's end.
        if (seams_.endProgramOnClose)
            PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        handle_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

UniqueGdiObject MakeIconBitmap(const RgbaImage& image) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(image.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(image.height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr)
        return UniqueGdiObject();
    auto* out = static_cast<uint8_t*>(bits);
    const size_t count = size_t(image.width) * image.height;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* px = &image.pixels[i * 4];
        const unsigned alpha = px[3];
        out[i * 4 + 0] = static_cast<uint8_t>((px[2] * alpha + 127) / 255);
        out[i * 4 + 1] = static_cast<uint8_t>((px[1] * alpha + 127) / 255);
        out[i * 4 + 2] = static_cast<uint8_t>((px[0] * alpha + 127) / 255);
        out[i * 4 + 3] = static_cast<uint8_t>(alpha);
    }
    return bitmap;
}

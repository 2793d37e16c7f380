#include "app/MainForm.h"

#include "app/AppText.h"
#include "app/DpiAwareness.h"
#include "app/Gathering.h"
#include "app/LayoutScale.h"
#include "app/RegistryUtils.h"
#include "app/ShelfRow.h"
#include "app/Resource.h"
#include "app/SignatureCheck.h"
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

// Window styles of the layout's kinds of control.
constexpr DWORD kPanel = WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kGroup = WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD kImage = WS_VISIBLE | SS_OWNERDRAW;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kLink = kLabel | SS_NOTIFY;
constexpr DWORD kField = WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_READONLY | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheckBox = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kRichText = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
constexpr DWORD kContainer = WS_EX_CONTROLPARENT;
constexpr DWORD kList = WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
constexpr UINT_PTR kHandOverTimerId = 2;

// The pictures' own sizes at 96 DPI.
constexpr int kLogoLarge = 128;
constexpr int kLogoPlaceholder = 64;
constexpr int kLogoSmall = 32;

// The pixel heights of the layout's fonts at 96 DPI.
constexpr int kDefaultFontHeight = -11;
constexpr int kLinkFontHeight = -13;
constexpr int kStatusFontHeight = -12;

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
    FontKind font;
};

struct TfrmMain::LayoutRow {
    HWND TfrmMain::*field;
    const char* className;
    HWND TfrmMain::*parent;
    LayoutBox box; // labels size themselves to their text; theirs is the text's size at 96 DPI
    const char* text;
    DWORD style;
    DWORD exStyle = 0;
    FontKind font = FontKind::Default;
    TextColor color = kWindowTextColor;
};

namespace {
using F = TfrmMain;
} // namespace

// Later rows lie on top of earlier ones where they overlap.
// clang-format off
const TfrmMain::LayoutRow TfrmMain::kLayout[] = {
    // The content area: two panels on top of each other, the install panel above.
    {&F::PanelDefault, kPanelClassName, &F::handle_, {0, 0, 567, 240}, "", kPanel, kContainer},
    {&F::GBoxInfo, "BUTTON", &F::PanelDefault, {8, 0, 553, 241}, "", kGroup, kContainer},
    {&F::Image2, "STATIC", &F::GBoxInfo, {216, 16, 128, 128}, "", kImage},
    {&F::btnSelApkFile, "BUTTON", &F::GBoxInfo, {165, 152, 225, 41}, "选择APK文件进行安装", kButton},

    {&F::PanelInstall, kPanelClassName, &F::handle_, {0, 0, 567, 240}, "", kPanel, kContainer},
    {&F::GroupBoxPermission, "BUTTON", &F::PanelInstall, {280, 8, 281, 233}, "权限描述", kGroup, kContainer},
    {&F::txtPermissionInfo, RICHEDIT_CLASSA, &F::GroupBoxPermission, {16, 20, 249, 202}, "", kRichText,
     WS_EX_CLIENTEDGE},
    {&F::GroupBoxBasic, "BUTTON", &F::PanelInstall, {8, 8, 257, 233}, "基本信息", kGroup, kContainer},
    {&F::imgShowIcon, "STATIC", &F::GroupBoxBasic, {64, 14, 72, 72}, "", kImage},
    {&F::Label1, "STATIC", &F::GroupBoxBasic, {19, 94, 60, 13}, "应用名称：", kLabel},
    {&F::Label2, "STATIC", &F::GroupBoxBasic, {19, 121, 60, 13}, "应用版本：", kLabel},
    {&F::Label3, "STATIC", &F::GroupBoxBasic, {19, 150, 60, 13}, "系统要求：", kLabel},
    {&F::Label4, "STATIC", &F::GroupBoxBasic, {19, 179, 60, 13}, "应用大小：", kLabel},
    {&F::Label5, "STATIC", &F::GroupBoxBasic, {19, 208, 60, 13}, "应用包名：", kLabel},
    {&F::lblAppName, "EDIT", &F::GroupBoxBasic, {88, 93, 161, 21}, "未知", kField},
    {&F::lblAppVersion, "EDIT", &F::GroupBoxBasic, {88, 120, 161, 21}, "未知", kField},
    {&F::lblSysRequest, "EDIT", &F::GroupBoxBasic, {88, 149, 161, 21}, "未知", kField},
    {&F::lblFileSize, "EDIT", &F::GroupBoxBasic, {88, 179, 161, 21}, "未知", kField},
    {&F::lblPackageName, "EDIT", &F::GroupBoxBasic, {88, 207, 161, 21}, "未知", kField},
    // Several packages: their list stands where the permission box stands, shown in its place.
    {&F::GroupBoxPackages, "BUTTON", &F::PanelInstall, {280, 8, 281, 233}, "安装包列表", kGroup & ~WS_VISIBLE,
     kContainer},
    {&F::lvPackages, WC_LISTVIEWA, &F::GroupBoxPackages, {10, 18, 261, 206}, "", kList, WS_EX_CLIENTEDGE},

    // The button row, bottom-aligned and lowest.
    {&F::PanelBtn, kPanelClassName, &F::handle_, {0, 280, 567, 51}, "", kPanel, kContainer},
    {&F::lblGoMarket, "STATIC", &F::PanelBtn, {2, 12, 104, 13}, "【软件游戏下载】", kLink, 0, FontKind::Link, kMaroon},
    {&F::lblDownDriver, "STATIC", &F::PanelBtn, {102, 12, 104, 13}, "【下载手机驱动】", kLink, 0, FontKind::Link,
     kMaroon},
    {&F::lblHelp, "STATIC", &F::PanelBtn, {202, 12, 52, 13}, "【帮助】", kLink, 0, FontKind::Link, kMaroon},
    {&F::lblCheckUpdate, "STATIC", &F::PanelBtn, {251, 12, 52, 13}, "【更新】", kLink, 0, FontKind::Link, kMaroon},
    {&F::btnInstall, "BUTTON", &F::PanelBtn, {326, 8, 72, 36}, "安装", kButton | BS_DEFPUSHBUTTON},
    // Built and wired like the others, but nothing ever shows it.
    {&F::btnUninstall, "BUTTON", &F::PanelBtn, {239, 32, 60, 36}, "卸载", kButton & ~WS_VISIBLE},
    {&F::btnClose, "BUTTON", &F::PanelBtn, {488, 8, 72, 36}, "关闭", kButton},
    {&F::btnOpenApk, "BUTTON", &F::PanelBtn, {407, 8, 72, 36}, "打开APK", kButton},
    {&F::ckbIsClose, "BUTTON", &F::PanelBtn, {16, 31, 177, 17}, "安装完毕后关闭Varnel", kCheckBox},

    // The status panel above it.
    {&F::PanelStatus, kPanelClassName, &F::handle_, {0, 240, 567, 40}, "", kPanel, kContainer},
    {&F::GroupBox1, "BUTTON", &F::PanelStatus, {8, 0, 553, 40}, "", kGroup, kContainer},
    {&F::Image1, "STATIC", &F::GroupBox1, {3, 7, 32, 32}, "", kImage},
    {&F::lblHintInfo, "STATIC", &F::GroupBox1, {41, 16, 192, 12}, "可以将APK文件拖到窗体上进行安装.", kLabel, 0,
     FontKind::Status},
    {&F::lblExit, "STATIC", &F::GroupBox1, {318, 16, 195, 13}, "安装成功！Varnel将在5秒后退出!(点击取消)",
     kLink & ~WS_VISIBLE, 0, FontKind::Default, kGreen},
    {&F::lblDownHint, "STATIC", &F::GroupBox1, {456, 16, 87, 13}, "点击下载驱动.    ", kLink & ~WS_VISIBLE, 0,
     FontKind::Default, kMaroon},
    // Beside the status line, placed after its text when shown; a text too long for the panel ends
    // in an ellipsis, and its tooltip holds it whole.
    {&F::lblReason, "STATIC", &F::GroupBox1, {241, 16, 300, 13}, "", (kLink & ~WS_VISIBLE) | SS_ENDELLIPSIS, 0,
     FontKind::Status, kMaroon},
    // After an install, between the status line and the note: opens the app on the phones.
    {&F::lblOpenApp, "STATIC", &F::GroupBox1, {241, 16, 24, 12}, "打开", kLink & ~WS_VISIBLE, 0, FontKind::Status,
     kMaroon},
};
// clang-format on

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
    signatureWork_.reset(); // the checking threads end before the window does
    shelfSignatureWork_.reset();
    if (handle_ != nullptr) {
        SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
}

std::unique_ptr<TfrmMain> TfrmMain::Create(HINSTANCE instance, FormSeams seams) {
    RegisterWindowClasses(instance);
    LoadRichEdit();
    std::unique_ptr<TfrmMain> form(new TfrmMain(instance, std::move(seams)));

    // Made at the layout's own size first: the density is the monitor's the window lands on.
    const SIZE outer = OuterSizeForClient(kClientWidth, kClientHeight, kFormStyle, kFormExStyle, kLayoutDpi);
    form->handle_ = CreateWindowExA(kFormExStyle, kFormClassName, FormCaption().c_str(), kFormStyle, kFormLeft,
                                    kFormTop, outer.cx, outer.cy, nullptr, nullptr, instance, nullptr);
    if (form->handle_ == nullptr)
        throw VarnelError("Cannot create the main window. " + SystemErrorText(GetLastError()));
    SetWindowLongPtrA(form->handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form.get()));
    SetWindowLongPtrA(form->handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TfrmMain::WindowProc));
    if (form->seams_.windowMade)
        form->seams_.windowMade(form->handle_);
    form->dpi_ = WindowDpi(form->handle_);
    form->CreateControls();
    // Its place on screen scales with everything else, so it sits where it sits at 96 DPI.
    const POINT topLeft = {form->Scaled(kFormLeft), form->Scaled(kFormTop)};
    form->PlaceWindow(&topLeft);
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

int TfrmMain::Scaled(int value) const { return ScaleToDpi(value, dpi_); }

std::uint32_t TfrmMain::IconBox() const { return static_cast<std::uint32_t>(Scaled(static_cast<int>(kIconBox))); }

void TfrmMain::CreateControl(const LayoutRow& row) {
    static int nextId = kFirstControlId;
    const LayoutBox box = ScaleBox(row.box, dpi_);
    HWND& field = this->*row.field;
    field = CreateWindowExA(row.exStyle, row.className, row.text, WS_CHILD | row.style, box.left, box.top, box.width,
                            box.height, this->*row.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)),
                            instance_, nullptr);
    if (field == nullptr)
        throw VarnelError(std::string("Cannot create the control ") + row.className + ". " +
                          SystemErrorText(GetLastError()));
    SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(Font(row.font)), FALSE);
    // Labels size themselves to their text, but for one that ends a long text in an ellipsis.
    const bool isLabel = lstrcmpA(row.className, "STATIC") == 0 && (row.style & SS_OWNERDRAW) != SS_OWNERDRAW &&
                         (row.style & SS_ENDELLIPSIS) == 0;
    looks_.push_back(std::make_unique<ControlLook>(ControlLook{field, row.color, isLabel, row.font}));
}

void TfrmMain::CreateFonts() {
    // The layout's pixel heights are those of a 96-DPI screen.
    const auto make = [this](int height, BYTE charset, const char* face) {
        return UniqueGdiObject(CreateFontA(Scaled(height), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                           DEFAULT_PITCH | FF_DONTCARE, face));
    };
    defaultFont_ = make(kDefaultFontHeight, DEFAULT_CHARSET, "MS Sans Serif");
    linkFont_ = make(kLinkFontHeight, ANSI_CHARSET, "宋体");
    statusFont_ = make(kStatusFontHeight, ANSI_CHARSET, "宋体");
}

void TfrmMain::LoadLogos() {
    // Each icon holds the logo at several sizes; the system picks the one nearest the density's.
    const auto load = [this](int resource, int side) {
        const int scaled = Scaled(side);
        return UniqueIcon(
            static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(resource), IMAGE_ICON, scaled, scaled, 0)));
    };
    logo128_ = load(IDI_FORM128, kLogoLarge);
    logo64_ = load(IDI_FORM64, kLogoPlaceholder);
    logo32_ = load(IDI_FORM32, kLogoSmall);
}

void TfrmMain::CreateControls() {
    CreateFonts();
    LoadLogos();
    faceBrush_.Reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_.Get()), FALSE);

    for (const LayoutRow& row : kLayout)
        CreateControl(row);
    SendMessageA(ckbIsClose, BM_SETCHECK, BST_CHECKED, 0);

    for (HWND box : {GBoxInfo, GroupBoxPermission, GroupBoxBasic, GroupBox1, GroupBoxPackages})
        SetWindowSubclass(box, ForwardSubclassProc, kForwardSubclassId, 0);
    for (HWND linkLabel : {lblGoMarket, lblDownDriver, lblHelp, lblCheckUpdate, lblDownHint, lblOpenApp})
        SetWindowSubclass(linkLabel, LinkSubclassProc, kLinkSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(lblReason, ReasonSubclassProc, kLinkSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(txtPermissionInfo, PermissionSubclassProc, kLinkSubclassId, reinterpret_cast<DWORD_PTR>(this));
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

    PreparePermissionBox(txtPermissionInfo);
    SetRichEditZoom();
    LayOutShelf();

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

void TfrmMain::LayOutControls() {
    for (const LayoutRow& row : kLayout) {
        const HWND control = this->*row.field;
        const LayoutBox box = ScaleBox(row.box, dpi_);
        SetWindowPos(control, nullptr, box.left, box.top, box.width, box.height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        // The permission box takes a font as a change of all its text's format, which would wipe
        // out the permission blocks' styles; its point sizes follow the zoom instead.
        if (control != txtPermissionInfo)
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(row.font)), FALSE);
    }
    for (auto& look : looks_) {
        if (look->isLabel)
            AutoSizeLabel(look->control);
    }
    PlaceReason();
}

void TfrmMain::SetRichEditZoom() {
    // The control turns points into pixels at the system's density; on a monitor of another
    // density the text is zoomed by the ratio of the two, and shown at its points there too.
    const UINT system = SystemDpi();
    if (dpi_ == system)
        SendMessageA(txtPermissionInfo, EM_SETZOOM, 0, 0);
    else
        SendMessageA(txtPermissionInfo, EM_SETZOOM, dpi_, system);
}

void TfrmMain::PlaceWindow(const POINT* topLeft) {
    const SIZE outer = OuterSizeForClient(Scaled(kClientWidth), Scaled(kClientHeight), kFormStyle, kFormExStyle, dpi_);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (topLeft == nullptr)
        flags |= SWP_NOMOVE;
    SetWindowPos(handle_, nullptr, topLeft ? topLeft->x : 0, topLeft ? topLeft->y : 0, outer.cx, outer.cy, flags);
    // The system's idea of the frame may differ from the frame drawn (the size handler measures it).
    FormResize();
}

void TfrmMain::ChangeDpi(UINT dpi, const RECT* suggested) {
    if (dpi == 0)
        return;
    dpi_ = dpi;
    // The controls get the new fonts before the old ones are deleted.
    UniqueGdiObject oldFonts[] = {std::move(defaultFont_), std::move(linkFont_), std::move(statusFont_)};
    CreateFonts();
    LoadLogos();
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_.Get()), FALSE);
    LayOutControls();
    SetRichEditZoom();
    RefitApkIcon();
    LayOutShelf();
    if (suggested != nullptr) {
        const POINT topLeft = {suggested->left, suggested->top};
        PlaceWindow(&topLeft);
    } else {
        PlaceWindow(nullptr);
    }
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
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
    SelectedObject font(dc.Get(), Font(look->font));
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
        // Bundles open in the same program, under the same file type.
        for (const char* bundleExtension : {".apks", ".xapk", ".apkm"})
            registry.RegisterFileType(bundleExtension, exePath_, "Quorlyapk", exePath_ + ",0", "android APK程序");
        return;
    }
    ShowWindow(PanelDefault, SW_HIDE);
    ShowWindow(PanelInstall, SW_SHOW);
    if (arguments.apkFileNames.size() > 1) {
        ShowShelf(arguments.apkFileNames);
        return;
    }
    ApkFileName = arguments.apkFileName;
    InspectApk(ApkFileName);
}

void TfrmMain::FormResize() {
    // The layout is fixed: any other outer size snaps back at once. The outer size is the one that
    // gives the layout's client area at the window's density with the frame the window really has
    // (which differs between systems, and from what they compute for a density they just moved to).
    if (holdingSize_ || handle_ == nullptr)
        return;
    holdingSize_ = true;
    struct Release {
        bool& flag;
        ~Release() { flag = false; }
    } release{holdingSize_};
    const auto frame = [this](RECT& outer) {
        RECT client;
        GetWindowRect(handle_, &outer);
        GetClientRect(handle_, &client);
        return SIZE{(outer.right - outer.left) - client.right, (outer.bottom - outer.top) - client.bottom};
    };
    RECT rect;
    SIZE border = frame(rect);
    const int height = Scaled(kClientHeight) + border.cy;
    if (rect.bottom - rect.top != height)
        SetWindowPos(handle_, nullptr, 0, 0, rect.right - rect.left, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    border = frame(rect);
    const int width = Scaled(kClientWidth) + border.cx;
    if (rect.right - rect.left != width)
        SetWindowPos(handle_, nullptr, 0, 0, width, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::FormClose() {
    StopSignatureCheck();
    StopShelfSignatures();
    IniFile.reset();
    bundle_.reset(); // its temporary folder goes with the window
    shelf_.clear();  // and so do the list's (a row being read goes when its reader lets go)
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
            // The placeholder at its own size (at this density) from the top-left corner.
            const int side = Scaled(kLogoPlaceholder);
            DrawIconEx(dc, 0, 0, logo64_.Get(), side, side, 0, nullptr, DI_NORMAL);
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
    if (!apkIcon_) {
        apkIconPackage_.clear();
        apkIconMember_.clear();
    }
    InvalidateRect(imgShowIcon, nullptr, TRUE);
}

void TfrmMain::ResetFacts() {
    // A new package must not show the last one's facts where its own output is silent.
    for (HWND field : {lblAppName, lblAppVersion, lblSysRequest, lblFileSize, lblPackageName})
        SetCaption(field, "未知");
    PackageName.clear();
    requiredAndroid_.clear();
    versionCode_ = -1;
    versionName_.clear();
    appName_.clear();
    launchableActivity_.clear();
    ShowInstallResults(InstallResults()); // the last package's table and "打开" go with it
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
    PlaceReason();
    ShowWindow(lblReason, SW_SHOW);
}

void TfrmMain::PlaceReason() {
    // After the status line's text: "打开" when it shows, then the note, to the countdown notice
    // when that shows, else to the panel's right edge.
    const auto inPanel = [this](HWND control) {
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, GroupBox1, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    const auto shown = [](HWND control) { return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0; };
    const RECT status = inPanel(lblHintInfo);
    RECT panel;
    GetClientRect(GroupBox1, &panel);
    // What the two covered before they move is painted afresh, the labels beneath included, or a
    // longer text's tail stays.
    const RECT before[] = {inPanel(lblOpenApp), inPanel(lblReason)};
    const int gap = (status.bottom - status.top) * 2 / 3;
    int left = status.right + gap;
    if (shown(lblOpenApp)) {
        const RECT open = inPanel(lblOpenApp);
        SetWindowPos(lblOpenApp, HWND_TOP, left, status.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        left += (open.right - open.left) + gap;
    }
    int right = panel.right - gap;
    if (shown(lblExit))
        right = std::min(right, static_cast<int>(inPanel(lblExit).left) - gap);
    SetWindowPos(lblReason, HWND_TOP, left, status.top, std::max(right - left, 1), status.bottom - status.top,
                 SWP_NOACTIVATE);
    // The group box paints no background of its own: its panel does.
    for (RECT area : before) {
        MapWindowPoints(GroupBox1, PanelStatus, reinterpret_cast<POINT*>(&area), 2);
        RedrawWindow(PanelStatus, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

void TfrmMain::lblReasonClick() {
    // After an install the table of phones; otherwise, and from the table, everything adb printed.
    if (!installResults_.rows.empty())
        ShowResultsTable();
    else if (!reasonDetails_.empty())
        ShowDetails(reasonDetails_);
}

void TfrmMain::ShowReadyStatus() {
    if (aaptMissing_) {
        SetFontColor(lblHintInfo, kRed);
        SetCaption(lblHintInfo, "找不到aapt.exe，请把它放进程序所在的adb文件夹。");
        ShowPhoneReason(exeFolder_ + "adb\\", "aapt.exe " + AaptPath(exeFolder_));
    } else {
        SetFontColor(lblHintInfo, kWindowTextColor);
        SetCaption(lblHintInfo, "点击“安装”按钮进行安装...");
        std::string details;
        const std::string note = bundle_ ? BundleNote(details) : std::string();
        ShowPhoneReason(note, details);
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
        else if (control == lblOpenApp)
            Dispatch([this] { lblOpenAppClick(); });
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
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == lvPackages)
            Dispatch([this, header] { HandleShelfNotify(*header); });
        return 0;
    }
    case WM_COPYDATA: {
        // Taken now and read once the sender has its answer: it waits for it.
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data == nullptr || data->dwData != kHandOverMark || closed_)
            return FALSE;
        for (const std::string& path : SplitHandOver(std::string(static_cast<const char*>(data->lpData), data->cbData)))
            handedOver_.push_back(path);
        SetTimer(handle_, kHandOverTimerId, 50, nullptr);
        if (seams_.packagesArrived)
            seams_.packagesArrived();
        return TRUE;
    }
    case WM_DROPFILES: {
        const auto drop = reinterpret_cast<HDROP>(wParam);
        Dispatch([this, drop] { FormDropFiles(drop); });
        return 0;
    }
    case kSignatureCheckedMessage:
        Dispatch([this, wParam] { SignatureCheckEnded(wParam); });
        return 0;
    case kShelfSignatureMessage:
        Dispatch([this, wParam] { ShelfSignaturesArrived(wParam); });
        return 0;
    case WM_TIMER:
        if (wParam == kTimerExitId)
            Dispatch([this] { TimerExitTimer(); });
        if (wParam == kHandOverTimerId && !inspecting_) {
            // Packages handed over while a package was being read wait for it to end.
            KillTimer(handle_, kHandOverTimerId);
            std::vector<std::string> paths;
            paths.swap(handedOver_);
            Dispatch([this, &paths] { TakeHandedOver(paths); });
        }
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Dispatch([this] { FormResize(); });
        return 0;
    case WM_GETDPISCALEDSIZE: {
        // The size to ask for at the coming density: the layout's, not the old one stretched.
        auto* size = reinterpret_cast<SIZE*>(lParam);
        const UINT dpi = static_cast<UINT>(wParam);
        *size = OuterSizeForClient(ScaleToDpi(kClientWidth, dpi), ScaleToDpi(kClientHeight, dpi), kFormStyle,
                                   kFormExStyle, dpi);
        return TRUE;
    }
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        Dispatch([this, wParam, suggested] { ChangeDpi(LOWORD(wParam), suggested); });
        return 0;
    }
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

#include "app/ResultsWindow.h"

#include "app/LayoutScale.h"
#include "device/Win32Handles.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace {

const char* const kClassName = "TVarnelResults";
constexpr int kCopyId = 101;
constexpr int kDetailsId = 102;

// The table's layout at 96 DPI: the list above, the buttons in a row below it on the right.
constexpr int kClientWidth = 640;
constexpr int kClientHeight = 230;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
const int kColumnWidths[] = {130, 110, 70, 70, 50, 420};
const char* const kColumns[] = {"手机", "序列号", "原版本", "现版本", "结果", "原因"};

struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type memory) { GlobalFree(memory); }
};

struct WindowTraits {
    using Type = HWND;
    static Type Invalid() { return nullptr; }
    static void Close(Type window) { DestroyWindow(window); }
};

// What the window's procedure needs while the table is up.
struct TableState {
    const ResultsTableLook* look;
    const InstallResults* results;
    bool done = false;
};

LRESULT CALLBACK TableProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<TableState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        if (state == nullptr || HIWORD(wParam) != BN_CLICKED)
            break;
        if (LOWORD(wParam) == kCopyId)
            CopyTextToClipboard(window, ResultsText(*state->results));
        else if (LOWORD(wParam) == kDetailsId && state->look->showDetails)
            state->look->showDetails();
        else if (LOWORD(wParam) == IDCANCEL)
            state->done = true;
        return 0;
    case WM_CLOSE:
        if (state != nullptr)
            state->done = true;
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterTableClass(HINSTANCE instance) {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXA table = {};
    table.cbSize = sizeof table;
    table.lpfnWndProc = TableProc;
    table.hInstance = instance;
    table.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    table.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    table.lpszClassName = kClassName;
    RegisterClassExA(&table);
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&common);
    registered = true;
}

HWND Child(HWND parent, const char* className, const char* text, DWORD style, int id, const LayoutBox& box,
           HFONT font) {
    const HWND control =
        CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, box.left, box.top, box.width, box.height,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// A table of a list of packages has the package as its first column.
constexpr int kPackageColumnWidth = 130;

void FillList(HWND list, const InstallResults& results, UINT dpi) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_LABELTIP);
    const int first = results.ManyPackages() ? 0 : 1;
    for (int i = first; i < 7; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = ScaleToDpi(i == 0 ? kPackageColumnWidth : kColumnWidths[i - 1], dpi);
        column.pszText = const_cast<char*>(i == 0 ? "安装包" : kColumns[i - 1]);
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i - first), reinterpret_cast<LPARAM>(&column));
    }
    int index = 0;
    for (const PhoneResult& row : results.rows) {
        const std::string* cells[] = {&row.package, &row.name,   &row.serial, &row.before,
                                      &row.after,   &row.result, &row.reason};
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.pszText = const_cast<char*>(cells[first]->c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        for (int column = first + 1; column < 7; ++column) {
            LVITEMA cell = {};
            cell.iSubItem = column - first;
            cell.pszText = const_cast<char*>(cells[column]->c_str());
            SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&cell));
        }
        ++index;
    }
}

} // namespace

bool CopyTextToClipboard(HWND owner, const std::string& text) {
    UniqueResource<GlobalMemoryTraits> memory(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!memory)
        return false;
    void* bytes = GlobalLock(memory.Get());
    if (bytes == nullptr)
        return false;
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(memory.Get());
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    // Once the clipboard has taken the memory it is the clipboard's to free.
    const bool taken = SetClipboardData(CF_TEXT, memory.Get()) != nullptr;
    if (taken)
        memory.Release();
    CloseClipboard();
    return taken;
}

void ShowResultsTable(const ResultsTableLook& look, const InstallResults& results) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterTableClass(instance);
    const UINT dpi = look.dpi;
    constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    const int clientWidth = kClientWidth + (results.ManyPackages() ? kPackageColumnWidth : 0);
    RECT outer = {0, 0, ScaleToDpi(clientWidth, dpi), ScaleToDpi(kClientHeight, dpi)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    // Centred over the window it belongs to.
    RECT owner = {0, 0, 0, 0};
    GetWindowRect(look.owner, &owner);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    int left = owner.left + ((owner.right - owner.left) - width) / 2;
    int top = owner.top + ((owner.bottom - owner.top) - height) / 2;
    // ... but whole on the owner's screen.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(look.owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& area = monitor.rcWork;
        left = std::max(static_cast<int>(area.left), std::min(left, static_cast<int>(area.right) - width));
        top = std::max(static_cast<int>(area.top), std::min(top, static_cast<int>(area.bottom) - height));
    }
    UniqueResource<WindowTraits> window(CreateWindowExA(kExStyle, kClassName, look.caption, kStyle, left, top, width,
                                                        height, look.owner, nullptr, instance, nullptr));
    if (!window)
        return;
    TableState state{&look, &results};
    SetWindowLongPtrA(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));

    const auto box = [dpi](int x, int y, int w, int h) { return ScaleBox(LayoutBox{x, y, w, h}, dpi); };
    const int buttonsTop = kClientHeight - kMargin - kButtonHeight;
    const HWND list = Child(window.Get(), WC_LISTVIEWA, "",
                            WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS, 100,
                            box(kMargin, kMargin, clientWidth - 2 * kMargin, buttonsTop - 2 * kMargin), look.font);
    FillList(list, results, dpi);
    int right = clientWidth - kMargin - kButtonWidth;
    const HWND close = Child(window.Get(), "BUTTON", "关闭", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL,
                             box(right, buttonsTop, kButtonWidth, kButtonHeight), look.font);
    right -= kButtonWidth + kMargin;
    Child(window.Get(), "BUTTON", "adb输出", WS_TABSTOP | BS_PUSHBUTTON, kDetailsId,
          box(right, buttonsTop, kButtonWidth, kButtonHeight), look.font);
    right -= kButtonWidth + kMargin;
    Child(window.Get(), "BUTTON", "复制表格", WS_TABSTOP | BS_PUSHBUTTON, kCopyId,
          box(right, buttonsTop, kButtonWidth, kButtonHeight), look.font);

    // Modal: the owner takes no input until the table is closed, on every way out.
    EnableWindow(look.owner, FALSE);
    struct Reenable {
        HWND owner;
        ~Reenable() {
            EnableWindow(owner, TRUE);
            SetActiveWindow(owner);
        }
    } reenable{look.owner};
    ShowWindow(window.Get(), SW_SHOW);
    SetFocus(close);
    if (look.opened)
        look.opened(window.Get());
    MSG message;
    while (!state.done && IsWindow(window.Get())) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam)); // the program's loop ends it
            break;
        }
        if (got < 0)
            break;
        if (IsDialogMessageA(window.Get(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (look.opened)
        look.opened(nullptr);
    SetWindowLongPtrA(window.Get(), GWLP_USERDATA, 0);
}

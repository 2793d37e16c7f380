#include "app/DpiAwareness.h"

#include "app/LayoutScale.h"

#include <cstring>
#include <initializer_list>

namespace {

// Awareness contexts are pseudo-handles of fixed value.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
constexpr int kProcessPerMonitorDpiAware = 2; // PROCESS_DPI_AWARENESS of shcore

// The density functions are newer than the oldest system the program runs on, so they are looked
// up at run time; null where the system has none.
template <typename Function> Function SystemFunction(HMODULE module, const char* name) {
    const FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    Function function = nullptr;
    static_assert(sizeof function == sizeof address, "function pointers of one size");
    std::memcpy(&function, &address, sizeof function);
    return function;
}

HMODULE User32() {
    return GetModuleHandleA("user32.dll");
}

} // namespace

void DeclareDpiAwareness() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (const auto setContext = SystemFunction<SetContext>(User32(), "SetProcessDpiAwarenessContext")) {
        // v2 also scales the caption and the frame; a system that doesn't know it says so with
        // ERROR_INVALID_PARAMETER, and one whose awareness is already set with ERROR_ACCESS_DENIED.
        for (const HANDLE context : {kPerMonitorAwareV2, kPerMonitorAware}) {
            SetLastError(ERROR_SUCCESS);
            if (setContext(context) || GetLastError() == ERROR_ACCESS_DENIED)
                return;
        }
    }
    if (const HMODULE shcore = LoadLibraryA("shcore.dll")) {
        using SetAwareness = HRESULT(WINAPI*)(int);
        const auto setAwareness = SystemFunction<SetAwareness>(shcore, "SetProcessDpiAwareness");
        const HRESULT result = setAwareness != nullptr ? setAwareness(kProcessPerMonitorDpiAware) : E_NOTIMPL;
        FreeLibrary(shcore);
        if (SUCCEEDED(result) || result == E_ACCESSDENIED)
            return;
    }
    SetProcessDPIAware();
}

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = SystemFunction<GetDpiForWindowFunction>(User32(), "GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    return SystemDpi();
}

UINT SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kLayoutDpi;
}

SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = SystemFunction<AdjustForDpi>(User32(), "AdjustWindowRectExForDpi");
    RECT rect = {0, 0, clientWidth, clientHeight};
    // The frame and caption at the window's density, where the system can tell; else the system's.
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

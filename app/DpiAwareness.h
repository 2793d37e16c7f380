#pragma once
#include <windows.h>

// The window is drawn at its monitor's own density instead of being stretched by the system. The
// manifest asks for that; these calls cover the systems and builds where the manifest's request
// is not read.

// Declares the process aware of each monitor's density: per-monitor v2 where the system knows it
// (Windows 10 1703 and later), else per-monitor (8.1), else system-wide (Vista). Call before the
// first window; once the manifest has declared it, the calls are refused and nothing changes.
void DeclareDpiAwareness();

// The density the window is drawn at: its monitor's, or the system's where monitors have none of
// their own.
UINT WindowDpi(HWND window);

// The density the system gives screen device contexts, which the rich edit control turns its
// point sizes into pixels with.
UINT SystemDpi();

// The outer size of a window whose client area is `clientWidth` x `clientHeight` at `dpi`.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// Sent to a per-monitor aware window when its density changes; not in every SDK's headers.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

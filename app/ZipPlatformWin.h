#pragma once
#include "zip/ZipPlatform.h"

// Include before windows.h, or after it with the macros OemToAnsi and MessageBox undefined: the
// reader has members of those names.

// The Windows services the ZIP reader asks for: the window's message dispatch, the system's
// OEM-to-ANSI conversion and lead bytes, the file's last-write time, the error box and the
// system's error texts.
TZipPlatform WindowsZipPlatform();

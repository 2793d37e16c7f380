#pragma once
#include "device/Errors.h"
#include "device/System.h"

#include <windows.h>

#include <string>

// The Windows services behind ISystem, one object for the program's life.
ISystem& WindowsSystem();

// The system's text for an error code in the user's language, without line end or final full stop.
std::string SystemErrorText(DWORD code);

// "Cannot open file "<full path>". <system text>", as every failed file open reports itself.
[[noreturn]] void ThrowFileOpenError(const std::string& path, DWORD code);

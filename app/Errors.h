#pragma once
#include <windows.h>

#include <stdexcept>
#include <string>

// An error of the program's own, carrying its message as 8-bit text in the ANSI code page. Every
// error that leaves an event handler reaches the general error reporting (an error box).
class VarnelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's text for an error code in the user's language, without line end or final full stop.
std::string SystemErrorText(DWORD code);

// "Cannot open file "<full path>". <system text>", as every failed file open reports itself.
[[noreturn]] void ThrowFileOpenError(const std::string& path, DWORD code);

#pragma once
#include <stdexcept>
#include <string>

// An error of the program's own, carrying its message as 8-bit text in the ANSI code page. Every
// error that leaves an event handler reaches the general error reporting (an error box).
class VarnelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A system error text without its line end and final full stop (also the ideographic one), so the
// error box's full-stop rule adds exactly one.
std::string TrimSystemMessage(const std::string& text);

#pragma once
#include <functional>
#include <string>

// Runs a console program hidden, without a console window, and captures its standard output as
// the bytes it wrote (UTF-8 for adb and aapt), read in pieces of 2000 bytes (a NUL byte ends the
// text of its piece). Error output is not captured and the exit code is never looked at. While the
// program runs, `pump` is called at least every 100 ms so the window stays live.
// Returns false, leaving `output` untouched, when the pipe or the process can't be made.
bool RunConsoleCommand(const std::string& commandLine, std::string& output, const std::function<void()>& pump);

// Captured output as the runner reads it: 2000-byte pieces, each taken up to its first NUL byte.
std::string ConvertConsoleOutput(const std::string& raw);

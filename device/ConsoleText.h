#pragma once
#include <string>

// Captured output as the runner hands it on: read in pieces of 2000 bytes, each taken up to its
// first NUL byte. The bytes are otherwise kept as the tool wrote them (UTF-8 for adb and aapt).
std::string ConsoleText(const std::string& raw);

#pragma once
#include "device/System.h"
#include "device/TextSplit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The facts of a package as the window shows them, read from the lines of `aapt dump badging`.
// A fact the lines don't give is left unset, and the field keeps showing "未知".
struct PackageFacts {
    std::optional<std::string> packageName;
    std::optional<std::string> versionName; // in the ANSI code page when it was UTF-8, else as printed
    std::optional<std::string> sdkLabel;    // "Android 5.0", "API 38", "未知"
    std::optional<std::string> appName;     // in the ANSI code page; empty when its UTF-8 was broken
    StringList permissions;                 // in output order, duplicates and empty names kept
    // The icon member of each application line, in order, with '\' separators as the ZIP reader
    // matches names; every application line asks for the icon again.
    std::vector<std::string> iconMembers;
    std::int64_t versionCode = -1;  // of the package line; -1 when it states none a phone would take
    std::string launchableActivity; // the first launchable activity's class name; empty when none
};

// `system` converts the decoded texts into the ANSI code page.
PackageFacts ReadPackageFacts(const StringList& lines, ISystem& system);

// The size field's text for a file: "6.8 K", "11.77 M", in the user's separators. Raises the
// program's "Cannot open file" error when the file can't be opened.
std::string FileSizeText(const std::string& path, ISystem& system);

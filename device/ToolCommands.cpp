#include "device/ToolCommands.h"

namespace {

std::string ToolPrefix(const std::string& exeFolder, const char* tool) {
    return "\"" + exeFolder + "adb\\" + tool + "\"";
}

std::string AdbPrefix(const std::string& exeFolder, const std::string& serial) {
    std::string prefix = ToolPrefix(exeFolder, "adb.exe");
    if (!serial.empty())
        prefix += " -s " + QuoteArgument(serial);
    return prefix;
}

} // namespace

std::string AdbPath(const std::string& exeFolder) { return exeFolder + "adb\\adb.exe"; }
std::string AaptPath(const std::string& exeFolder) { return exeFolder + "adb\\aapt.exe"; }

std::string DevicesCommandLine(const std::string& exeFolder) { return ToolPrefix(exeFolder, "adb.exe") + " devices"; }

std::string InstallCommandLine(const std::string& exeFolder, const std::string& apkPath, const std::string& serial,
                               bool downgrade) {
    return AdbPrefix(exeFolder, serial) + (downgrade ? " install -r -d \"" : " install -r \"") + apkPath + "\"";
}

std::string InstallMultipleCommandLine(const std::string& exeFolder, const std::vector<std::string>& apkPaths,
                                       const std::string& serial, bool downgrade) {
    std::string line = AdbPrefix(exeFolder, serial) + (downgrade ? " install-multiple -r -d" : " install-multiple -r");
    for (const std::string& path : apkPaths)
        line += " \"" + path + "\"";
    return line;
}

std::string ShellCommandLine(const std::string& exeFolder, const std::string& command, const std::string& serial) {
    return AdbPrefix(exeFolder, serial) + " shell " + command;
}

std::string PushCommandLine(const std::string& exeFolder, const std::string& localPath, const std::string& phonePath,
                            const std::string& serial) {
    return AdbPrefix(exeFolder, serial) + " push \"" + localPath + "\" \"" + phonePath + "\"";
}

std::string UninstallCommandLine(const std::string& exeFolder, const std::string& packageName,
                                 const std::string& serial) {
    return AdbPrefix(exeFolder, serial) + " uninstall " + packageName;
}

std::string BadgingCommandLine(const std::string& exeFolder, const std::string& apkPath) {
    return ToolPrefix(exeFolder, "aapt.exe") + " dump badging \"" + apkPath + "\"";
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            quoted.append(backslashes * 2 + 1, '\\');
        else
            quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

bool IsDeviceConnected(const StringList& lines) {
    for (const auto& line : lines) {
        if (line.find("device") != std::string::npos && line.find("devices") == std::string::npos)
            return true;
    }
    return false;
}

bool ToolReportsSuccess(const std::string& output) { return output.find("Success") != std::string::npos; }

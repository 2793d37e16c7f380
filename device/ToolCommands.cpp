#include "device/ToolCommands.h"

namespace {

std::string ToolPrefix(const std::string& exeFolder, const char* tool) {
    return "\"" + exeFolder + "adb\\" + tool + "\"";
}

} // namespace

std::string DevicesCommandLine(const std::string& exeFolder) { return ToolPrefix(exeFolder, "adb.exe") + " devices"; }

std::string InstallCommandLine(const std::string& exeFolder, const std::string& apkPath) {
    return ToolPrefix(exeFolder, "adb.exe") + " install -r \"" + apkPath + "\"";
}

std::string UninstallCommandLine(const std::string& exeFolder, const std::string& packageName) {
    return ToolPrefix(exeFolder, "adb.exe") + " uninstall " + packageName;
}

std::string BadgingCommandLine(const std::string& exeFolder, const std::string& apkPath) {
    return ToolPrefix(exeFolder, "aapt.exe") + " dump badging \"" + apkPath + "\"";
}

bool IsDeviceConnected(const StringList& lines) {
    for (const auto& line : lines) {
        if (line.find("device") != std::string::npos && line.find("devices") == std::string::npos)
            return true;
    }
    return false;
}

bool ToolReportsSuccess(const std::string& output) { return output.find("Success") != std::string::npos; }

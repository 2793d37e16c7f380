#pragma once
#include "device/TextSplit.h"

#include <string>

// Command lines of the Android SDK console tools, which live in the folder "adb" beside the
// program. `exeFolder` is the program's folder including its final backslash. The tools are
// judged only by what they print, never by their exit codes.

std::string DevicesCommandLine(const std::string& exeFolder);
std::string InstallCommandLine(const std::string& exeFolder, const std::string& apkPath);
// The package name goes unquoted, as adb expects a bare name.
std::string UninstallCommandLine(const std::string& exeFolder, const std::string& packageName);
std::string BadgingCommandLine(const std::string& exeFolder, const std::string& apkPath);

// A line of the device listing names an attached device when it says "device" but not "devices"
// (the heading says "List of devices attached").
bool IsDeviceConnected(const StringList& lines);

// install and uninstall print "Success" when they worked; anything else is a failure.
bool ToolReportsSuccess(const std::string& output);

#pragma once
#include "device/TextSplit.h"

#include <string>
#include <vector>

// Command lines of the Android SDK console tools, which live in the folder "adb" beside the
// program. `exeFolder` is the program's folder including its final backslash. A `serial` picks
// one of several phones (adb's -s); an empty one leaves the choice to adb, as with one phone.

std::string AdbPath(const std::string& exeFolder);
std::string AaptPath(const std::string& exeFolder);

std::string DevicesCommandLine(const std::string& exeFolder);
// `downgrade` adds adb's -d, which asks the phone to take an older version over a newer one.
std::string InstallCommandLine(const std::string& exeFolder, const std::string& apkPath,
                               const std::string& serial = std::string(), bool downgrade = false);
// The pieces of a split package, installed together.
std::string InstallMultipleCommandLine(const std::string& exeFolder, const std::vector<std::string>& apkPaths,
                                       const std::string& serial = std::string(), bool downgrade = false);
// `adb shell <command>`: the command is passed on as it stands.
std::string ShellCommandLine(const std::string& exeFolder, const std::string& command,
                             const std::string& serial = std::string());
// Copies a file onto the phone.
std::string PushCommandLine(const std::string& exeFolder, const std::string& localPath, const std::string& phonePath,
                            const std::string& serial = std::string());
// The package name goes unquoted, as adb expects a bare name.
std::string UninstallCommandLine(const std::string& exeFolder, const std::string& packageName,
                                 const std::string& serial = std::string());
std::string BadgingCommandLine(const std::string& exeFolder, const std::string& apkPath);

// An argument as the C runtime of the tool reads it back: quoted when it holds blanks or quotes,
// with quotes and the backslashes before them escaped.
std::string QuoteArgument(const std::string& argument);

// A line of the device listing names an attached device when it says "device" but not "devices"
// (the heading says "List of devices attached").
bool IsDeviceConnected(const StringList& lines);

// install and uninstall print "Success" when they worked; anything else is a failure.
bool ToolReportsSuccess(const std::string& output);

#pragma once
#include "device/PhoneTraits.h"

#include <string>

// Why adb says a phone refused a package, read from both of its streams, and the plain Chinese
// that tells the user what happened and what helps.

// What a failed install or uninstall printed, boiled down.
struct AdbFailure {
    // The package manager's code: "INSTALL_FAILED_VERSION_DOWNGRADE", or the name adb's number
    // stands for ("-4" gives "INSTALL_FAILED_INSUFFICIENT_STORAGE"), or the number itself when
    // no name is known. Empty when adb itself failed before the phone answered.
    std::string code;
    std::string detail;     // what follows the code in the brackets: "Downgrade detected: ..."
    std::string adbMessage; // adb's own error without its "adb:"/"adb.exe:" prefix, when it gave one
    std::string firstLine;  // the first line either stream holds, for a failure nothing else names
};

// True when the operation worked: "Success" anywhere on standard output, as adb prints it since
// 2017, or a line that is exactly "Success" on the error stream, where older adb wrote it.
bool AdbReportsSuccess(const std::string& output, const std::string& errors);

AdbFailure ReadAdbFailure(const std::string& output, const std::string& errors);

// The name adb's decimal codes stand for, or empty.
std::string CodeName(int number);

// What the user is told, in GBK: the cause and what helps. `requiredAndroid` names the Android
// version the package needs ("Android 8.0"), for a phone whose system is too old; empty when it
// is not known. Unknown codes show the code.
std::string ExplainFailure(const AdbFailure& failure, const std::string& requiredAndroid);

// As ExplainFailure, for a phone whose maker is known: a phone that asked on its own screen and
// was refused, or timed out, gets its maker's steps.
std::string ExplainFailure(const AdbFailure& failure, const std::string& requiredAndroid, PhoneMaker maker);

#include "device/AdbReasons.h"

#include <doctest/doctest.h>

TEST_CASE("The reason is read from either stream, in every form adb has used") {
    struct Case {
        const char* name;
        std::string output;
        std::string errors;
        const char* code;
        const char* detail;
        const char* adbMessage;
    };
    const Case cases[] = {
        {"today, on Windows", "Performing Streamed Install\r\n",
         "adb.exe: failed to install a.apk: Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Existing package p "
         "signatures do not match newer version; ignoring!]\r\n",
         "INSTALL_FAILED_UPDATE_INCOMPATIBLE", "Existing package p signatures do not match newer version; ignoring!",
         "failed to install a.apk: Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Existing package p signatures do not "
         "match newer version; ignoring!]"},
        {"2017", "", "adb: failed to install a.apk: Failure [INSTALL_FAILED_TEST_ONLY]\r\n", "INSTALL_FAILED_TEST_ONLY",
         "", "failed to install a.apk: Failure [INSTALL_FAILED_TEST_ONLY]"},
        {"before 2017", "", "Failed to install a.apk: Failure [INSTALL_FAILED_ALREADY_EXISTS]\r\n",
         "INSTALL_FAILED_ALREADY_EXISTS", "", ""},
        {"push install", "\tpkg: /data/local/tmp/a.apk\r\nFailure [INSTALL_FAILED_INVALID_URI]\r\n", "",
         "INSTALL_FAILED_INVALID_URI", "", ""},
        {"a number adb names", "Failure [-113]\r\n", "", "INSTALL_FAILED_NO_MATCHING_ABIS", "", ""},
        {"a number nobody names", "Failure [-99]\r\n", "", "-99", "", ""},
        {"two lines of install-multiple", "",
         "adb: failed to finalize session\r\nFailure [INSTALL_FAILED_INVALID_APK: Split null was defined multiple "
         "times]\r\n",
         "INSTALL_FAILED_INVALID_APK", "Split null was defined multiple times", "failed to finalize session"},
        {"adb's own error", "", "adb.exe: more than one device/emulator\r\n", "", "", "more than one device/emulator"},
        {"adb's own error before 2022", "Performing Push Install\r\n",
         "adb: error: failed to get feature set: more than one device/emulator\r\n", "", "",
         "failed to get feature set: more than one device/emulator"},
        {"four lines of unauthorized", "",
         "error: device unauthorized.\r\nThis adb server's $ADB_VENDOR_KEYS is not set\r\nTry 'adb kill-server' if "
         "that seems wrong.\r\nOtherwise check for a confirmation dialog on your device.\r\n",
         "", "", "device unauthorized."},
        {"a bracket cut off", "", "Failure [INSTALL_FAILED_NO_MATC", "INSTALL_FAILED_NO_MATC", "", ""},
        {"nothing", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        const AdbFailure failure = ReadAdbFailure(c.output, c.errors);
        CHECK(failure.code == c.code);
        CHECK(failure.detail == c.detail);
        CHECK(failure.adbMessage == c.adbMessage);
    }
}

TEST_CASE("What the user is told, and what helps") {
    struct Case {
        AdbFailure failure;
        const char* required;
        const char* text;
    };
    const Case cases[] = {
        {{"INSTALL_FAILED_INSUFFICIENT_STORAGE", "", "", ""}, "", "手机存储空间不足。请清理手机空间后再试"},
        {{"INSTALL_FAILED_NO_MATCHING_ABIS", "Failed to extract native libraries, res=-113", "", ""}, "",
         "安装包里没有适合这台手机处理器的代码。请换用适合此手机CPU的版本（arm64-v8a、armeabi-v7a或x86_64）"},
        {{"INSTALL_FAILED_OLDER_SDK", "Requires newer sdk version #28 (current version is #25)", "", ""}, "Android 9",
         "此应用需要Android 9或更高版本，这台手机的系统版本太低"},
        {{"INSTALL_FAILED_OLDER_SDK", "", "", ""}, "", "这台手机的Android版本太低，装不了此应用"},
        {{"INSTALL_FAILED_USER_RESTRICTED", "Install canceled by user", "", ""}, "",
         "手机拒绝了安装或确认超时。请在手机上允许安装；小米手机需在开发者选项中打开“USB安装”"},
        {{"INSTALL_FAILED_DEPRECATED_SDK_VERSION", "", "", ""}, "",
         "此应用为旧版Android编写，Android 14起的手机拒绝安装（可用adb的--bypass-low-target-sdk-block参数强行安装）"},
        {{"INSTALL_FAILED_SOMETHING_NEW", "", "", ""}, "", "手机拒绝安装（INSTALL_FAILED_SOMETHING_NEW）"},
        {{"", "", "device 'R58M' not found", ""}, "", "手机已断开连接。请检查USB线后再试"},
        {{"", "", "failed to stat D:\\x.apk: No such file or directory", ""}, "", "找不到要安装的文件"},
        {{"", "", "something else", "something else"}, "", "adb出错：something else"},
        {{"", "", "", "Error: unknown"}, "", "adb回答：Error: unknown"},
        {{"", "", "", ""}, "", "adb没有给出任何回答"},
    };
    int index = 0;
    for (const auto& c : cases) {
        CAPTURE(index++);
        CHECK(ExplainFailure(c.failure, c.required) == c.text);
    }
    CHECK(CodeName(-25) == "INSTALL_FAILED_VERSION_DOWNGRADE");
    CHECK(CodeName(-124) == "INSTALL_FAILED_RESOURCES_ARSC_COMPRESSED");
    CHECK(CodeName(-30).empty());
}

TEST_CASE("Success is on standard output, or a whole line on the error stream") {
    CHECK(AdbReportsSuccess("Performing Streamed Install\r\nSuccess\r\n", ""));
    CHECK(AdbReportsSuccess("PartialSuccessful", ""));
    CHECK(AdbReportsSuccess("", "Success\r\n"));
    CHECK(AdbReportsSuccess("", "\tpkg: /data/local/tmp/a.apk\nSuccess"));
    CHECK_FALSE(AdbReportsSuccess("", "NoSuccess\r\n"));
    CHECK_FALSE(AdbReportsSuccess("success\r\n", "success\r\n"));
    CHECK_FALSE(AdbReportsSuccess("", ""));
}

#include "device/ToolCommands.h"

#include <doctest/doctest.h>

TEST_CASE("Tool command lines quote the tool and the package path") {
    const std::string folder = "C:\\Tools\\";
    CHECK(DevicesCommandLine(folder) == "\"C:\\Tools\\adb\\adb.exe\" devices");
    CHECK(InstallCommandLine(folder, "D:\\apps\\demo.apk") == "\"C:\\Tools\\adb\\adb.exe\" install -r \"D:\\apps\\demo.apk\"");
    CHECK(UninstallCommandLine(folder, "com.example.demo") == "\"C:\\Tools\\adb\\adb.exe\" uninstall com.example.demo");
    CHECK(BadgingCommandLine(folder, "D:\\my apps\\演示.apk") ==
          "\"C:\\Tools\\adb\\aapt.exe\" dump badging \"D:\\my apps\\演示.apk\"");
    // One of several phones, by its serial.
    CHECK(InstallCommandLine(folder, "D:\\a.apk", "R58M") == "\"C:\\Tools\\adb\\adb.exe\" -s R58M install -r \"D:\\a.apk\"");
    CHECK(UninstallCommandLine(folder, "a.b", "192.168.1.5:5555") ==
          "\"C:\\Tools\\adb\\adb.exe\" -s 192.168.1.5:5555 uninstall a.b");
    CHECK(AdbPath(folder) == "C:\\Tools\\adb\\adb.exe");
    CHECK(AaptPath(folder) == "C:\\Tools\\adb\\aapt.exe");
}

TEST_CASE("Arguments are quoted as the tool's C runtime reads them back") {
    struct Case {
        const char* argument;
        const char* quoted;
    };
    const Case cases[] = {
        {"R58M40ABCDE", "R58M40ABCDE"},
        {"my phone", "\"my phone\""},
        {"", "\"\""},
        {"a\"b", "\"a\\\"b\""},
        {"end\\", "end\\"},
        {"two words\\", "\"two words\\\\\""},
        {"x\\\"y", "\"x\\\\\\\"y\""},
    };
    for (const auto& c : cases) {
        CAPTURE(c.argument);
        CHECK(QuoteArgument(c.argument) == c.quoted);
    }
}

TEST_CASE("A device line says device but not devices") {
    struct Case {
        StringList lines;
        bool attached;
    };
    const Case cases[] = {
        {{}, false},
        {{"List of devices attached", "", ""}, false},
        {{"List of devices attached", "0123456789ABCDEF\tdevice", ""}, true},
        {{"List of devices attached", "0123456789ABCDEF\tunauthorized", ""}, false},
        {{"List of devices attached", "emulator-5554\toffline"}, false},
        {{"* daemon started successfully", "List of devices attached", "R58M\tdevice"}, true},
        {{"List of Devices attached", "serial\tDevice"}, false}, // the test is case-sensitive
    };
    int index = 0;
    for (const auto& c : cases) {
        CAPTURE(index);
        CHECK(IsDeviceConnected(c.lines) == c.attached);
        ++index;
    }
}

TEST_CASE("Success is a case-sensitive substring") {
    CHECK(ToolReportsSuccess("Performing Streamed Install\r\nSuccess\r\n"));
    CHECK(ToolReportsSuccess("Unsuccessful? NoSuccessful"));
    CHECK_FALSE(ToolReportsSuccess("success\r\n"));
    CHECK_FALSE(ToolReportsSuccess("Failure [INSTALL_FAILED_VERSION_DOWNGRADE]"));
    CHECK_FALSE(ToolReportsSuccess(""));
}

#include "device/PhoneOperations.h"

#include "FakeSystem.h"

#include <doctest/doctest.h>

namespace {

const std::string kFolder = "C:\\Tools\\";
const std::string kAdb = "\"C:\\Tools\\adb\\adb.exe\"";
const std::string kListing = "List of devices attached\r\nR58M40ABCDE\tdevice\r\n\r\n";
const std::string kInstalling = "text:正在为手机安装程序，请等待程序安装完成提示...";
const std::string kUninstalling = "text:正在为手机卸载程序，请等待程序卸载完成提示...";

std::string Lines(std::initializer_list<std::string> events) {
    std::string text;
    for (const auto& e : events)
        text += e + "\n";
    return text;
}

struct Scene {
    FakeSystem system;
    ScriptedTools tools;
    RecordingPhoneView view;
    PhoneTools phone{kFolder, tools, system};

    Scene() { system.files["D:\\apps\\demo.apk"] = 6968; }
    void Install(const std::string& apk = "D:\\apps\\demo.apk") { InstallPackage(apk, phone, view); }
    void Uninstall(const std::string& name = "com.example.demo") { UninstallPackage(name, phone, view); }
};

} // namespace

TEST_CASE("Install outcomes by what adb prints") {
    struct Case {
        const char* name;
        std::string listing;
        bool adbStarts;
        std::string installOutput;
        std::string events;
    };
    const std::string noDevice = std::string("red:") + kNoDeviceText;
    const Case cases[] = {
        {"success", kListing, true, "Performing Streamed Install\r\nSuccess\r\n",
         Lines({kInstalling, "hint hidden", "busy", "red:程序安装成功！", "countdown", "idle"})},
        {"Success inside a word", kListing, true, "PartialSuccessful\r\n",
         Lines({kInstalling, "hint hidden", "busy", "red:程序安装成功！", "countdown", "idle"})},
        {"lower case", kListing, true, "success\r\n",
         Lines({kInstalling, "hint hidden", "busy", "red:程序安装失败！", "idle"})},
        {"failure", kListing, true, "Failure [INSTALL_FAILED_VERSION_DOWNGRADE]\r\n",
         Lines({kInstalling, "hint hidden", "busy", "red:程序安装失败！", "idle"})},
        {"nothing printed", kListing, true, "", Lines({kInstalling, "hint hidden", "busy", "red:程序安装失败！", "idle"})},
        {"heading only", "List of devices attached\r\n\r\n", true, "", Lines({noDevice, "hint shown"})},
        {"empty listing", "", true, "", Lines({noDevice, "hint shown"})},
        {"not authorized", "List of devices attached\r\nR58M\tunauthorized\r\n\r\n", true, "",
         Lines({noDevice, "hint shown"})},
        {"adb can't start", "", false, "", Lines({noDevice, "hint shown"})},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Scene scene;
        scene.tools.On(" devices", c.listing, c.adbStarts).On(" install -r ", c.installOutput, c.adbStarts);
        scene.Install();
        CHECK(scene.view.Joined() == c.events);
        REQUIRE_FALSE(scene.tools.calls.empty());
        CHECK(scene.tools.calls[0] == kAdb + " devices");
        if (scene.tools.calls.size() > 1)
            CHECK(scene.tools.calls[1] == kAdb + " install -r \"D:\\apps\\demo.apk\"");
        CHECK(scene.system.log.empty()); // a plain file name needs no copy
    }
}

TEST_CASE("Install with nothing chosen runs no tool") {
    Scene scene;
    scene.Install("");
    CHECK(scene.view.Joined() == Lines({"text:未选择要安装的apk文件。", "hint hidden"}));
    CHECK(scene.tools.calls.empty());
}

TEST_CASE("A double-byte file name is installed from a temporary copy that goes afterwards") {
    const std::string chinese = "D:\\apps\\\xD0\xC7\xB9\xE2.apk"; // 星光.apk
    const std::string inChineseFolder = "D:\\\xD6\xD0\xCE\xC4\\plain.apk"; // 中文\plain.apk
    struct Case {
        const char* name;
        std::string apk;
        bool doubleByte;
        bool copied;
    };
    const Case cases[] = {
        {"Chinese name", chinese, true, true},
        {"plain name in a Chinese folder", inChineseFolder, true, false},
        {"single-byte code page", chinese, false, false},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Scene scene;
        scene.system.doubleByte = c.doubleByte;
        scene.system.files[c.apk] = 100;
        scene.tools.On(" devices", kListing).On(" install -r ", "Success\r\n");
        std::string handed;
        bool copyExisted = false;
        scene.tools.whileRunning = [&](const std::string& command) {
            if (command.find(" install -r ") == std::string::npos)
                return;
            const auto open = command.find("-r \"") + 4;
            handed = command.substr(open, command.size() - open - 1);
            copyExisted = scene.system.FileExists(handed);
        };
        scene.Install(c.apk);
        CHECK(scene.view.events.back() == "idle");
        CHECK(copyExisted);
        if (c.copied) {
            const std::string temp = "C:\\Temp\\{00000000-0000-4000-8000-000000000000}.apk";
            CHECK(handed == temp);
            CHECK(scene.system.log == std::vector<std::string>{"copy " + c.apk + " " + temp, "remove " + temp});
            CHECK_FALSE(scene.system.FileExists(temp));
        } else {
            CHECK(handed == c.apk);
            CHECK(scene.system.log.empty());
        }
        CHECK(scene.system.FileExists(c.apk)); // the package itself is never touched
    }
}

TEST_CASE("Without a temporary folder or GUID a double-byte name fails and leaves nothing") {
    for (int noGuid = 0; noGuid < 2; ++noGuid) {
        CAPTURE(noGuid);
        Scene scene;
        if (noGuid)
            scene.system.guids = false;
        else
            scene.system.tempFolder.clear();
        const std::string chinese = "D:\\\xD0\xC7.apk";
        scene.system.files[chinese] = 1;
        scene.tools.On(" devices", kListing).On(" install -r ", "Success\r\n");
        scene.Install(chinese);
        CHECK(scene.view.Joined() == Lines({kInstalling, "hint hidden", "busy", "red:程序安装失败！", "idle"}));
        CHECK(scene.tools.calls.size() == 1); // the listing only
        CHECK(scene.system.log.empty());
    }
}

TEST_CASE("A window closed while adb runs is left alone, and the copy still goes") {
    SUBCASE("during the install") {
        Scene scene;
        const std::string chinese = "D:\\\xD0\xC7.apk";
        scene.system.files[chinese] = 1;
        scene.tools.On(" devices", kListing).On(" install -r ", "Success\r\n");
        scene.tools.whileRunning = [&](const std::string& command) {
            if (command.find(" install ") != std::string::npos)
                scene.view.closed = true;
        };
        scene.Install(chinese);
        CHECK(scene.view.Joined() == Lines({kInstalling, "hint hidden", "busy"}));
        REQUIRE(scene.system.log.size() == 2);
        CHECK(scene.system.log[1].rfind("remove ", 0) == 0);
    }
    SUBCASE("during the device check") {
        Scene scene;
        scene.tools.On(" devices", kListing).On(" install -r ", "Success\r\n");
        scene.tools.whileRunning = [&](const std::string&) { scene.view.closed = true; };
        scene.Install();
        CHECK(scene.view.events.empty());
        CHECK(scene.tools.calls.size() == 1);
    }
}

TEST_CASE("Uninstall outcomes, with its own texts and colours") {
    struct Case {
        const char* name;
        std::string listing;
        std::string output;
        std::string events;
    };
    const Case cases[] = {
        {"success", kListing, "Success\r\n", Lines({kUninstalling, "hint hidden", "busy", "green:程序卸载成功！", "hint hidden", "idle"})},
        {"failure", kListing, "Failure [DELETE_FAILED_INTERNAL_ERROR]\r\n",
         Lines({kUninstalling, "hint hidden", "busy", "red:程序卸载失败！", "hint hidden", "idle"})},
        {"no device", "List of devices attached\r\n\r\n", "",
         Lines({std::string("text:") + kNoDeviceText, "hint shown"})},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Scene scene;
        scene.tools.On(" devices", c.listing).On(" uninstall ", c.output);
        scene.Uninstall();
        CHECK(scene.view.Joined() == c.events);
        if (scene.tools.calls.size() > 1)
            CHECK(scene.tools.calls[1] == kAdb + " uninstall com.example.demo");
    }
    Scene none;
    none.Uninstall("");
    CHECK(none.view.Joined() == Lines({"text:未选择要卸载的apk文件。", "hint hidden"}));
    CHECK(none.tools.calls.empty());
}

TEST_CASE("Temporary paths and the double-byte test") {
    FakeSystem system;
    CHECK(MakeTempApkPath(system) == "C:\\Temp\\{00000000-0000-4000-8000-000000000000}.apk");
    system.tempFolder.clear();
    CHECK(MakeTempApkPath(system).empty());
    CHECK(HasDoubleByteChars("a\xB0\xB2.apk", system));
    CHECK_FALSE(HasDoubleByteChars("plain.apk", system));
    system.doubleByte = false;
    CHECK_FALSE(HasDoubleByteChars("a\xB0\xB2.apk", system));
}

#include "device/PhoneOperations.h"

#include "FakeSystem.h"

#include <doctest/doctest.h>

namespace {

const std::string kFolder = "C:\\Tools\\";
const std::string kAdb = "\"C:\\Tools\\adb\\adb.exe\"";
const std::string kListing = "List of devices attached\r\nR58M40ABCDE\tdevice\r\n\r\n";
const std::string kInstalling = "text:正在为手机安装程序，请等待程序安装完成提示...";
const std::string kUninstalling = "text:正在为手机卸载程序，请等待程序卸载完成提示...";
const std::string kNoReason = "reason:";
const std::string kTook = "reason:R58M40ABCDE：已安装";

std::string Lines(std::initializer_list<std::string> events) {
    std::string text;
    for (const auto& e : events)
        text += e + "\n";
    return text;
}

std::string Listing(std::initializer_list<std::string> phones) {
    std::string text = "List of devices attached\r\n";
    for (const auto& phone : phones)
        text += phone + "\r\n";
    return text + "\r\n";
}

struct Scene {
    FakeSystem system;
    ScriptedTools tools;
    RecordingPhoneView view;
    PhoneTools phone{kFolder, tools, system};

    Scene() {
        system.files["D:\\apps\\demo.apk"] = 6968;
        system.files["C:\\Tools\\adb\\adb.exe"] = 1;
    }
    void Install(const std::string& apk = "D:\\apps\\demo.apk", const std::string& android = "Android 8.0") {
        PackageToInstall package;
        package.file = apk;
        package.requiredAndroid = android;
        InstallPackage(package, phone, view);
    }
    void Uninstall(const std::string& name = "com.example.demo") { UninstallPackage(name, phone, view); }
    // The events after the start of the run (the note cleared, status, hint, busy), which every run
    // on phones shows.
    std::string Outcome() const {
        std::string text;
        for (std::size_t i = 4; i < view.events.size(); ++i)
            text += view.events[i] + "\n";
        return text;
    }
};

} // namespace

TEST_CASE("Install on one phone: the outcome by what adb prints, on either stream") {
    struct Case {
        const char* name;
        std::string output;
        std::string errors;
        std::string outcome;
    };
    const Case cases[] = {
        {"success", "Performing Streamed Install\r\nSuccess\r\n", "",
         Lines({"red:程序安装成功！", kTook, "countdown", "idle"})},
        {"Success inside a word", "PartialSuccessful\r\n", "", Lines({"red:程序安装成功！", kTook, "countdown", "idle"})},
        {"old adb writes Success to the error stream", "", "\tpkg: /data/local/tmp/demo.apk\r\nSuccess\r\n",
         Lines({"red:程序安装成功！", kTook, "countdown", "idle"})},
        {"Success on the error stream only counts as the whole line", "", "NoSuccess\r\n",
         Lines({"red:程序安装失败！", "reason:adb回答：NoSuccess", "idle"})},
        {"lower case", "success\r\n", "", Lines({"red:程序安装失败！", "reason:adb回答：success", "idle"})},
        {"downgrade, adb of today", "Performing Streamed Install\r\n",
         "adb.exe: failed to install D:\\apps\\demo.apk: Failure [INSTALL_FAILED_VERSION_DOWNGRADE: Downgrade "
         "detected: Update version code 3 is older than current 5]\r\n",
         Lines({"red:程序安装失败！", "reason:手机上已装有更新的版本。请先在手机上卸载它（其数据会被清除）再安装", "idle"})},
        {"too old a phone names the version the package needs", "",
         "adb: failed to install x.apk: Failure [INSTALL_FAILED_OLDER_SDK: Requires newer sdk version #28 (current "
         "version is #25)]\r\n",
         Lines({"red:程序安装失败！", "reason:此应用需要Android 8.0或更高版本，这台手机的系统版本太低", "idle"})},
        {"push install of old adb: the failure on standard output", "\tpkg: /data/local/tmp/demo.apk\r\nFailure [-4]\r\n",
         "", Lines({"red:程序安装失败！", "reason:手机存储空间不足。请清理手机空间后再试", "idle"})},
        {"vendor code", "", "Failed to install demo.apk: Failure [-99]\r\n",
         Lines({"red:程序安装失败！", "reason:手机拒绝安装（-99）", "idle"})},
        {"the phone vanished", "", "adb.exe: device 'R58M40ABCDE' not found\r\n",
         Lines({"red:程序安装失败！", "reason:手机已断开连接。请检查USB线后再试", "idle"})},
        {"nothing printed", "", "", Lines({"red:程序安装失败！", "reason:adb没有给出任何回答", "idle"})},
        {"cut in the middle of a line", "", "adb.exe: failed to install a.apk: Failure [INSTALL_FAILED_INSUF",
         Lines({"red:程序安装失败！", "reason:手机拒绝安装（INSTALL_FAILED_INSUF）", "idle"})},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Scene scene;
        scene.tools.On(" devices", kListing).OnErrors(" install -r ", c.output, c.errors);
        scene.Install();
        CHECK(scene.view.events.size() > 4);
        CHECK(scene.view.events[1] == kInstalling);
        CHECK(scene.Outcome() == c.outcome);
        REQUIRE(scene.tools.calls.size() == 3);
        CHECK(scene.tools.calls[0] == kAdb + " devices");
        // With one phone the command line is the plain one: adb picks the only phone.
        CHECK(scene.tools.calls[1] == kAdb + " shell getprop");
        CHECK(scene.tools.calls[2] == kAdb + " install -r \"D:\\apps\\demo.apk\"");
        CHECK(scene.system.log.empty()); // a plain file name needs no copy
    }
}

TEST_CASE("No phone ready: the listing says why") {
    const std::string noDevice = std::string("red:") + kNoDeviceText;
    const std::string allow = "red:手机尚未允许此电脑调试：请在手机上点“允许”（勾选“始终允许”）后重试。";
    struct Case {
        const char* name;
        std::string listing;
        bool adbStarts;
        std::string events;
    };
    const Case cases[] = {
        {"heading only", Listing({}), true, Lines({kNoReason, noDevice, "hint shown"})},
        {"nothing printed", "", true, Lines({kNoReason, noDevice, "hint shown"})},
        {"adb can't start", "", false, Lines({kNoReason, noDevice, "hint shown"})},
        {"garbage", "\x01\x02\xFF garbage\r\nmore", true, Lines({kNoReason, noDevice, "hint shown"})},
        {"not yet allowed", Listing({"R58M\tunauthorized"}), true, Lines({kNoReason, allow, "hint hidden"})},
        {"allowing", Listing({"R58M\tauthorizing"}), true, Lines({kNoReason, allow, "hint hidden"})},
        {"offline", Listing({"R58M\toffline"}), true,
         Lines({kNoReason, "red:手机处于离线状态：请重新插拔USB线，或在手机上关闭再打开USB调试。", "hint hidden"})},
        {"no permissions", Listing({"R58M\tno permissions; see [http://developer.android.com/tools/device.html]"}), true,
         Lines({kNoReason, "red:没有访问手机的权限：请检查手机驱动和USB权限后重试。", "hint shown"})},
        {"recovery", Listing({"R58M\trecovery"}), true,
         Lines({kNoReason, "red:手机处于恢复模式：请先正常开机，打开USB调试后重试。", "hint hidden"})},
        {"sideload", Listing({"R58M\tsideload"}), true,
         Lines({kNoReason, "red:手机处于恢复模式：请先正常开机，打开USB调试后重试。", "hint hidden"})},
        {"bootloader", Listing({"R58M\tbootloader"}), true,
         Lines({kNoReason, "red:手机处于引导（Fastboot）模式：请先正常开机后重试。", "hint hidden"})},
        {"a state of a newer adb", Listing({"R58M\tdetached"}), true,
         Lines({kNoReason, "red:手机状态为“detached”：请重新连接手机后重试。", "hint hidden"})},
        {"the user's allow is asked for first", Listing({"A\toffline", "B\tunauthorized"}), true,
         Lines({kNoReason, allow, "hint hidden"})},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Scene scene;
        scene.tools.On(" devices", c.listing, c.adbStarts);
        scene.Install();
        CHECK(scene.view.Joined() == c.events);
        CHECK(scene.tools.calls.size() == 1);
    }
}

TEST_CASE("Install with nothing chosen, or without adb.exe") {
    Scene scene;
    scene.Install("");
    CHECK(scene.view.Joined() == Lines({kNoReason, "text:未选择要安装的apk文件。", "hint hidden"}));
    CHECK(scene.tools.calls.empty());

    Scene noAdb;
    noAdb.system.files.erase("C:\\Tools\\adb\\adb.exe");
    noAdb.Install();
    CHECK(noAdb.view.Joined() ==
          Lines({kNoReason, "red:找不到adb.exe，请把它放进程序所在的adb文件夹。", "hint hidden", "reason:C:\\Tools\\adb\\"}));
    CHECK(noAdb.tools.calls.empty());
    noAdb.view.events.clear();
    noAdb.Uninstall();
    CHECK(noAdb.view.events[1] == "text:找不到adb.exe，请把它放进程序所在的adb文件夹。");
}

TEST_CASE("Several phones get the package at once, each by its serial") {
    SUBCASE("every phone takes it") {
        Scene scene;
        scene.tools.On(" devices", Listing({"A1\tdevice", "B2\tdevice", "C3\tdevice"})).On(" install -r ", "Success\r\n");
        scene.Install();
        CHECK(scene.Outcome() ==
              Lines({"red:程序安装成功！", "reason:已装到 3 台手机：A1、B2、C3", "countdown", "idle"}));
        CHECK(scene.tools.batchSizes == std::vector<std::size_t>{1, 3, 3});
        scene.tools.calls.erase(scene.tools.calls.begin() + 1, scene.tools.calls.begin() + 4); // the getprops
        CHECK(scene.tools.calls == std::vector<std::string>{kAdb + " devices",
                                                            kAdb + " -s A1 install -r \"D:\\apps\\demo.apk\"",
                                                            kAdb + " -s B2 install -r \"D:\\apps\\demo.apk\"",
                                                            kAdb + " -s C3 install -r \"D:\\apps\\demo.apk\""});
    }
    SUBCASE("one refuses: no success, no countdown, the count and the reason") {
        Scene scene;
        scene.tools.On(" devices", Listing({"A1\tdevice", "B2\tdevice", "C3\tdevice"}))
            .OnErrors("-s B2 ", "", "adb.exe: failed to install a: Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\r\n")
            .On(" install -r ", "Success\r\n");
        scene.Install();
        CHECK(scene.Outcome() ==
              Lines({"red:程序安装失败！", "reason:2 台成功，1 台失败：B2 手机存储空间不足。请清理手机空间后再试", "idle"}));
        // Everything adb said, phone by phone, is one click away.
        CHECK(scene.view.details.find("A1：成功") != std::string::npos);
        CHECK(scene.view.details.find("B2：手机存储空间不足") != std::string::npos);
        CHECK(scene.view.details.find("INSTALL_FAILED_INSUFFICIENT_STORAGE") != std::string::npos);
    }
    SUBCASE("a phone that is not ready counts as not served") {
        Scene scene;
        scene.tools.On(" devices", Listing({"A1\tdevice", "B2\tunauthorized"})).On(" install -r ", "Success\r\n");
        scene.Install();
        CHECK(scene.tools.calls.size() == 3);
        CHECK(scene.tools.calls[2] == kAdb + " -s A1 install -r \"D:\\apps\\demo.apk\""); // two phones: -s
        CHECK(scene.Outcome() ==
              Lines({"red:程序安装失败！",
                     "reason:1 台成功，1 台失败：B2 手机尚未允许此电脑调试：请在手机上点“允许”（勾选“始终允许”）后重试。",
                     "idle"}));
    }
    SUBCASE("odd serials") {
        Scene scene;
        // A serial with a blank is quoted; one in UTF-8 reaches adb in the code page; one the code page
        // can't carry is not tried.
        scene.tools.On(" devices", Listing({"my phone\tdevice", "\xE6\x89\x8B\xE6\x9C\xBA\tdevice", "\xD8\xB9\tdevice"}))
            .On(" install -r ", "Success\r\n");
        scene.Install();
        CHECK(scene.tools.calls == std::vector<std::string>{kAdb + " devices", kAdb + " -s \"my phone\" shell getprop",
                                                            kAdb + " -s 手机 shell getprop",
                                                            kAdb + " -s \"my phone\" install -r \"D:\\apps\\demo.apk\"",
                                                            kAdb + " -s 手机 install -r \"D:\\apps\\demo.apk\""});
        CHECK(scene.view.events[4] == "red:程序安装失败！");
        CHECK(scene.view.events[5] == "reason:2 台成功，1 台失败：? 序列号含有无法传给adb的字符");
    }
}

TEST_CASE("A long run shows how long it has taken, and with several phones how many are done") {
    Scene scene;
    scene.tools.On(" devices", Listing({"A1\tdevice", "B2\tdevice"}))
        .OnErrors("-s A1 install", "Success\r\n", "", 2300)
        .OnErrors("-s B2 install", "Success\r\n", "", 3100);
    scene.Install();
    std::vector<std::string> notes;
    for (const auto& e : scene.view.events) {
        if (e.rfind("reason:已用", 0) == 0 && (notes.empty() || notes.back() != e))
            notes.push_back(e);
    }
    CHECK(notes == std::vector<std::string>{"reason:已用 2 秒，已完成 0/2 台", "reason:已用 2 秒，已完成 1/2 台",
                                            "reason:已用 3 秒，已完成 1/2 台", "reason:已用 3 秒，已完成 2/2 台"});
    CHECK(scene.view.events[scene.view.events.size() - 4] == "red:程序安装成功！");
    CHECK(scene.view.events[scene.view.events.size() - 3] == "reason:已装到 2 台手机：A1、B2"); // the note ends

    Scene quick;
    quick.tools.On(" devices", kListing).OnErrors(" install ", "Success\r\n", "", 1900);
    quick.Install();
    for (const auto& e : quick.view.events)
        CHECK(e.rfind("reason:已用", 0) != 0);
}

TEST_CASE("Enormous or binary output is a clear failure") {
    std::string noise(3 << 20, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 24);
    Scene scene;
    scene.tools.OnErrors(" devices", kListing + noise, noise).OnErrors(" install ", noise, noise);
    scene.Install();
    CHECK(scene.view.events[4] == "red:程序安装失败！");
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
        scene.tools.On(" devices", Listing({"A1\tdevice", "B2\tdevice"})).On(" install -r ", "Success\r\n");
        std::vector<std::string> handed;
        bool copyExisted = true;
        scene.tools.whileRunning = [&](const std::string& command) {
            if (command.find(" install -r ") == std::string::npos)
                return;
            const auto open = command.find("-r \"") + 4;
            handed.push_back(command.substr(open, command.size() - open - 1));
            copyExisted = copyExisted && scene.system.FileExists(handed.back());
        };
        scene.Install(c.apk);
        CHECK(scene.view.events.back() == "idle");
        CHECK(copyExisted);
        REQUIRE(handed.size() == 2);
        CHECK(handed[0] == handed[1]); // one copy serves every phone
        if (c.copied) {
            const std::string temp = "C:\\Temp\\{00000000-0000-4000-8000-000000000000}.apk";
            CHECK(handed[0] == temp);
            CHECK(scene.system.log == std::vector<std::string>{"copy " + c.apk + " " + temp, "remove " + temp});
            CHECK_FALSE(scene.system.FileExists(temp));
        } else {
            CHECK(handed[0] == c.apk);
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
        CHECK(scene.Outcome() == Lines({"red:程序安装失败！", "reason:没有可用的临时文件夹，无法复制中文名的安装包", "idle"}));
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
        CHECK(scene.view.Joined() == Lines({kNoReason, kInstalling, "hint hidden", "busy"}));
        REQUIRE(scene.system.log.size() == 2);
        CHECK(scene.system.log[1].rfind("remove ", 0) == 0);
    }
    SUBCASE("during the device check") {
        Scene scene;
        scene.tools.On(" devices", kListing).On(" install -r ", "Success\r\n");
        scene.tools.whileRunning = [&](const std::string&) { scene.view.closed = true; };
        scene.Install();
        CHECK(scene.view.Joined() == Lines({kNoReason}));
        CHECK(scene.tools.calls.size() == 1);
    }
}

TEST_CASE("Uninstall, with its own texts and colours, on one phone or several") {
    struct Case {
        const char* name;
        std::string listing;
        std::string output;
        std::string events;
    };
    const Case cases[] = {
        {"success", kListing, "Success\r\n",
         Lines({kNoReason, kUninstalling, "hint hidden", "busy", "green:程序卸载成功！", kNoReason, "hint hidden", "idle"})},
        {"not installed", kListing, "Failure [DELETE_FAILED_INTERNAL_ERROR]\r\n",
         Lines({kNoReason, kUninstalling, "hint hidden", "busy", "red:程序卸载失败！", "reason:手机上没有安装此应用，或它无法卸载",
                "hint hidden", "idle"})},
        {"not installed, newer phones", kListing, "Failure [not installed for 0]\r\n",
         Lines({kNoReason, kUninstalling, "hint hidden", "busy", "red:程序卸载失败！", "reason:手机上没有安装此应用", "hint hidden",
                "idle"})},
        {"no device", Listing({}), "", Lines({kNoReason, std::string("text:") + kNoDeviceText, "hint shown"})},
        {"two phones", Listing({"A1\tdevice", "B2\tdevice"}), "Success\r\n",
         Lines({kNoReason, kUninstalling, "hint hidden", "busy", "green:程序卸载成功！", kNoReason, "hint hidden", "idle"})},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Scene scene;
        scene.tools.On(" devices", c.listing).On(" uninstall ", c.output);
        scene.Uninstall();
        CHECK(scene.view.Joined() == c.events);
        if (scene.tools.calls.size() == 3)
            CHECK(scene.tools.calls[2] == kAdb + " uninstall com.example.demo");
        if (scene.tools.calls.size() == 5)
            CHECK(scene.tools.calls[4] == kAdb + " -s B2 uninstall com.example.demo");
    }
    Scene none;
    none.Uninstall("");
    CHECK(none.view.Joined() == Lines({kNoReason, "text:未选择要卸载的apk文件。", "hint hidden"}));
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

namespace {

// A phone that says what it is and what it has of com.example.demo (nothing, when `code` is 0),
// in one shell command or, once its name is known, the second alone.
void Plays(ScriptedTools& tools, const std::string& serial, const std::string& brand, const std::string& name,
           int code = 0, const std::string& signer = "8a7b6c5d") {
    const std::string copy =
        code == 0 ? "Unable to find package: com.example.demo\r\n"
                  : "Packages:\r\n  Package [com.example.demo] (1):\r\n    versionCode=" + std::to_string(code) +
                        "\r\n    versionName=1." + std::to_string(code - 10) +
                        ".0\r\n    signatures=PackageSignatures{1 version:2, signatures:[" + signer +
                        "], past signatures:[]}\r\n";
    tools.On("-s " + serial + " shell \"getprop", "[ro.product.brand]: [" + brand + "]\r\n[ro.product.marketname]: [" +
                                                      name + "]\r\nVARNEL:DUMPSYS\r\n" + copy);
    tools.On("-s " + serial + " shell dumpsys", copy);
}

PackageToInstall Demo() {
    PackageToInstall package;
    package.file = "D:\\apps\\demo.apk";
    package.packageName = "com.example.demo";
    package.versionCode = 12;
    package.versionName = "1.2.0";
    package.signer = 0x8a7b6c5du;
    package.launchableActivity = "com.example.demo.Main";
    return package;
}

bool Has(const std::vector<std::string>& calls, const std::string& part) {
    return std::any_of(calls.begin(), calls.end(),
                       [&](const std::string& c) { return c.find(part) != std::string::npos; });
}

} // namespace

TEST_CASE("Three phones that each need something different are asked about in one go, then served at once") {
    Scene scene;
    scene.tools.On(" devices", Listing({"A\tdevice", "B\tdevice", "C\tdevice"}));
    Plays(scene.tools, "A", "Redmi", "Redmi Note 12", 11);
    Plays(scene.tools, "B", "vivo", "vivo X100", 13);
    Plays(scene.tools, "C", "OPPO", "OPPO Find X6", 12, "1f2e3d4c");
    scene.tools.On(" uninstall ", "Success\r\n").On(" install ", "Success\r\n");
    scene.view.answers = {true, true};
    InstallPackage(Demo(), scene.phone, scene.view);
    REQUIRE(scene.view.questions.size() == 2);
    CHECK(scene.view.questions[0].find("vivo X100：1.3.0") != std::string::npos);
    CHECK(scene.view.questions[0].find("较旧的 1.2.0") != std::string::npos);
    CHECK(scene.view.questions[1].find("OPPO Find X6（手机上为 1.2.0）") != std::string::npos);
    CHECK(scene.view.questions[1].find("全部数据") != std::string::npos);
    // What they are and have, the one uninstall, then every install together.
    CHECK(scene.tools.batchSizes == std::vector<std::size_t>{1, 3, 1, 3});
    CHECK(scene.tools.calls[1] ==
          kAdb + " -s A shell \"getprop; echo VARNEL:DUMPSYS; dumpsys package com.example.demo\"");
    CHECK(scene.tools.calls[4] == kAdb + " -s C uninstall com.example.demo");
    CHECK(Has(scene.tools.calls, "-s A install -r \"D:"));
    CHECK(Has(scene.tools.calls, "-s B install -r -d \"D:"));
    CHECK(Has(scene.tools.calls, "-s C install -r \"D:"));
    CHECK(
        std::count(scene.view.events.begin(), scene.view.events.end(),
                   "reason:Redmi Note 12 升级（手机上为 1.1.0），vivo X100 降级（手机上为更新的 1.3.0），OPPO Find X6 "
                   "卸载手机上的版本后安装") == 1);
    CHECK(ResultsText(scene.view.results) == "手机\t序列号\t原版本\t现版本\t结果\t原因\r\n"
                                             "Redmi Note 12\tA\t1.1.0\t1.2.0\t成功\t已从 1.1.0 升级到 1.2.0\r\n"
                                             "vivo X100\tB\t1.3.0\t1.2.0\t成功\t已从 1.3.0 降级到 1.2.0\r\n"
                                             "OPPO Find X6\tC\t1.2.0\t1.2.0\t成功\t已卸载手机上的旧版并安装 1.2.0\r\n");
    CHECK(scene.view.events[scene.view.events.size() - 2] == "countdown");
}

TEST_CASE("A refused downgrade is offered the uninstall; a failed uninstall keeps the copy; a vanished phone says so") {
    Scene scene;
    scene.tools.On(" devices", Listing({"B\tdevice", "D\tdevice", "E\tdevice"}));
    Plays(scene.tools, "B", "vivo", "vivo X100", 13);
    Plays(scene.tools, "D", "vivo", "vivo X100", 14);
    Plays(scene.tools, "E", "samsung", "Galaxy S24");
    scene.tools.OnErrors("-s D uninstall", "Failure [DELETE_FAILED_INTERNAL_ERROR]\r\n", "")
        .On(" uninstall ", "Success\r\n")
        .OnErrors("-s E install", "", "adb.exe: device 'E' not found\r\n")
        .OnErrors(" install -r -d ", "", "adb.exe: failed to install x: Failure [INSTALL_FAILED_VERSION_DOWNGRADE]\r\n")
        .On(" install -r ", "Success\r\n");
    scene.view.answers = {true, true};
    InstallPackage(Demo(), scene.phone, scene.view);
    REQUIRE(scene.view.questions.size() == 2);
    // Two alike on a rack are told apart by their serials' ends.
    CHECK(scene.view.questions[1].find("vivo X100（D）：手机不允许降级安装") != std::string::npos);
    const auto& rows = scene.view.results.rows;
    REQUIRE(rows.size() == 3);
    CHECK(rows[0].reason == "已卸载手机上的旧版并安装 1.2.0");
    CHECK(rows[1].result == "失败");
    CHECK(rows[1].after == "1.4.0");
    CHECK(rows[1].reason == "没能卸载手机上的版本（手机上没有安装此应用，或它无法卸载），它仍留在手机上，没有安装");
    CHECK(rows[2].reason == "手机已断开连接。请检查USB线后再试");
    CHECK(scene.view.events[scene.view.events.size() - 2] ==
          "reason:1 台成功，2 台失败：vivo X100（D） "
          "没能卸载手机上的版本（手机上没有安装此应用，或它无法卸载），它仍留在手机上，没有安装");
}

TEST_CASE("A phone that asks on its own screen: the note says to look, a refusal gets its maker's steps") {
    Scene scene;
    scene.tools.On(" devices", Listing({"X\tdevice", "V\tdevice"}));
    Plays(scene.tools, "X", "Xiaomi", "Xiaomi 14");
    Plays(scene.tools, "V", "vivo", "vivo X100");
    const std::string refused =
        "adb.exe: failed to install x: Failure [INSTALL_FAILED_USER_RESTRICTED: Install canceled by user]\r\n";
    scene.tools.OnErrors("-s X install", "", refused, 1000).OnErrors("-s V install", "", refused, 6000);
    InstallPackage(Demo(), scene.phone, scene.view);
    CHECK(std::count(scene.view.events.begin(), scene.view.events.end(),
                     "reason:请看手机屏幕，如有提示请点“允许”或“继续安装”：vivo X100（已等 5 秒）") == 10);
    CHECK(scene.view.results.rows[0].reason.find("打开“USB安装”（需插入SIM卡并登录小米账号）") != std::string::npos);
    CHECK(scene.view.results.rows[1].reason.rfind("vivo手机拒绝了安装", 0) == 0);
}

TEST_CASE("Opening the app: its activity on each phone that took it, the launcher's entry where that fails") {
    InstallResults installed;
    installed.packageName = "com.example.demo";
    installed.launchableActivity = "com.example.demo.Main$Launcher";
    installed.rows = {{"Pixel 7", "A", "", "", "", "", true, "A"},
                      {"vivo X100", "B", "", "", "", "", true, "B"},
                      {"Galaxy", "C", "", "", "", "", false, "C"}};
    Scene scene;
    scene.tools.On("-s A shell am start", "Starting: Intent { cmp=com.example.demo/.Main$Launcher }\r\n")
        .On("-s B shell am start",
            "Starting: Intent { cmp=x }\r\nError type 3\r\nError: Activity class {x} does not exist.\r\n")
        .On("-s B shell monkey", "** No activities found to run, monkey aborted.\r\n");
    OpenInstalledApp(installed, scene.phone, scene.view);
    CHECK(scene.tools.calls ==
          std::vector<std::string>{kAdb + " -s A shell am start -n 'com.example.demo/com.example.demo.Main$Launcher'",
                                   kAdb + " -s B shell am start -n 'com.example.demo/com.example.demo.Main$Launcher'",
                                   kAdb +
                                       " -s B shell monkey -p com.example.demo -c android.intent.category.LAUNCHER 1"});
    CHECK(scene.view.events[scene.view.events.size() - 2] ==
          "reason:1 台已打开，1 台失败：vivo X100 手机上找不到这个应用的启动界面");
}

TEST_CASE("A phone is asked what it is once while it stays attached") {
    Scene scene;
    Plays(scene.tools, "A", "Redmi", "Redmi Note 12");
    Plays(scene.tools, "B", "vivo", "vivo X100");
    scene.tools.On(" install ", "Success\r\n");
    const auto getprops = [&](const char* listing) {
        scene.tools.rules.insert(scene.tools.rules.begin(), ScriptedTools::Rule{" devices", listing, "", true, 0});
        scene.tools.calls.clear();
        InstallPackage(Demo(), scene.phone, scene.view);
        return std::count_if(scene.tools.calls.begin(), scene.tools.calls.end(),
                             [](const std::string& c) { return c.find("getprop") != std::string::npos; });
    };
    CHECK(getprops("List of devices attached\r\nA\tdevice\r\nB\tdevice\r\n") == 2);
    CHECK(getprops("List of devices attached\r\nA\tdevice\r\nB\tdevice\r\n") == 0);
    CHECK(getprops("List of devices attached\r\nA\tdevice\r\n") == 0);
    CHECK(getprops("List of devices attached\r\nA\tdevice\r\nB\tdevice\r\n") == 1); // B came back
}

#include "device/PhoneOperations.h"

#include "FakeSystem.h"

#include <doctest/doctest.h>

#include <algorithm>

namespace {

const std::string kFolder = "C:\\Tools\\";
const std::string kAdb = "\"C:\\Tools\\adb\\adb.exe\"";

// A bundle whose pieces are files named after them.
struct FakeBundle : ISplitPackage {
    std::vector<SplitApk> splits;
    std::vector<StandaloneApk> standalones;
    std::vector<Obb> obbs;
    std::string failure; // what Files raises, if anything
    std::vector<std::vector<std::string>> asked;

    std::string PackageName() override { return "org.varnel.bundle"; }
    std::vector<SplitApk> Splits() override { return splits; }
    std::vector<StandaloneApk> Standalones() override { return standalones; }
    std::vector<std::string> Files(const std::vector<std::string>& names) override {
        asked.push_back(names);
        if (!failure.empty())
            throw VarnelError(failure);
        std::vector<std::string> files;
        for (const auto& name : names)
            files.push_back("C:\\T\\" + name);
        return files;
    }
    std::vector<Obb> ObbFiles() override { return obbs; }
};

FakeBundle TypicalBundle() {
    FakeBundle bundle;
    const auto add = [&](const char* name, SplitKind kind, const char* config, const char* module = "base") {
        bundle.splits.push_back(SplitApk{name, kind, config, module});
    };
    add("base.apk", SplitKind::Base, "");
    add("arm64.apk", SplitKind::Abi, "arm64-v8a");
    add("x86_64.apk", SplitKind::Abi, "x86_64");
    add("xxhdpi.apk", SplitKind::Density, "xxhdpi");
    add("hdpi.apk", SplitKind::Density, "hdpi");
    add("zh.apk", SplitKind::Language, "zh");
    add("fr.apk", SplitKind::Language, "fr");
    add("feature.apk", SplitKind::Feature, "", "feature_x");
    return bundle;
}

// What a phone answers when asked what it is: its getprop listing.
void Answers(ScriptedTools& tools, const std::string& serialPart, const char* abis, const char* density,
             const char* locale, const char* sdk) {
    const std::string abi = std::string(abis).substr(0, std::string(abis).find(','));
    tools.On(serialPart + "shell getprop", "[ro.product.cpu.abilist]: [" + std::string(abis) + "]\r\n[ro.product.cpu.abi]: [" +
                                               abi + "]\r\n[ro.sf.lcd_density]: [" + density + "]\r\n[persist.sys.locale]: [" +
                                               locale + "]\r\n[ro.build.version.sdk]: [" + sdk + "]\r\n");
}

struct Scene {
    FakeSystem system;
    ScriptedTools tools;
    RecordingPhoneView view;
    PhoneTools phone{kFolder, tools, system};
    FakeBundle bundle = TypicalBundle();

    Scene() { system.files["C:\\Tools\\adb\\adb.exe"] = 1; }
    void Install() {
        PackageToInstall package;
        package.file = "D:\\apps\\game.xapk";
        package.requiredAndroid = "Android 5.0";
        InstallSplitPackage(package, bundle, phone, view);
    }
    std::vector<std::string> CallsWith(const std::string& part) const {
        std::vector<std::string> found;
        for (const auto& call : tools.calls) {
            if (call.find(part) != std::string::npos)
                found.push_back(call);
        }
        return found;
    }
    std::string Status() const {
        for (auto e = view.events.rbegin(); e != view.events.rend(); ++e) {
            if (e->rfind("red:", 0) == 0)
                return *e;
        }
        return std::string();
    }
    std::string Reason() const {
        for (auto e = view.events.rbegin(); e != view.events.rend(); ++e) {
            if (e->rfind("reason:", 0) == 0)
                return *e;
        }
        return std::string();
    }
};

} // namespace

TEST_CASE("Each phone gets the pieces that suit it, its expansion files first") {
    Scene scene;
    scene.bundle.obbs = {{"C:\\T\\obb-1.obb", "Android/obb/org.varnel.bundle/main.7.org.varnel.bundle.obb"}};
    scene.tools.On(" devices", "List of devices attached\r\nA1\tdevice\r\nB2\tdevice\r\n\r\n");
    Answers(scene.tools, "-s A1 ", "arm64-v8a,armeabi-v7a", "480", "zh-CN", "33");
    Answers(scene.tools, "-s B2 ", "x86_64,x86", "240", "fr-FR", "30");
    scene.tools.On(" shell mkdir ", "").On(" push ", "C:\\T\\obb-1.obb: 1 file pushed, 0 skipped.\r\n").On(" install", "Success\r\n");
    scene.Install();
    CHECK(scene.Status() == "red:程序安装成功！");
    CHECK(scene.view.events[scene.view.events.size() - 2] == "countdown");
    // The steps run phone by phone at once: what they are, the folder, the data, the install.
    CHECK(scene.tools.batchSizes == std::vector<std::size_t>{1, 2, 2, 2, 2});
    CHECK(scene.CallsWith(" mkdir ") ==
          std::vector<std::string>{kAdb + " -s A1 shell mkdir -p /sdcard/Android/obb/org.varnel.bundle",
                                   kAdb + " -s B2 shell mkdir -p /sdcard/Android/obb/org.varnel.bundle"});
    CHECK(scene.CallsWith(" push ").front() ==
          kAdb + " -s A1 push \"C:\\T\\obb-1.obb\" \"/sdcard/Android/obb/org.varnel.bundle/main.7.org.varnel.bundle.obb\"");
    CHECK(scene.CallsWith(" install-multiple ") ==
          std::vector<std::string>{
              kAdb + " -s A1 install-multiple -r \"C:\\T\\base.apk\" \"C:\\T\\arm64.apk\" \"C:\\T\\xxhdpi.apk\" "
                     "\"C:\\T\\zh.apk\" \"C:\\T\\feature.apk\"",
              kAdb + " -s B2 install-multiple -r \"C:\\T\\base.apk\" \"C:\\T\\x86_64.apk\" \"C:\\T\\hdpi.apk\" "
                     "\"C:\\T\\fr.apk\" \"C:\\T\\feature.apk\""});
}

TEST_CASE("A phone that can't take the bundle is told why; the others still get it") {
    struct Case {
        const char* name;
        const char* abis;
        const char* sdk;
        std::string reason;
    };
    const Case cases[] = {
        {"Android 4.4 and no standalone APK", "armeabi-v7a", "19",
         "reason:1 台成功，1 台失败：B2 手机的 Android 版本低于 5.0，不能安装分包形式的应用。"},
        {"a processor the package has no code for", "mips", "30",
         "reason:1 台成功，1 台失败：B2 安装包里没有适合这部手机处理器的版本。"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Scene scene;
        scene.tools.On(" devices", "List of devices attached\r\nA1\tdevice\r\nB2\tdevice\r\n\r\n");
        Answers(scene.tools, "-s A1 ", "arm64-v8a", "480", "zh-CN", "33");
        Answers(scene.tools, "-s B2 ", c.abis, "320", "en-US", c.sdk);
        scene.tools.On(" install", "Success\r\n");
        scene.Install();
        CHECK(scene.Status() == "red:程序安装失败！");
        CHECK(scene.Reason() == c.reason);
        CHECK(scene.CallsWith(" install-multiple ").size() == 1);
        CHECK(scene.CallsWith("-s B2 install").empty());
    }
}

TEST_CASE("An old phone gets the standalone APK that suits it, with a plain install") {
    Scene scene;
    scene.bundle.standalones = {{"standalone-arm.apk", "armeabi-v7a", "hdpi"}, {"standalone-x86.apk", "x86", "hdpi"}};
    scene.tools.On(" devices", "List of devices attached\r\nA1\tdevice\r\n\r\n");
    Answers(scene.tools, "", "x86", "240", "zh-CN", "19");
    scene.tools.On(" install", "Success\r\n");
    scene.Install();
    CHECK(scene.Status() == "red:程序安装成功！");
    // One phone: adb picks it, as for a plain package.
    CHECK(scene.CallsWith(" install") == std::vector<std::string>{kAdb + " install -r \"C:\\T\\standalone-x86.apk\""});
    CHECK(scene.CallsWith(" getprop").front() == kAdb + " shell getprop");
}

TEST_CASE("A bundle that can't be installed as it is stops before anything reaches a phone") {
    Scene scene;
    scene.bundle.failure = "安装包里的文件属于不同的应用：org.varnel.other 与 org.varnel.bundle。";
    scene.bundle.obbs = {{"C:\\T\\obb-1.obb", "Android/obb/org.varnel.bundle/main.obb"}};
    scene.tools.On(" devices", "List of devices attached\r\nA1\tdevice\r\nB2\tdevice\r\n\r\n");
    Answers(scene.tools, "-s A1 ", "arm64-v8a", "480", "zh-CN", "33");
    Answers(scene.tools, "-s B2 ", "arm64-v8a", "480", "zh-CN", "33");
    scene.tools.On(" ", "Success\r\n");
    scene.Install();
    CHECK(scene.Status() == "red:程序安装失败！");
    CHECK(scene.Reason() == "reason:安装包里的文件属于不同的应用：org.varnel.other 与 org.varnel.bundle。");
    CHECK(scene.CallsWith(" install").empty());
    CHECK(scene.CallsWith(" push ").empty());
    CHECK(scene.view.events.back() == "idle");
}

TEST_CASE("Phones that vanish, or refuse the data, are told apart") {
    SUBCASE("a phone that says nothing about itself") {
        Scene scene;
        scene.tools.On(" devices", "List of devices attached\r\nA1\tdevice\r\nB2\tdevice\r\n\r\n");
        Answers(scene.tools, "-s A1 ", "arm64-v8a", "480", "zh-CN", "33");
        scene.tools.OnErrors("-s B2 ", "", "adb.exe: device 'B2' not found\r\n");
        scene.tools.On(" install", "Success\r\n");
        scene.Install();
        CHECK(scene.Reason() == "reason:1 台成功，1 台失败：B2 手机已断开连接。请检查USB线后再试");
    }
    SUBCASE("a push that fails") {
        Scene scene;
        scene.bundle.obbs = {{"C:\\T\\obb-1.obb", "Android/obb/org.varnel.bundle/main.obb"}};
        scene.tools.On(" devices", "List of devices attached\r\nA1\tdevice\r\n\r\n");
        Answers(scene.tools, "", "arm64-v8a", "480", "zh-CN", "33");
        scene.tools.On(" mkdir ", "")
            .OnErrors(" push ", "", "adb.exe: error: failed to copy 'x' to '/sdcard/y': remote No space left on device\r\n")
            .On(" install", "Success\r\n");
        scene.Install();
        CHECK(scene.Status() == "red:程序安装失败！");
        CHECK(scene.Reason().rfind("reason:数据文件（OBB）没能传到手机上：", 0) == 0);
        CHECK(scene.CallsWith(" install").empty());
    }
    SUBCASE("install-multiple's own two-line refusal") {
        Scene scene;
        scene.tools.On(" devices", "List of devices attached\r\nA1\tdevice\r\n\r\n");
        Answers(scene.tools, "", "arm64-v8a", "480", "zh-CN", "33");
        scene.tools.OnErrors(" install-multiple ", "",
                             "adb: failed to finalize session\r\nFailure [INSTALL_FAILED_MISSING_SPLIT: Missing split "
                             "for org.varnel.bundle]\r\n");
        scene.Install();
        CHECK(scene.Reason() == "reason:此应用由多个安装包组成，缺少其中的拆分包。请安装完整的安装包组");
    }
}

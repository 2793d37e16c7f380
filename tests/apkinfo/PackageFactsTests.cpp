#include "apkinfo/PackageFacts.h"

#include "FakeSystem.h"
#include "TestPaths.h"

#include <doctest/doctest.h>

#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// What the SDK's aapt printed for a package, split as the runner splits it.
StringList Recorded(const std::string& path) {
    const std::string output = ReadFile(TestPath(path));
    REQUIRE_FALSE(output.empty());
    return SplitText(output, "\n");
}

} // namespace

#ifdef VARNEL_LABEL_PACKAGES
TEST_CASE("Names and versions in any script arrive whole, in the window's code page") {
    struct Case {
        const char* package;
        std::string name;    // GBK; what GBK lacks shows as "?"
        std::string version;
    };
    const Case cases[] = {
        {"label-1", "微", "1.0"},
        {"label-2", "微信", "8.0.47"},
        {"label-3", "支付宝", "10.5.0"},
        {"label-pdd", "拼多多", "7.1"},
        {"label-xhs", "小红书", "8.20.0"},
        {"label-5", "网易云音乐", "9.0.0 正式版"},
        {"label-lite", "小红书 Lite", "12.3 测试"},
        {"label-mixed", "urzip-π??现代汉语通用字-български-????1234", "1.0"},
        {"label-cafe", "Café", "2.0"},
    };
    FakeSystem system;
    for (const auto& c : cases) {
        CAPTURE(c.package);
        const PackageFacts facts =
            ReadPackageFacts(Recorded(std::string(VARNEL_LABEL_PACKAGES) + "/" + c.package + ".badging"), system);
        REQUIRE(facts.appName);
        CHECK(*facts.appName == c.name);
        REQUIRE(facts.versionName);
        CHECK(*facts.versionName == c.version);
        CHECK(facts.sdkLabel == std::optional<std::string>("Android 5.0"));
        CHECK(facts.packageName->rfind("org.varnel.labels.", 0) == 0);
    }
}
#endif

#ifdef VARNEL_ICON_PACKAGES
TEST_CASE("The facts of a real package, icons included") {
    FakeSystem system;
    const PackageFacts facts = ReadPackageFacts(Recorded(std::string(VARNEL_ICON_PACKAGES) + "/icon-adaptive.apk.txt"), system);
    CHECK(facts.packageName == std::optional<std::string>("org.varnel.icons.adaptive"));
    CHECK(facts.appName == std::optional<std::string>("Icon adaptive"));
    CHECK(facts.versionName == std::optional<std::string>("1.0"));
    CHECK(facts.iconMembers == std::vector<std::string>{"res\\mipmap-anydpi-v26\\ic_launcher.xml"});
    CHECK(facts.permissions.empty());
}
#endif

TEST_CASE("Facts the lines don't give stay unset; odd bytes stay as they came") {
    FakeSystem system;
    const PackageFacts empty = ReadPackageFacts({}, system);
    CHECK_FALSE(empty.packageName);
    CHECK_FALSE(empty.versionName);
    CHECK_FALSE(empty.sdkLabel);
    CHECK_FALSE(empty.appName);
    CHECK(empty.iconMembers.empty());

    const PackageFacts facts = ReadPackageFacts(
        {
            "package: name='a.b' versionCode='3' versionName='\xB0\xB2'", // GBK bytes, not UTF-8
            "sdkVersion:'19'",
            "uses-permission: name='android.permission.INTERNET'",
            "uses-permission: name='android.permission.INTERNET'",
            "application: label='\xE4\xB8' icon='res/a.png'", // cut UTF-8: an empty name
            "application: label='x' icon=''",
        },
        system);
    CHECK(facts.versionName == std::optional<std::string>("\xB0\xB2"));
    CHECK(facts.sdkLabel == std::optional<std::string>("Android 4.4"));
    CHECK(facts.permissions == StringList{"android.permission.INTERNET", "android.permission.INTERNET"});
    CHECK(facts.appName == std::optional<std::string>("x"));
    CHECK(facts.iconMembers == std::vector<std::string>{"res\\a.png", ""});
    CHECK(facts.versionCode == 3);
    CHECK(facts.launchableActivity.empty());
    CHECK(ReadPackageFacts({"package: name='a' versionCode='0x1'",
                            "launchable-activity: name='a.Main'  label='' icon=''", "launchable-activity: name='a.Two'"},
                           system)
              .launchableActivity == "a.Main");

    const PackageFacts broken = ReadPackageFacts({"application: label='\xE4\xB8' icon='res/a.png'"}, system);
    CHECK(broken.appName == std::optional<std::string>(""));
}

TEST_CASE("The size field's text, and a package that can't be opened") {
    FakeSystem system;
    system.files["D:\\a.apk"] = 6968;
    system.files["D:\\big.apk"] = 12345678;
    CHECK(FileSizeText("D:\\a.apk", system) == "6.8 K");
    CHECK(FileSizeText("D:\\big.apk", system) == "11.77 M");
    CHECK_THROWS_WITH_AS(FileSizeText("D:\\gone.apk", system), "Cannot open file \"D:\\gone.apk\". The file is missing",
                         VarnelError);
}

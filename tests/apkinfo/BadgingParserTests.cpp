#include "apkinfo/BadgingParser.h"

#include <doctest/doctest.h>


namespace {

// Records every fact in the order the parser hands it over.
struct Recorder : IBadgingSink {
    std::vector<std::string> events;
    void PackageNameFound(const std::string& v) override { events.push_back("package=" + v); }
    void VersionNameFound(const std::string& v) override { events.push_back("version=" + v); }
    void SdkVersionFound(const std::string& v) override { events.push_back("sdk=" + v); }
    void PermissionFound(const std::string& v) override { events.push_back("permission=" + v); }
    void ApplicationLabelFound(const std::u16string& v) override {
        std::string ascii;
        for (char16_t c : v)
            ascii += c < 0x80 ? static_cast<char>(c) : '?';
        events.push_back("label=" + ascii);
    }
    void ApplicationIconFound(const std::string& v) override { events.push_back("icon=" + v); }
};

// One text per parse, so that a failed check prints every event.
std::string Parse(const StringList& lines) {
    Recorder recorder;
    ParseBadging(lines, recorder);
    std::string joined;
    for (const auto& e : recorder.events)
        joined += e + "\n";
    return joined;
}

std::string Lines(const std::vector<std::string>& events) {
    std::string joined;
    for (const auto& e : events)
        joined += e + "\n";
    return joined;
}

} // namespace

TEST_CASE("The classic dump, line by line") {
    const StringList lines = {
        "package: name='com.example.demo' versionCode='3' versionName='1.2'",
        "sdkVersion:'8'",
        "targetSdkVersion:'10'",
        "uses-permission:'android.permission.INTERNET'",
        "uses-permission:'android.permission.READ_PHONE_STATE'",
        "application: label='Demo' icon='res/drawable-hdpi/icon.png'",
        "launchable-activity: name='com.example.demo.Main'  label='Demo' icon=''",
    };
    const std::vector<std::string> expected = {
        "package=com.example.demo",
        "version=1.2",
        "sdk=8",
        "permission=android.permission.INTERNET",
        "permission=android.permission.READ_PHONE_STATE",
        "label=Demo",
        "icon=res\\drawable-hdpi\\icon.png",
    };
    CHECK(Parse(lines) == Lines(expected));
}

TEST_CASE("Lines as today's aapt prints them") {
    const StringList lines = {
        "package: name='com.example.demo' versionCode='3' versionName='1.0 beta's' platformBuildVersionName='10.0.0' "
        "compileSdkVersion='29' compileSdkVersionCodename='10.0.0'",
        "sdkVersion:'21'",
        "targetSdkVersion:'29'",
        "uses-permission: name='android.permission.INTERNET'",
        "uses-permission: name='android.permission.READ_EXTERNAL_STORAGE' maxSdkVersion='18'",
        "uses-permission-sdk-23: name='android.permission.CAMERA'",
        "application-label:'Tom's Game'",
        "application-label-zh-CN:'x'",
        "application-icon-160:'res/mipmap-anydpi-v26/ic_launcher.xml'",
        "application: label='Tom's Game' icon='res/mipmap-anydpi-v26/ic_launcher.xml' banner='res/b.png'",
        "launchable-activity: name='com.example.demo.Main'  label='' icon=''",
        "feature-group: label=''",
    };
    const std::vector<std::string> expected = {
        "package=com.example.demo",
        "version=1.0 beta's",
        "sdk=21",
        "permission=android.permission.INTERNET",
        "permission=android.permission.READ_EXTERNAL_STORAGE",
        "label=Tom's Game",
        "icon=res\\mipmap-anydpi-v26\\ic_launcher.xml",
    };
    CHECK(Parse(lines) == Lines(expected));
}

TEST_CASE("Values belong to their exact key") {
    struct Case {
        const char* line;
        const char* key;
        bool found;
        const char* value;
    };
    const Case cases[] = {
        {"package: name='a.b' compileSdkVersionCodename='10.0.0'", "name", true, "a.b"},
        {"package: versionName='1,5'", "versionName", true, "1,5"},
        {"package: versionName='1.0 beta'", "versionName", true, "1.0 beta"},
        {"package: versionName='it's' name='x'", "versionName", true, "it's"},
        {"package: versionName='a' b' name='x'", "versionName", true, "a' b"},
        {"package: versionName='1.0", "versionName", true, "1.0"},   // no closing quote: the rest of the line
        {"package: versionName=''", "versionName", true, ""},
        {"package: versionName='x'  ", "versionName", true, "x"},    // trailing blanks end the line
        {"package: codename='9'", "name", false, ""},
        {"package: name='first' name='second'", "name", true, "second"},
        {"application: label='Rock 'n' Roll' icon='i.png'", "label", true, "Rock 'n' Roll"},
        {"application: label='a='b' icon='i.png'", "label", true, "a='b"},
        {"name='lead'", "name", true, "lead"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.line);
        std::string value = "untouched";
        CHECK(FindKeyValue(c.line, c.key, value) == c.found);
        if (c.found)
            CHECK(value == c.value);
    }
}

TEST_CASE("Line classification, order and overwriting") {
    // "package:" anywhere wins over the later tests; later lines of a kind add or overwrite.
    const StringList lines = {
        "xx package: name='p1' sdkVersion:'3' versionName='v'",
        "sdkVersion:'8 '",
        "TargetsdkVersion:'9'",
        "uses-permission:'a.B'",
        "uses-permission:'a.B'",
        "uses-permission:''",
        "application: icon='x/y.png'",
        "package: versionCode='2'",
        "package: name='p2'",
    };
    const std::vector<std::string> expected = {
        "package=p1' sdkVersion:'3", "version=v", "sdk=8 ",        "sdk=9",           "permission=a.B", "permission=a.B",
        "permission=", "label=",       "icon=x\\y.png",   "package=p2",
    };
    CHECK(Parse(lines) == Lines(expected));
    CHECK(Parse({}).empty());
    CHECK(Parse({"", "garbage", "\x01\x02", "Package: name='x'", "launchable-activity: name='m'"}).empty());
}

TEST_CASE("Labels decode from UTF-8 fully or not at all") {
    CHECK(DecodeUtf8Label("Demo") == u"Demo");
    CHECK(DecodeUtf8Label("\xE6\xBC\x94\xE7\xA4\xBA") == u"\u6F14\u793A");
    CHECK(DecodeUtf8Label("\xC3\xA9t\xC3\xA9") == u"\u00E9t\u00E9");
    CHECK(DecodeUtf8Label("A\xF0\x9F\x98\x80") == u"A\U0001F600"); // four bytes become a surrogate pair
    const char* broken[] = {
        "abc\xE4",              // ends inside a sequence
        "\xE4\xB8",             // likewise
        "\xE4\x41\x41",         // a continuation byte missing
        "\x80",                 // continuation byte first
        "\xC0\xAF",             // overlong
        "\xE0\x80\xAF",         // overlong
        "\xED\xA0\x80",         // an encoded surrogate
        "\xF4\x90\x80\x80",     // above U+10FFFF
        "\xFF",
    };
    for (const char* text : broken) {
        CAPTURE(text);
        CHECK(DecodeUtf8Label(text).empty());
    }
    const StringList lines = {"application: label='abc\xE4' icon='a.png'"};
    CHECK(Parse(lines) == Lines({"label=", "icon=a.png"}));
}


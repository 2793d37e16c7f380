#include "app/AppText.h"
#include "device/TextSplit.h"

#include <doctest/doctest.h>

TEST_CASE("Link addresses reach the browser trimmed and with a scheme") {
    CHECK(BrowserAddress("www.quorly.com/article/37820.shtml      ") == "http://www.quorly.com/article/37820.shtml");
    CHECK(BrowserAddress("http://www.quorly.com/rj/37804.shtml                ") ==
          "http://www.quorly.com/rj/37804.shtml");
    CHECK(BrowserAddress("https://x.y/") == "https://x.y/");
    CHECK(DownDriverAddress().size() - DownDriverAddress().find_last_not_of(' ') - 1 == 6);
    CHECK(HelpAddress().size() - HelpAddress().find_last_not_of(' ') - 1 == 4);
    CHECK(CheckUpdateAddress().size() - CheckUpdateAddress().find_last_not_of(' ') - 1 == 16);
    CHECK(DownHintAddress().size() - DownHintAddress().find_last_not_of(' ') - 1 == 6);
    CHECK(GoMarketAddress() == std::string("http://") + kPublisherHost + "/os/android/");
}

TEST_CASE("The caption and title") {
    CHECK(FormCaption() == std::string("Varnel3.5      Quorly") + kPublisherHost);
    const std::string title = kApplicationTitle;
    REQUIRE(title.size() == 6 + 7 + 3);
    CHECK(title.rfind("Varnel       ", 0) == 0);
}

TEST_CASE("The Open dialog offers APKs first, then bundles, then every kind") {
    const StringList parts = SplitText(OpenDialogFilter(), std::string(1, '\0'));
    CHECK(parts == StringList{"Apk文件", "*.apk", "安装包组（apks、xapk、apkm）", "*.apks;*.xapk;*.apkm", "所有支持的文件",
                              "*.apk;*.apks;*.xapk;*.apkm", "", ""});
}

TEST_CASE("Several packages on the command line, or chosen at once in the Open dialog") {
    struct Case {
        std::string commandLine;
        std::vector<std::string> names;
    };
    const Case lines[] = {
        {"\"C:\\T\\app.exe\" \"D:\\a.apk\"", {"D:\\a.apk"}},
        {"\"C:\\T\\app.exe\" \"D:\\a.apk\" \"E:\\b.apk\" \"F:\\c.xapk\"", {"D:\\a.apk", "E:\\b.apk", "F:\\c.xapk"}},
        {"\"C:\\T\\app.exe\"  \"D:\\a.apk\"", {"D:\\a.apk"}},
    };
    for (const auto& c : lines) {
        const StartupArguments arguments = ReadStartupCommandLine(c.commandLine);
        CHECK(arguments.apkFileNames == c.names);
        CHECK(arguments.apkFileName == c.names.front()); // the first, as a single package is opened
    }
    CHECK(ReadStartupCommandLine("\"C:\\T\\app.exe\"").apkFileNames.empty());

    struct Dialog {
        std::string buffer;
        std::vector<std::string> files;
    };
    const Dialog dialogs[] = {
        {std::string("D:\\apps\\a.apk\0\0", 15), {"D:\\apps\\a.apk"}},
        {std::string("D:\\apps\0a.apk\0b.xapk\0\0", 23), {"D:\\apps\\a.apk", "D:\\apps\\b.xapk"}},
        {std::string("D:\\\0a.apk\0b.apk\0\0", 17), {"D:\\a.apk", "D:\\b.apk"}},
    };
    for (const auto& d : dialogs)
        CHECK(OpenDialogFiles(d.buffer) == d.files);
}

TEST_CASE("The list's signature column: the verdict's word, or the line when it has none") {
    CHECK(ShortSignatureVerdict("签名有效 v1+v2：Quorly，SHA-256 635E…") == "有效");
    CHECK(ShortSignatureVerdict("签名无效：classes.dex 在签名后被改动过") == "无效");
    CHECK(ShortSignatureVerdict("未签名：手机会拒绝安装") == "未签名");
    CHECK(ShortSignatureVerdict("没能核对") == "没能核对");
    CHECK(ShortSignatureVerdict("").empty());
}

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

#include "apkinfo/PieceCheck.h"

#include <doctest/doctest.h>

TEST_CASE("A piece is checked against the app on show by what aapt prints for it") {
    struct Case {
        const char* name;
        std::string line;
        bool isBase;
        std::string problem;
    };
    const Case cases[] = {
        {"the base", "package: name='org.x' versionCode='7' versionName='2.1'", true, ""},
        {"a config split", "package: name='org.x' versionCode='7' versionName='' split='config.zh'", false, ""},
        {"another app's piece", "package: name='org.other' versionCode='7' versionName='' split='config.zh'", false,
         "安装包里的文件属于不同的应用：org.other 与 org.x。"},
        {"a second base", "package: name='org.x' versionCode='7' versionName='2.1'", false,
         "安装包里有不止一个基础 APK，无法确定安装哪一个。"},
        {"a base that is a split", "package: name='org.x' versionCode='7' versionName='' split='config.zh'", true,
         "安装包的基础 APK 其实是一个拆分包，安装包已损坏。"},
        {"odd bytes in a name are not shown", "package: name='o\"r\xE4g' split='a'", false,
         "安装包里的文件属于不同的应用：o?r?g 与 org.x。"},
        {"no package line", "ERROR: dump failed", false, ""},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        CHECK(PieceProblem({"x", c.line, "sdkVersion:'21'"}, "org.x", c.isBase) == c.problem);
    }
    CHECK(PieceProblem({}, "org.x", false).empty());
}

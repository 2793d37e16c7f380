#include "apkinfo/ShelfIntake.h"

#include <doctest/doctest.h>

#include <map>

namespace {

bool GbkLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Folders as a table: a path that names one lists what lies directly inside it.
const std::map<std::string, std::vector<std::string>> kFolders = {
    {"D:\\rack", {"D:\\rack\\b.apk", "D:\\rack\\readme.txt", "D:\\rack\\A.XAPK"}},
    {"D:\\docs\\", {"D:\\docs\\notes.txt"}},
    {"D:\\\xD0\xC7\xB9\xE2", {}}, // 星光: the second byte of 光 is no separator
};

ShelfIntake Take(const std::vector<std::string>& paths, const std::vector<std::string>& listed = {}) {
    return TakeIn(
        paths, listed,
        [](const std::string& path, std::vector<std::string>& files) {
            const auto found = kFolders.find(path);
            if (found == kFolders.end())
                return false;
            files = found->second;
            return true;
        },
        GbkLead);
}

} // namespace

TEST_CASE("What is handed in becomes the list: packages once each, a folder's own, and a message for the rest") {
    struct Case {
        const char* name;
        std::vector<std::string> paths;
        std::vector<std::string> listed;
        std::vector<std::string> added;
        std::string message;
    };
    const Case cases[] = {
        {"files in the order given", {"D:\\x.apk", "D:\\y.APKS"}, {}, {"D:\\x.apk", "D:\\y.APKS"}, ""},
        {"a folder gives its packages by name, not its other files",
         {"D:\\rack"}, {}, {"D:\\rack\\A.XAPK", "D:\\rack\\b.apk"}, ""},
        {"one file twice, in another case or slash, or already listed",
         {"D:\\x.apk", "d:/X.APK", "D:\\y.apk"}, {"D:\\Y.apk"}, {"D:\\x.apk"}, "2 个重复的安装包只列一次。"},
        {"folders without packages, and a file of another kind",
         {"D:\\docs\\", "D:\\\xD0\xC7\xB9\xE2", "D:\\a.txt"}, {}, {},
         "1 个文件不是APK或安装包组，没有加入；文件夹“docs”里没有APK文件；文件夹“星光”里没有APK文件。"},
        {"a name the code page can't spell", {"D:\\??.apk", "D:\\ok.apk"}, {}, {"D:\\ok.apk"},
         "1 个文件名含有本机系统编码无法表示的字符，请改名后再添加。"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        const ShelfIntake intake = Take(c.paths, c.listed);
        CHECK(intake.added == c.added);
        CHECK(IntakeMessage(intake, GbkLead) == c.message);
    }
}

TEST_CASE("Thousands of files: the list stops at its limit and says so") {
    std::vector<std::string> paths;
    for (int i = 0; i < 3000; ++i)
        paths.push_back("D:\\many\\" + std::to_string(i) + ".apk");
    const std::vector<std::string> listed = {"D:\\first.apk"};
    const ShelfIntake intake = Take(paths, listed);
    CHECK(intake.added.size() == kShelfLimit - 1);
    CHECK(intake.added.back() == "D:\\many\\198.apk");
    CHECK(IntakeMessage(intake, GbkLead) == "列表最多 200 个安装包，另有 2801 个没有加入。");
}

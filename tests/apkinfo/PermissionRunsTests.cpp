#include "apkinfo/PermissionRuns.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <map>

namespace {

// Sections as the profile functions find them: letter case aside.
struct Texts : IPermissionTexts {
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::vector<std::string> reads;
    static std::string Lower(std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    }
    std::string Read(const std::string& section, const std::string& key) override {
        reads.push_back(section + "/" + key);
        const auto found = sections.find(Lower(section));
        if (found == sections.end())
            return std::string();
        const auto value = found->second.find(key);
        return value == found->second.end() ? std::string() : value->second;
    }
    void Add(const std::string& section, const std::string& title, const std::string& level,
             const char* description) {
        auto& s = sections[Lower(section)];
        s["Title"] = title;
        s["Level"] = level;
        if (description)
            s["Description"] = description;
    }
};

const std::string kSeparator = "-------------------------------------\r\n\r\n";

} // namespace

TEST_CASE("Each described permission gives a heading coloured by its level, its text and a separator") {
    Texts texts;
    texts.Add("android.permission.INTERNET", "访问网络", "0", "可以连接互联网。");
    texts.Add("android.permission.WRITE_SETTINGS", "修改系统设置", "1", "能改亮度等。");
    texts.Add("android.permission.CAMERA", "拍照", "2", "可以使用相机。");
    texts.Add("android.permission.NOTEXT", "只有标题", "3", nullptr);
    texts.Add("android.permission.HIGH", "高", "high", "x");
    texts.Add("android.permission.EMPTYTITLE", "", "2", "不显示");
    const StringList permissions = {"android.permission.INTERNET",  "android.permission.WRITE_SETTINGS",
                                    "android.permission.CAMERA",    "android.permission.UNKNOWN",
                                    "android.permission.NOTEXT",    "android.permission.HIGH",
                                    "android.permission.EMPTYTITLE", "ANDROID.PERMISSION.INTERNET"};
    const std::vector<StyledRun> expected = {
        {"访问网络", 10, RunColor::Green, true},     {"可以连接互联网。", 9, RunColor::Automatic, true},
        {kSeparator, 9, RunColor::Automatic, true},  {"修改系统设置", 10, RunColor::Maroon, true},
        {"能改亮度等。", 9, RunColor::Automatic, true}, {kSeparator, 9, RunColor::Automatic, true},
        {"拍照", 10, RunColor::Red, true},           {"可以使用相机。", 9, RunColor::Automatic, true},
        {kSeparator, 9, RunColor::Automatic, true},  {"只有标题", 10, RunColor::Green, true},
        {"", 9, RunColor::Automatic, true},          {kSeparator, 9, RunColor::Automatic, true},
        {"高", 10, RunColor::Green, true},           {"x", 9, RunColor::Automatic, true},
        {kSeparator, 9, RunColor::Automatic, true},  {"访问网络", 10, RunColor::Green, true},
        {"可以连接互联网。", 9, RunColor::Automatic, true}, {kSeparator, 9, RunColor::Automatic, true},
    };
    const auto runs = PermissionRuns(permissions, texts);
    REQUIRE(runs.size() == expected.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        CAPTURE(i);
        CHECK(runs[i].text == expected[i].text);
        CHECK(runs[i] == expected[i]);
    }
    // A permission without a Title is not asked for anything more.
    CHECK(std::count(texts.reads.begin(), texts.reads.end(), "android.permission.UNKNOWN/Level") == 0);
}

TEST_CASE("Level colours are exact texts") {
    struct Case {
        const char* level;
        RunColor color;
    };
    const Case cases[] = {{"0", RunColor::Green}, {"1", RunColor::Maroon}, {"2", RunColor::Red},
                          {"3", RunColor::Green}, {"", RunColor::Green},   {"02", RunColor::Green},
                          {"high", RunColor::Green}};
    for (const auto& c : cases) {
        CAPTURE(c.level);
        CHECK(LevelColor(c.level) == c.color);
    }
    Texts none;
    CHECK(PermissionRuns({}, none).empty());
    CHECK(PermissionRuns({"a.b.C", ""}, none).empty());
    CHECK(std::string(kPermissionFace) == "宋体 ");
}

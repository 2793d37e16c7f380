#include "device/ShelfRun.h"

#include "FakeSystem.h"

#include <doctest/doctest.h>

#include <map>

namespace {

const std::string kAdb = "\"C:\\Tools\\adb\\adb.exe\"";

std::string Listing(const std::vector<std::string>& serials) {
    std::string text = "List of devices attached\r\n";
    for (const auto& serial : serials)
        text += serial + "\tdevice\r\n";
    return text + "\r\n";
}

// What a phone says of itself and, after each package's marker, of that package.
std::string PhoneAnswer(const std::string& model, const std::map<int, std::string>& installed) {
    std::string text = "[ro.product.brand]: [google]\r\n[ro.product.model]: [" + model +
                       "]\r\n[ro.build.version.sdk]: [34]\r\n";
    const char* names[] = {"com.a", "com.b", "com.c"};
    for (int i = 0; i < 3; ++i) {
        text += "VARNEL:PACKAGE:" + std::to_string(i) + "\r\n";
        const auto copy = installed.find(i);
        if (copy != installed.end())
            text += std::string("Packages:\r\n  Package [") + names[i] + "] (1):\r\n    versionCode=50 minSdk=21\r\n" +
                    "    versionName=" + copy->second + "\r\n";
        else
            text += std::string("Unable to find package: ") + names[i] + "\r\n";
    }
    return text;
}

struct Shelf {
    FakeSystem system;
    ScriptedTools tools;
    RecordingPhoneView view;
    PhoneTools phone{"C:\\Tools\\", tools, system};
    std::vector<ShelfPackage> shelf;

    explicit Shelf(const std::vector<std::string>& serials) {
        system.files["C:\\Tools\\adb\\adb.exe"] = 1;
        const char* letters[] = {"a", "b", "c"};
        for (int i = 0; i < 3; ++i) {
            ShelfPackage entry;
            entry.package.file = std::string("D:\\apps\\") + letters[i] + ".apk";
            entry.package.packageName = std::string("com.") + letters[i];
            entry.package.versionCode = 12;
            entry.package.versionName = "1.2";
            entry.label = std::string("App ") + letters[i];
            system.files[entry.package.file] = 1000;
            shelf.push_back(entry);
        }
        tools.On(" devices", Listing(serials));
        for (const auto& serial : serials)
            tools.On("-s " + serial + " shell", PhoneAnswer("Pixel " + serial, {}));
    }
    void Install() { InstallShelf(shelf, phone, view); }
    // Each phone's tool calls after the listing, in the order it made them.
    std::vector<std::string> CallsOf(const std::string& serial) const {
        std::vector<std::string> calls;
        for (const auto& call : tools.calls) {
            if (call.find("-s " + serial + " ") != std::string::npos && call.find(" shell ") == std::string::npos)
                calls.push_back(call.substr(kAdb.size() + 4 + serial.size()));
        }
        return calls;
    }
    std::string Last(std::size_t fromEnd) const { return view.events[view.events.size() - 1 - fromEnd]; }
    std::string Row(std::size_t i) const {
        const PhoneResult& row = view.results.rows.at(i);
        return row.package + "|" + row.name + "|" + row.result + "|" + row.reason;
    }
};

const std::vector<std::string> kInAll = {" install -r \"D:\\apps\\a.apk\"", " install -r \"D:\\apps\\b.apk\"",
                                         " install -r \"D:\\apps\\c.apk\""};

} // namespace

TEST_CASE("Every phone takes every package in list order, all phones at once") {
    struct Case {
        const char* name;
        std::function<void(Shelf&)> setup;
        std::vector<std::string> callsOfB; // the second phone's own calls
        std::vector<std::string> tail;     // the last events: status, note, ...
        std::string rowOfB2;               // the second package on the second phone
    };
    const Case cases[] = {
        {"every phone takes every package", [](Shelf& s) { s.tools.On(" install ", "Success\r\n"); }, kInAll,
         {"red:程序安装成功！", "reason:已把 3 个包装到 3 台手机", "countdown", "idle"},
         "App b|google Pixel B|成功|已安装 1.2"},
        {"a refusal in the middle of the list stops nothing else",
         [](Shelf& s) {
             s.tools.OnErrors("-s B install -r \"D:\\apps\\b.apk\"", "",
                              "adb.exe: failed to install b.apk: Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\r\n");
             s.tools.On(" install ", "Success\r\n");
         },
         kInAll,
         {"red:3 个包 × 3 台：8 成功，1 失败", "reason:google Pixel B：App b 手机存储空间不足。请清理手机空间后再试",
          "idle"},
         "App b|google Pixel B|失败|手机存储空间不足。请清理手机空间后再试"},
        {"a phone that vanishes takes nothing more",
         [](Shelf& s) {
             s.tools.OnErrors("-s B install", "", "adb.exe: device 'B' not found\r\n");
             s.tools.On(" install ", "Success\r\n");
         },
         {kInAll[0]},
         {"red:3 个包 × 3 台：6 成功，3 失败", "reason:google Pixel B：App a 手机已断开连接。请检查USB线后再试", "idle"},
         "App b|google Pixel B|失败|手机已断开连接，没有安装"},
        {"a file that went before its turn",
         [](Shelf& s) {
             s.tools.On(" install ", "Success\r\n");
             s.tools.whileRunning = [&s](const std::string& call) {
                 if (call.find("a.apk") != std::string::npos)
                     s.system.files.erase("D:\\apps\\b.apk");
             };
         },
         {kInAll[0], kInAll[2]},
         {"red:3 个包 × 3 台：6 成功，3 失败",
          "reason:google Pixel A：App b 安装包文件已不存在（被移动、改名或删除）：D:\\apps\\b.apk", "idle"},
         "App b|google Pixel B|失败|安装包文件已不存在（被移动、改名或删除）：D:\\apps\\b.apk"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Shelf s({"A", "B", "C"});
        c.setup(s);
        s.Install();
        CHECK(s.CallsOf("B") == c.callsOfB);
        // The phones work side by side: each round starts one install on every phone still going.
        CHECK(s.tools.batchSizes.at(1) == 3);
        CHECK(s.CallsOf("A").size() + s.CallsOf("C").size() == 2 * s.CallsOf("A").size());
        std::vector<std::string> tail(s.view.events.end() - static_cast<std::ptrdiff_t>(c.tail.size()),
                                      s.view.events.end());
        CHECK(tail == c.tail);
        REQUIRE(s.view.results.rows.size() == 9);
        CHECK(s.Row(4) == c.rowOfB2);
        CHECK(s.view.results.packageName.empty()); // nothing to open for a list
    }
}

TEST_CASE("The progress note counts packages and finished phones") {
    Shelf s({"A", "B"});
    s.tools.On("-s A install", "Success\r\n").OnErrors("-s B install", "Success\r\n", "", 300);
    s.Install();
    std::vector<std::string> notes;
    for (const auto& e : s.view.events) {
        if (e.rfind("reason:第", 0) == 0 && (notes.empty() || notes.back() != e.substr(7)))
            notes.push_back(e.substr(7));
    }
    CHECK(notes == std::vector<std::string>{"第 1/3 个包，0/2 台手机完成", "第 2/3 个包，0/2 台手机完成",
                                            "第 3/3 个包，0/2 台手机完成", "第 3/3 个包，1/2 台手机完成",
                                            "第 3/3 个包，2/2 台手机完成"});
}

TEST_CASE("A question is put once for the whole run, and its answer holds for every case") {
    struct Case {
        const char* name;
        bool answer;
        std::string installOfA; // phone A's install of package b
        std::string status;
    };
    const Case cases[] = {
        {"yes: every newer copy is downgraded", true, " install -r -d \"D:\\apps\\b.apk\"",
         "red:程序安装成功！"},
        {"no: those are left alone", false, "", "text:3 个包 × 2 台：3 成功，0 失败，3 未安装"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Shelf s({"A", "B"});
        s.tools.rules.clear();
        s.tools.On(" devices", Listing({"A", "B"}))
            .On("-s A shell", PhoneAnswer("Pixel A", {{0, "5.0"}, {1, "5.0"}}))
            .On("-s B shell", PhoneAnswer("Pixel B", {{1, "5.0"}}))
            .On(" install ", "Success\r\n");
        s.view.answers = {c.answer};
        s.Install();
        REQUIRE(s.view.questions.size() == 1);
        CHECK(s.view.questions[0].find("（2 台手机、2 个应用）") != std::string::npos);
        CHECK(s.view.questions[0].find("google Pixel A：App b（手机上为更新的 5.0）") != std::string::npos);
        CHECK(s.view.questions[0].find("对所有同类情况都这样处理") != std::string::npos);
        const auto callsOfA = s.CallsOf("A");
        CHECK(std::count(callsOfA.begin(), callsOfA.end(), c.installOfA) == (c.answer ? 1 : 0));
        CHECK(std::find(s.view.events.begin(), s.view.events.end(), c.status) != s.view.events.end());
    }
}

TEST_CASE("Packages flagged not intact are asked about once; unreadable ones are skipped") {
    Shelf s({"A", "B"});
    s.tools.On(" install ", "Success\r\n");
    s.shelf[0].notIntact = true;
    s.shelf[1].problem = "安装包已损坏";
    s.view.answers = {false};
    s.Install();
    REQUIRE(s.view.questions.size() == 1);
    CHECK(s.view.questions[0].find("App a") != std::string::npos);
    CHECK(s.view.questions[0].find("App b") == std::string::npos);
    CHECK(s.view.questions[0].find("涉及 2 台手机、1 个应用") != std::string::npos);
    CHECK(s.CallsOf("A") == std::vector<std::string>{kInAll[2]});
    CHECK(s.Last(2) == "text:2 个包 × 2 台：2 成功，0 失败，2 未安装；1 个包无法读取，已跳过");
    CHECK(s.Row(0) == "App a|google Pixel A|未安装|安装包没有通过签名检查，按您的选择没有安装");
    CHECK(s.Row(2) == "App b|—|跳过|安装包已损坏");
    // The copied table names the package in a column of its own.
    CHECK(ResultsText(s.view.results).rfind("安装包\t手机\t序列号", 0) == 0);
}

TEST_CASE("Uninstall goes through the list the same way") {
    Shelf s({"A", "B"});
    s.tools.On("-s A uninstall com.b", "Failure [DELETE_FAILED_INTERNAL_ERROR]\r\n").On(" uninstall ", "Success\r\n");
    UninstallShelf(s.shelf, s.phone, s.view);
    CHECK(s.CallsOf("B") ==
          std::vector<std::string>{" uninstall com.a", " uninstall com.b", " uninstall com.c"});
    CHECK(s.Last(2) == "red:3 个包 × 2 台：5 成功，1 失败");
}

TEST_CASE("Summary texts") {
    struct Case {
        ShelfTally tally;
        const char* text;
    };
    const Case cases[] = {
        {{12, 8, 94, 2, 0, 0}, "12 个包 × 8 台：94 成功，2 失败"},
        {{3, 1, 1, 0, 2, 0}, "3 个包 × 1 台：1 成功，0 失败，2 未安装"},
        {{2, 2, 4, 0, 0, 1}, "2 个包 × 2 台：4 成功，0 失败；1 个包无法读取，已跳过"},
    };
    for (const auto& c : cases)
        CHECK(ShelfSummary(c.tally) == c.text);
}

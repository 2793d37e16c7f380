#include "WinTestSupport.h"

namespace {

std::string IconPackage(const std::string& name) { return TestPath(VARNEL_ICON_PACKAGES) + "\\" + name; }

// Opens a package through the Open dialog, with aapt's recorded output for it.
void OpenPackage(FormHarness& h, const ProgramFolder& program, const std::string& path, const std::string& name) {
    program.Record(name, ReadTextFile(IconPackage(name) + ".txt"));
    h.chooserAnswers = {path};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
}

COLORREF PixelOf(HWND control, int x, int y) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    WindowDC dc(control);
    return GetPixel(dc.Get(), x, y);
}

} // namespace

TEST_CASE("The package's icon, fitted into the box") {
    struct Case {
        const char* name;
        bool shown;
        LONG size;
    };
    const Case cases[] = {
        {"icon-large.apk", true, 72},    // 144 px, scaled down smoothly
        {"icon-adaptive.apk", true, 72}, // the XML icon's 72 px sibling: the smallest that fills the box
        {"icon-small.apk", true, 48},    // siblings of 36 and 48 px: the largest
        {"icon-none.apk", false, 0},
        {"icon-damaged.apk", false, 0},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        ProgramFolder program(ProgramFolder::kScriptedAapt);
        program.UseShippedCfg();
        FormHarness h(program);
        OpenPackage(h, program, IconPackage(c.name), c.name);
        CHECK(h.errors.empty());
        CHECK(h->ShowsPlaceholderIcon() == !c.shown);
        if (c.shown) {
            CHECK(h->ApkIconSize().cx == c.size);
            CHECK(h->ApkIconSize().cy == c.size);
        }
        // Whatever the icon, the other facts and the status line are there.
        CHECK(h.Text(h->lblAppName) == std::string("Icon ") + std::string(c.name).substr(5, std::string(c.name).size() - 9));
        CHECK(h.Text(h->lblHintInfo) == "点击“安装”按钮进行安装...");
    }
}

TEST_CASE("The sample's icon is drawn at its size over the panel background") {
    ProgramFolder program;
    FormHarness h(program, "\"C:\\T\\app.exe\" \"" + TestPath(VARNEL_SAMPLE_APK_PATH) + "\"");
    REQUIRE_FALSE(h->ShowsPlaceholderIcon());
    CHECK(h->ApkIconSize().cx == 48);
    ShowWindow(h->Handle(), SW_SHOWNA);
    UpdateWindow(h->Handle());
    CHECK(PixelOf(h->imgShowIcon, 0, 0) == GetSysColor(COLOR_BTNFACE)); // transparent corner
    CHECK(PixelOf(h->imgShowIcon, 24, 24) == RGB(0xFF, 0xFF, 0xFF));    // the star's centre
    CHECK(PixelOf(h->imgShowIcon, 60, 60) == GetSysColor(COLOR_BTNFACE)); // beyond the icon
}

TEST_CASE("A package the tool read but the reader can't: the placeholder, and no error") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    const std::string fake = program.Folder() + "fake.apk";
    WriteTextFile(fake, "this is not a zip archive at all");
    program.Record("fake.apk", ReadTextFile(program.ToolsFolder() + "recordings\\sample.apk.txt"));
    FormHarness h(program);
    h.chooserAnswers = {fake};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
    CHECK(h.errors.empty());
    CHECK(h->ShowsPlaceholderIcon());
    CHECK(h.Text(h->lblPackageName) == "com.quorly.varnel.sample");
}

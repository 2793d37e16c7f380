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
        {"icon-layered.apk", true, 72}, // an adaptive icon with a WebP layer fills the box
        {"icon-themed.apk", true, 72},  // one we can't draw: its 72 px WebP sibling
        {"icon-webp.apk", true, 48},    // a WebP picture at its own size
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

TEST_CASE("The sample's adaptive icon fills the box, its corners rounded off over the panel background") {
    ProgramFolder program;
    FormHarness h(program, "\"C:\\T\\app.exe\" \"" + TestPath(VARNEL_SAMPLE_APK_PATH) + "\"");
    REQUIRE_FALSE(h->ShowsPlaceholderIcon());
    CHECK(h->ApkIconSize().cx == 72);
    ShowWindow(h->Handle(), SW_SHOWNA);
    UpdateWindow(h->Handle());
    CHECK(PixelOf(h->imgShowIcon, 0, 0) == GetSysColor(COLOR_BTNFACE));   // a rounded-off corner
    CHECK(PixelOf(h->imgShowIcon, 71, 71) == GetSysColor(COLOR_BTNFACE)); // and the opposite one
    CHECK(PixelOf(h->imgShowIcon, 36, 22) == RGB(0xFF, 0xFF, 0xFF));      // a point of the star
    CHECK(PixelOf(h->imgShowIcon, 36, 36) == RGB(0xFF, 0x8A, 0x1E));      // its heart
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

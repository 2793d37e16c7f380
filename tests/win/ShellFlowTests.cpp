#include "WinTestSupport.h"

#include <shlobj.h>

namespace {

std::string SamplePath() { return TestPath(VARNEL_SAMPLE_APK_PATH); }

// A drop handle as the shell makes it: DROPFILES followed by the names, double-NUL ended. The
// window releases it with DragFinish.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const auto& path : paths)
        size += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* names = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const auto& path : paths) {
        memcpy(names, path.c_str(), path.size() + 1);
        names += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void Drop(FormHarness& h, const std::vector<std::string>& paths) {
    SendMessageA(h->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
}

} // namespace

TEST_CASE("Dropped files: packages are taken whatever the case of their extension") {
    ProgramFolder program;
    ScratchFolder files;
    // A path of more than 256 bytes that Windows still opens without its long-path prefix.
    std::string longFolder = files.Path();
    while (longFolder.size() < 230)
        longFolder += "a-long-folder-name\\";
    longFolder += std::string(258 - longFolder.size() - 9, 'x') + "\\";
    CreateDirectoryA((files / "old.files").c_str(), nullptr);
    {
        // Build the long folder one level at a time.
        std::string partial;
        for (std::size_t i = 0; i < longFolder.size(); ++i) {
            partial += longFolder[i];
            if (longFolder[i] == '\\')
                CreateDirectoryA(partial.c_str(), nullptr);
        }
    }
    struct Case {
        std::string path;
        bool taken;
    };
    const Case cases[] = {
        {files / "game.apk", true},
        {files / "GAME.APK", true},
        {files / "game.Apk", true},
        {files / "readme", false},
        {files.Path() + "old.files\\readme", false},
        {files / "game.apk.txt", false},
        {longFolder + "deep.apk", true}, // 258 bytes: read whole, not cut
    };
    for (const auto& c : cases) {
        CAPTURE(c.path);
        REQUIRE(CopyFileA(SamplePath().c_str(), c.path.c_str(), FALSE));
        FormHarness h(program);
        SetWindowTextA(h->txtPermissionInfo, "earlier text");
        Drop(h, {c.path});
        CHECK(h.errors.empty());
        if (c.taken) {
            CHECK(h->GetApkFileName() == c.path);
            CHECK(Visible(h->PanelInstall));
            CHECK_FALSE(Visible(h->PanelDefault));
            CHECK(h.Text(h->lblFileSize) != "未知");
        } else {
            CHECK(h->GetApkFileName().empty());
            CHECK(Visible(h->PanelDefault));
            CHECK(h.Text(h->lblHintInfo) == "只能接受APK文件！");
            CHECK(h->GetFontColor(h->lblHintInfo) == kWindowTextColor);
        }
        if (!c.taken)
            CHECK(h.Text(h->txtPermissionInfo).empty()); // emptied whatever was dropped
    }
}

TEST_CASE("A dropped package is taken alone; a refused drop keeps the package on show") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    ScratchFolder files;
    const std::string a = files / "a.apk";
    const std::string b = files / "b.apk";
    CopyFileA(SamplePath().c_str(), a.c_str(), FALSE);
    CopyFileA(SamplePath().c_str(), b.c_str(), FALSE);
    program.Record("a.apk", ReadTextFile(program.ToolsFolder() + "recordings\\sample.apk.txt"));
    program.UseShippedCfg();
    FormHarness h(program);
    Drop(h, {a});
    CHECK(h->GetApkFileName() == a);
    REQUIRE(h.Text(h->lblPackageName) == "com.quorly.varnel.sample");
    REQUIRE_FALSE(h.Text(h->txtPermissionInfo).empty());

    Drop(h, {files / "notes.txt"});
    CHECK(h->GetApkFileName() == a);
    CHECK(h.Text(h->lblPackageName) == "com.quorly.varnel.sample");
    CHECK(h.Text(h->txtPermissionInfo).empty());
    CHECK(Visible(h->PanelInstall));
}

TEST_CASE("The Open dialog from either button") {
    ProgramFolder program;
    FormHarness h(program);
    // Cancelled: nothing changes.
    h.chooserAnswers = {""};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
    CHECK(Visible(h->PanelDefault));
    CHECK(h->GetApkFileName().empty());

    // A name that does not exist goes to the inspection, which reports it.
    h.chooserAnswers = {program.Folder() + "typed-in.apk"};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
    CHECK(Visible(h->PanelInstall));
    CHECK(h->GetApkFileName() == program.Folder() + "typed-in.apk");
    REQUIRE(h.errors.size() == 1);
    CHECK(h.errors[0].rfind("Cannot open file", 0) == 0);

    // The button row's button also resets the status line afterwards.
    ShowWindow(h->lblDownHint, SW_SHOW);
    h.chooserAnswers = {SamplePath()};
    SendMessageA(h->btnOpenApk, BM_CLICK, 0, 0);
    CHECK(h->GetApkFileName() == SamplePath());
    CHECK(h.Text(h->lblHintInfo) == "点击“安装”按钮进行安装...");
    CHECK_FALSE(Visible(h->lblDownHint));
}

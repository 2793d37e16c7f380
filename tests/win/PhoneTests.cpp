// Several phones, their states and their refusals, end to end: the window, the real runner and the
// adb stand-in playing a script.
#include "WinTestSupport.h"

#include <cstdio>

namespace {

std::string SamplePath() { return TestPath(VARNEL_SAMPLE_APK_PATH); }

void Choose(FormHarness& h, const std::string& path) {
    h.chooserAnswers = {path};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
}

std::vector<std::string> LogLines(const std::string& path) {
    std::vector<std::string> result;
    for (const auto& line : SplitText(ReadTextFile(path), "\r\n")) {
        if (!line.empty())
            result.push_back(line);
    }
    return result;
}

// A program folder whose adb plays the given script.
struct PhoneScene {
    ProgramFolder program;
    ScratchFolder files{"varnel-phones"};
    std::unique_ptr<ScopedEnvironment> script;
    explicit PhoneScene(const std::string& text) {
        WriteTextFile(files / "script.txt", text);
        script = std::make_unique<ScopedEnvironment>("VARNEL_ADB_SCRIPT", files / "script.txt");
        program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
    }
    std::vector<std::string> Calls() const { return LogLines(program.ToolsFolder() + "fake-adb.log"); }
};

} // namespace

TEST_CASE("Two phones: both get the package at once, and a refusal is explained beside the status line") {
    PhoneScene scene("phone R58M40ABCDE device delay=2000\n"
                     "phone 9A281FFAZ004 device install=INSTALL_FAILED_INSUFFICIENT_STORAGE delay=2000\n");
    std::string shownDetails;
    FormHarness h(scene.program);
    Choose(h, SamplePath());
    const DWORD start = GetTickCount();
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    const DWORD elapsed = GetTickCount() - start;
    CHECK(h.errors.empty());
    CHECK(h.Text(h->lblHintInfo) == "程序安装失败！");
    CHECK(h->GetFontColor(h->lblHintInfo) == kRed);
    CHECK(Visible(h->lblReason));
    CHECK(h.Text(h->lblReason) == "1 台成功，1 台失败：9A281FFAZ004 手机存储空间不足。请清理手机空间后再试");
    CHECK_FALSE(h->IsTimerExitEnabled());
    // The reason sits after the status text, inside the status panel.
    RECT status, reason, panel;
    GetWindowRect(h->lblHintInfo, &status);
    GetWindowRect(h->lblReason, &reason);
    GetWindowRect(h->GroupBox1, &panel);
    CHECK(reason.left > status.right);
    CHECK(reason.right <= panel.right);
    CHECK(reason.top == status.top);

    const auto calls = scene.Calls();
    REQUIRE(calls.size() == 3);
    const std::string adb = "\"" + scene.program.ToolsFolder() + "adb.exe\"";
    CHECK(calls[0] == adb + " devices");
    CHECK(std::count(calls.begin(), calls.end(), adb + " -s R58M40ABCDE install -r \"" + SamplePath() + "\"") == 1);
    CHECK(std::count(calls.begin(), calls.end(), adb + " -s 9A281FFAZ004 install -r \"" + SamplePath() + "\"") == 1);
    // At the same time: the two 2 s installs take well under the 4 s they would one after the other,
    // with room for starting the programs on a loaded machine.
    CHECK(elapsed < 3500);

    // A click shows everything adb printed, phone by phone.
    SendMessageA(h->lblReason, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(h->lblReason, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    REQUIRE(h.shownDetails.size() == 1);
    CHECK(h.shownDetails[0] == h->ReasonDetails());
    CHECK(h->ReasonDetails().find("adb.exe: failed to install") != std::string::npos);
    CHECK(h->ReasonDetails().find("INSTALL_FAILED_INSUFFICIENT_STORAGE") != std::string::npos);
    CHECK(h->ReasonDetails().find("手机 R58M40ABCDE：成功") != std::string::npos);

    // A later choice of package puts the note away.
    Choose(h, SamplePath());
    CHECK_FALSE(Visible(h->lblReason));
}

TEST_CASE("Every generation of adb: listings, streams and exit codes") {
    struct Case {
        const char* script;
        const char* status;
        const char* reason;
    };
    const Case cases[] = {
        {"adb 2024\nphone A device\n", "程序安装成功！", ""},
        {"adb 2016\ndaemon start\nphone A device\n", "程序安装成功！", ""}, // Success on the error stream
        {"adb 2015\ndaemon start\nphone A device install=INSTALL_FAILED_OLDER_SDK\n", "程序安装失败！",
         "此应用需要Android 5.0或更高版本，这台手机的系统版本太低"},
        {"adb 2017\nphone A device install=INSTALL_FAILED_USER_RESTRICTED\n", "程序安装失败！",
         "手机拒绝了安装或确认超时。请在手机上允许安装；小米手机需在开发者选项中打开“USB安装”"},
        {"adb 2024\nphone A device sdk=22 install=-99\n", "程序安装失败！", "手机拒绝安装（-99）"}, // push install
        {"adb 2024\nphone A device install=vanish\n", "程序安装失败！", "手机已断开连接。请检查USB线后再试"},
        {"adb 2024\nphone A device install=garbage\n", "程序安装失败！", nullptr},
        {"adb 2024\nphone A device install=huge\n", "程序安装失败！", nullptr},
        {"adb 2024\nphone \"my phone\" device\nphone B device\n", "程序安装成功！", ""},
        {"adb 2022\nphone A unauthorized\n",
         "手机尚未允许此电脑调试：请在手机上点“允许”（勾选“始终允许”）后重试。", ""},
    };
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    for (const auto& c : cases) {
        CAPTURE(c.script);
        PhoneScene scene(c.script);
        FormHarness h(scene.program);
        Choose(h, SamplePath());
        SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
        CHECK(h.errors.empty());
        CHECK(h.Text(h->lblHintInfo) == c.status);
        if (c.reason == nullptr)
            CHECK(Visible(h->lblReason));
        else if (*c.reason == '\0')
            CHECK_FALSE(Visible(h->lblReason));
        else
            CHECK(h.Text(h->lblReason) == c.reason);
    }
}

namespace {
FormHarness* g_form = nullptr;
DWORD g_closedAt = 0;
std::string g_note;
DWORD g_startedAt = 0;
void CALLBACK CloseWhenNoted(HWND, UINT, UINT_PTR id, DWORD) {
    TfrmMain& f = **g_form;
    // Closed once the note counts the quick phone, or after 20 s whatever it shows, so a fault
    // fails the test instead of hanging it.
    const bool noted = !IsWindowEnabled(f.btnInstall) && Visible(f.lblReason) &&
                       g_form->Text(f.lblReason).find("已完成 1/2 台") != std::string::npos;
    if (noted || GetTickCount() - g_startedAt > 20000) {
        KillTimer(nullptr, id);
        g_note = g_form->Text(f.lblReason);
        g_closedAt = GetTickCount();
        SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
    }
}
} // namespace

TEST_CASE("A tool that never ends: the run shows its time, and closing the window ends it at once") {
    PhoneScene scene("phone A device install=hang\nphone B device delay=0\n");
    ScratchFolder files;
    const std::string chinese = files / "永远.apk";
    REQUIRE(CopyFileA(SamplePath().c_str(), chinese.c_str(), FALSE));
    FormHarness h(scene.program);
    Choose(h, chinese);
    g_form = &h;
    g_closedAt = 0;
    g_startedAt = GetTickCount();
    SetTimer(nullptr, 0, 100, CloseWhenNoted);
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    const DWORD returnedAt = GetTickCount();
    REQUIRE(g_closedAt != 0);
    CHECK(returnedAt - g_closedAt < 1000);
    // Shown from the second second on; a loaded machine may show it a little later.
    int seconds = 0;
    REQUIRE(std::sscanf(g_note.c_str(), "已用 %d 秒，已完成 1/2 台", &seconds) == 1);
    CHECK(seconds >= 2);
    CHECK(seconds < 20);
    CHECK(h->IsClosed());
    CHECK(h.errors.empty());
    // The copy the hung adb was given is gone.
    const auto files_ = LogLines(scene.program.ToolsFolder() + "fake-adb-files.log");
    REQUIRE(files_.size() == 2);
    CHECK_FALSE(FileExists(files_[0].substr(0, files_[0].find('\t'))));
}

TEST_CASE("Uninstall from two phones") {
    PhoneScene scene("phone A device uninstall=success delay=0\nphone B device uninstall=notinstalled delay=0\n");
    FormHarness h(scene.program);
    Choose(h, SamplePath());
    SendMessageA(h->btnUninstall, BM_CLICK, 0, 0);
    CHECK(h.Text(h->lblHintInfo) == "程序卸载失败！");
    CHECK(h.Text(h->lblReason) == "1 台成功，1 台失败：B 手机上没有安装此应用");
    CHECK(scene.Calls().size() == 3);
}

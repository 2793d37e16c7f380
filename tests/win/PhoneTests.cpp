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

namespace {
FormHarness* g_flow = nullptr;
std::string g_copied;
// Once the table behind the note is up: its rows copied, adb's text shown, the table closed.
void CALLBACK UseTable(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND table = (*g_flow)->ResultsWindow();
    if (table == nullptr)
        return;
    KillTimer(nullptr, id);
    SendMessageA(GetDlgItem(table, 101), BM_CLICK, 0, 0); // 复制表格
    if (OpenClipboard(nullptr)) {
        if (const HANDLE text = GetClipboardData(CF_TEXT)) {
            g_copied = static_cast<const char*>(GlobalLock(text));
            GlobalUnlock(text);
        }
        CloseClipboard();
    }
    SendMessageA(GetDlgItem(table, 102), BM_CLICK, 0, 0); // adb输出
    SendMessageA(GetDlgItem(table, IDCANCEL), BM_CLICK, 0, 0);
}
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
    // Two phones alike are told apart by their serials' ends.
    CHECK(h.Text(h->lblReason) == "1 台成功，1 台失败：google Pixel 7（Z004） 手机存储空间不足。请清理手机空间后再试");
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
    REQUIRE(calls.size() == 5);
    const std::string adb = "\"" + scene.program.ToolsFolder() + "adb.exe\"";
    CHECK(calls[0] == adb + " devices");
    CHECK(std::count(calls.begin(), calls.end(), adb + " -s R58M40ABCDE install -r \"" + SamplePath() + "\"") == 1);
    CHECK(std::count(calls.begin(), calls.end(), adb + " -s 9A281FFAZ004 install -r \"" + SamplePath() + "\"") == 1);
    // At the same time: the two 2 s installs take well under the 4 s they would one after the other,
    // with room for starting the programs on a loaded machine.
    CHECK(elapsed < 3500);

    // A click shows the table of phones, and from there everything adb printed, phone by phone.
    g_flow = &h;
    SetTimer(nullptr, 0, 50, UseTable);
    SendMessageA(h->lblReason, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(h->lblReason, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    REQUIRE(h.shownDetails.size() == 1);
    CHECK(h.shownDetails[0] == h->ReasonDetails());
    CHECK(h->ReasonDetails().find("adb.exe: failed to install") != std::string::npos);
    CHECK(h->ReasonDetails().find("INSTALL_FAILED_INSUFFICIENT_STORAGE") != std::string::npos);
    CHECK(h->ReasonDetails().find("（R58M40ABCDE）：成功") != std::string::npos);

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
        {"adb 2024\nphone A device\n", "程序安装成功！", "google Pixel 7：已安装 1.2.0"},
        {"adb 2016\ndaemon start\nphone A device\n", "程序安装成功！", "google Pixel 7：已安装 1.2.0"}, // on stderr
        {"adb 2015\ndaemon start\nphone A device install=INSTALL_FAILED_OLDER_SDK\n", "程序安装失败！",
         "此应用需要Android 5.0或更高版本，这台手机的系统版本太低"},
        {"adb 2017\nphone A device install=INSTALL_FAILED_USER_RESTRICTED\n", "程序安装失败！",
         "手机拒绝了安装或确认超时。请在手机上允许安装；小米手机需在开发者选项中打开“USB安装”"},
        {"adb 2024\nphone A device sdk=22 install=-99\n", "程序安装失败！", "手机拒绝安装（-99）"}, // push install
        {"adb 2024\nphone A device install=vanish\n", "程序安装失败！", "手机已断开连接。请检查USB线后再试"},
        {"adb 2024\nphone A device install=garbage\n", "程序安装失败！", nullptr},
        {"adb 2024\nphone A device install=huge\n", "程序安装失败！", nullptr},
        {"adb 2024\nphone \"my phone\" device\nphone B device\n", "程序安装成功！",
         "已装到 2 台手机：google Pixel 7（hone）、google Pixel 7（B）"},
        {"adb 2022\nphone A unauthorized\n", "手机尚未允许此电脑调试：请在手机上点“允许”（勾选“始终允许”）后重试。",
         ""},
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
    CHECK(h.Text(h->lblReason) == "1 台成功，1 台失败：google Pixel 7（B） 手机上没有安装此应用");
    CHECK(scene.Calls().size() == 5);
}

namespace {

// The signed sample, version 12 ("1.2.0"), as the phones judge it.
const char* const kSignedSample = "package 12:1.2.0 signer=94725c2a\n";
const char* const kRedmi = "phone 9A28 device brand=Redmi \"name=Redmi Note 12 Turbo\" ";

void InstallSigned(FormHarness& h) {
    Choose(h, TestPath(VARNEL_SIGNED_SAMPLE_APK_PATH));
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
}

void ClickLabel(HWND label) {
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

} // namespace

TEST_CASE("One phone per case: what it has, the question, the install and the row") {
    struct Case {
        const char* name;
        const char* phone;
        std::vector<bool> answers;
        std::size_t questions;
        const char* status;
        const char* row;     // after the name and serial
        long installs;       // install commands run
        const char* command; // one of the commands, when some ran
    };
    const Case cases[] = {
        {"upgrade",
         "installed=11:1.1.0",
         {},
         0,
         "程序安装成功！",
         "1.1.0\t1.2.0\t成功\t已从 1.1.0 升级到 1.2.0",
         1,
         " install -r \""},
        {"the same version",
         "installed=12:1.2.0",
         {},
         0,
         "程序安装成功！",
         "1.2.0\t1.2.0\t成功\t已重新安装 1.2.0",
         1,
         " install -r \""},
        {"a newer version, Yes",
         "installed=13:1.3.0 downgrade=granted",
         {true},
         1,
         "程序安装成功！",
         "1.3.0\t1.2.0\t成功\t已从 1.3.0 降级到 1.2.0",
         1,
         " install -r -d \""},
        {"a newer version, No",
         "installed=13:1.3.0",
         {false},
         1,
         "没有安装：已按您的选择保留手机上的版本。",
         "1.3.0\t1.3.0\t未安装\t手机上已有更新的版本 1.3.0，按您的选择没有降级",
         0,
         nullptr},
        {"another signer: uninstalled, installed",
         "installed=12:1.2.0 signer=1f2e3d4c",
         {true},
         1,
         "程序安装成功！",
         "1.2.0\t1.2.0\t成功\t已卸载手机上的旧版并安装 1.2.0",
         1,
         " uninstall com.quorly.varnel.sample"},
        {"an uninstall that fails",
         "installed=12:1.2.0 signer=1f2e3d4c uninstall=DELETE_FAILED_INTERNAL_ERROR",
         {true},
         1,
         "程序安装失败！",
         "1.2.0\t1.2.0\t失败\t没能卸载手机上的版本（手机上没有安装此应用，或它无法卸载），它仍留在手机上，没有安装",
         0,
         " uninstall "},
    };
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    for (const auto& c : cases) {
        CAPTURE(c.name);
        PhoneScene scene(std::string(kSignedSample) + kRedmi + c.phone + "\n");
        FormHarness h(scene.program);
        h.answers = c.answers;
        InstallSigned(h);
        CHECK(h.errors.empty());
        CHECK(h.questions.size() == c.questions);
        CHECK(h.Text(h->lblHintInfo) == c.status);
        CHECK(ResultsText(h->LastResults()).find(std::string("Redmi Note 12 Turbo\t9A28\t") + c.row + "\r\n") !=
              std::string::npos);
        const auto calls = scene.Calls();
        const auto installs = std::count_if(calls.begin(), calls.end(), [](const std::string& call) {
            return call.find(" install ") != std::string::npos;
        });
        CHECK(installs == c.installs);
        if (c.command != nullptr)
            CHECK(std::any_of(calls.begin(), calls.end(),
                              [&](const std::string& call) { return call.find(c.command) != std::string::npos; }));
    }
}

TEST_CASE("Three phones that each need something different, asked in one go; the table; the app opened on each") {
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    PhoneScene scene(std::string(kSignedSample) + kRedmi + "installed=11:1.1.0\n" +
                     "phone B device brand=vivo \"name=vivo X100\" installed=13:1.3.0 downgrade=granted\n"
                     "phone C device brand=OPPO \"name=OPPO Find X6\" installed=12:1.2.0 signer=1f2e3d4c\n");
    FormHarness h(scene.program);
    h.answers = {true, true};
    InstallSigned(h);
    REQUIRE(h.questions.size() == 2);
    CHECK(h.questions[0].find("vivo X100：1.3.0") != std::string::npos);
    CHECK(h.questions[1].find("OPPO Find X6（手机上为 1.2.0）") != std::string::npos);
    // The listing, what each phone is and has; then, both answers given, the one uninstall and the installs.
    const std::string adb = "\"" + scene.program.ToolsFolder() + "adb.exe\"";
    const auto calls = scene.Calls();
    REQUIRE(calls.size() == 8);
    CHECK(calls[4] == adb + " -s C uninstall com.quorly.varnel.sample");
    CHECK(std::count_if(calls.begin() + 5, calls.end(),
                        [](const std::string& call) { return call.find(" install -r ") != std::string::npos; }) == 3);
    CHECK(h.Text(h->lblHintInfo) == "程序安装成功！");
    CHECK(h.Text(h->lblReason) == "已装到 3 台手机：Redmi Note 12 Turbo、vivo X100、OPPO Find X6");

    // A click on the note: the table, whose rows copy as text.
    g_flow = &h;
    g_copied.clear();
    SetTimer(nullptr, 0, 50, UseTable);
    ClickLabel(h->lblReason);
    CHECK(g_copied == ResultsText(h->LastResults()));
    CHECK(std::count(g_copied.begin(), g_copied.end(), '\n') == 4);
    CHECK(IsWindowEnabled(h->Handle()));

    // "打开" beside the result opens the app on every phone that took it.
    REQUIRE(Visible(h->lblOpenApp));
    ClickLabel(h->lblOpenApp);
    const auto opened = scene.Calls();
    CHECK(std::count_if(opened.begin(), opened.end(), [](const std::string& call) {
              return call.find(" shell am start -n com.quorly.varnel.sample/com.quorly.varnel.sample.MainActivity") !=
                     std::string::npos;
          }) == 3);
    CHECK(h.Text(h->lblHintInfo) == "已在手机上打开应用。");
}

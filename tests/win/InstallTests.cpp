#include "WinTestSupport.h"

namespace {

const char* const kNoDevice = "未连接手机或驱动未安装好。请确认手机已连接上电脑!并安装好正确的驱动！";
const char* const kUnauthorized = "手机尚未允许此电脑调试：请在手机上点“允许”（勾选“始终允许”）后重试。";

std::string SamplePath() { return TestPath(VARNEL_SAMPLE_APK_PATH); }

void Choose(FormHarness& h, const std::string& path) {
    h.chooserAnswers = {path};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
}

bool AllEnabled(TfrmMain& f) {
    return IsWindowEnabled(f.btnInstall) && IsWindowEnabled(f.btnOpenApk) && IsWindowEnabled(f.btnUninstall);
}

std::vector<std::string> LogLines(const std::string& path) {
    const StringList lines = SplitText(ReadTextFile(path), "\r\n");
    std::vector<std::string> result;
    for (const auto& line : lines) {
        if (!line.empty())
            result.push_back(line);
    }
    return result;
}

} // namespace

TEST_CASE("Install outcomes by what adb says") {
    struct Case {
        const char* scenario;
        const char* status;
        TextColor color;
        bool hintShown;
        bool installRan;
    };
    const Case cases[] = {
        {"device", "程序安装成功！", kRed, false, true},
        {"successword", "程序安装成功！", kRed, false, true},
        {"lowercase", "程序安装失败！", kRed, false, true},
        {"fail", "程序安装失败！", kRed, false, true},
        {"nodevice", kNoDevice, kRed, true, false},
        {"empty", kNoDevice, kRed, true, false},
        {"unauthorized", kUnauthorized, kRed, false, false},
    };
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    for (const auto& c : cases) {
        CAPTURE(c.scenario);
        ProgramFolder program;
        program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
        ScopedEnvironment scenario("VARNEL_ADB_SCENARIO", c.scenario);
        FormHarness h(program);
        Choose(h, SamplePath());
        SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
        CHECK(h.errors.empty());
        CHECK(h.Text(h->lblHintInfo) == c.status);
        CHECK(h->GetFontColor(h->lblHintInfo) == c.color);
        CHECK(Visible(h->lblDownHint) == c.hintShown);
        CHECK(AllEnabled(*h));
        CHECK(h->AppCursor() == nullptr);
        CHECK_FALSE(h->IsTimerExitEnabled()); // the box is unticked
        const auto calls = LogLines(program.ToolsFolder() + "fake-adb.log");
        // The listing, what the phone is and has, the install.
        REQUIRE(calls.size() == (c.installRan ? 3u : 1u));
        CHECK(calls[0] == "\"" + program.ToolsFolder() + "adb.exe\" devices");
        if (c.installRan)
            CHECK(calls[2] == "\"" + program.ToolsFolder() + "adb.exe\" install -r \"" + SamplePath() + "\"");
    }
}

TEST_CASE("Install without a package, or without adb") {
    ProgramFolder program;
    FormHarness h(program);
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    CHECK(h.Text(h->lblHintInfo) == "未选择要安装的apk文件。");
    CHECK_FALSE(FileExists(program.ToolsFolder() + "fake-adb.log"));

    ProgramFolder noTools(false);
    FormHarness bare(noTools);
    Choose(bare, SamplePath());
    SendMessageA(bare->btnInstall, BM_CLICK, 0, 0);
    CHECK(bare.Text(bare->lblHintInfo) == "找不到adb.exe，请把它放进程序所在的adb文件夹。");
    CHECK(bare.Text(bare->lblReason) == noTools.Folder() + "adb\\");
    CHECK_FALSE(Visible(bare->lblDownHint));

    // An adb.exe that is there but can't be started: no listing, so no phone.
    CreateDirectoryA((noTools.Folder() + "adb").c_str(), nullptr);
    WriteTextFile(noTools.Folder() + "adb\\adb.exe", "not a program");
    SendMessageA(bare->btnInstall, BM_CLICK, 0, 0);
    CHECK(bare.Text(bare->lblHintInfo) == kNoDevice);
    CHECK(Visible(bare->lblDownHint));
    CHECK_FALSE(Visible(bare->lblReason));
}

TEST_CASE("A file name with Chinese characters is installed from a temporary copy") {
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    ScratchFolder files;
    const std::string chinese = files / "星光.apk";
    REQUIRE(CopyFileA(SamplePath().c_str(), chinese.c_str(), FALSE));
    program.Record("星光.apk", ReadTextFile(program.ToolsFolder() + "recordings\\sample.apk.txt"));
    FormHarness h(program);
    Choose(h, chinese);
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    CHECK(h.Text(h->lblHintInfo) == "程序安装成功！");
    const auto files_ = LogLines(program.ToolsFolder() + "fake-adb-files.log");
    REQUIRE(files_.size() == 1);
    const std::string handed = files_[0].substr(0, files_[0].find('\t'));
    CHECK(files_[0].substr(files_[0].find('\t') + 1, 6) == "exists");
    // The copy: the temporary folder, a GUID in its registry form, ".apk"; gone afterwards.
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    REQUIRE(handed.size() == std::string(temp).size() + 38 + 4);
    CHECK(handed.rfind(temp, 0) == 0);
    const std::string guid = handed.substr(std::string(temp).size(), 38);
    CHECK(guid.front() == '{');
    CHECK(guid.back() == '}');
    for (std::size_t i = 1; i < 37; ++i) {
        CAPTURE(i);
        if (i == 9 || i == 14 || i == 19 || i == 24)
            CHECK(guid[i] == '-');
        else
            CHECK(std::string("0123456789ABCDEF").find(guid[i]) != std::string::npos);
    }
    CHECK_FALSE(FileExists(handed));
    CHECK(FileExists(chinese));

    // A plain name inside a Chinese folder goes as it is.
    const std::string folder = files / "中文目录";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string plain = folder + "\\plain.apk";
    REQUIRE(CopyFileA(SamplePath().c_str(), plain.c_str(), FALSE));
    Choose(h, plain);
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    const auto after = LogLines(program.ToolsFolder() + "fake-adb-files.log");
    REQUIRE(after.size() == 2);
    CHECK(after[1].rfind(plain + "\texists\t", 0) == 0);
}

TEST_CASE("Without a usable temporary folder a Chinese-named package fails to install, leaving nothing") {
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    ScratchFolder files;
    const std::string chinese = files / "星光.apk";
    REQUIRE(CopyFileA(SamplePath().c_str(), chinese.c_str(), FALSE));
    program.Record("星光.apk", ReadTextFile(program.ToolsFolder() + "recordings\\sample.apk.txt"));
    FormHarness h(program);
    Choose(h, chinese);
    {
        // A temporary folder whose name needs more than the 256 bytes the program asks for.
        const std::string tooLong = "C:\\" + std::string(300, 't');
        ScopedEnvironment tmp("TMP", tooLong);
        ScopedEnvironment temp("TEMP", tooLong);
        SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    }
    CHECK(h.Text(h->lblHintInfo) == "程序安装失败！");
    CHECK(h->GetFontColor(h->lblHintInfo) == kRed);
    CHECK(AllEnabled(*h));
    CHECK(h->AppCursor() == nullptr);
    const auto calls = LogLines(program.ToolsFolder() + "fake-adb.log");
    REQUIRE(calls.size() == 1); // the device listing only
    CHECK_FALSE(FileExists(program.ToolsFolder() + "fake-adb-files.log"));
}

TEST_CASE("Uninstall mirrors install with its own texts and colours") {
    struct Case {
        const char* scenario;
        const char* status;
        TextColor color;
        bool hintShown;
    };
    const Case cases[] = {
        {"device", "程序卸载成功！", kGreen, false},
        {"fail", "程序卸载失败！", kRed, false},
        {"nodevice", kNoDevice, kWindowTextColor, true},
    };
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    for (const auto& c : cases) {
        CAPTURE(c.scenario);
        ProgramFolder program;
        ScopedEnvironment scenario("VARNEL_ADB_SCENARIO", c.scenario);
        FormHarness h(program);
        SendMessageA(h->btnUninstall, BM_CLICK, 0, 0);
        CHECK(h.Text(h->lblHintInfo) == "未选择要卸载的apk文件。");
        CHECK_FALSE(FileExists(program.ToolsFolder() + "fake-adb.log"));
        Choose(h, SamplePath());
        SendMessageA(h->btnUninstall, BM_CLICK, 0, 0);
        CHECK(h.Text(h->lblHintInfo) == c.status);
        CHECK(h->GetFontColor(h->lblHintInfo) == c.color);
        CHECK(Visible(h->lblDownHint) == c.hintShown);
        CHECK(AllEnabled(*h));
        CHECK_FALSE(Visible(h->btnUninstall));
        CHECK_FALSE(h->IsTimerExitEnabled());
        const auto calls = LogLines(program.ToolsFolder() + "fake-adb.log");
        if (!c.hintShown) {
            REQUIRE(calls.size() == 3);
            CHECK(calls[2] == "\"" + program.ToolsFolder() + "adb.exe\" uninstall com.quorly.varnel.sample");
        }
    }
}

namespace {
FormHarness* g_harness = nullptr;
bool g_sawBusy = false;
bool g_closed = false;
void CALLBACK LookWhileBusy(HWND, UINT, UINT_PTR id, DWORD) {
    TfrmMain& f = **g_harness;
    if (!IsWindowEnabled(f.btnInstall)) {
        KillTimer(nullptr, id);
        g_sawBusy = !IsWindowEnabled(f.btnOpenApk) && !IsWindowEnabled(f.btnUninstall) &&
                    f.AppCursor() == LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)) &&
                    g_harness->Text(f.lblHintInfo) == "正在为手机安装程序，请等待程序安装完成提示...";
    }
}
std::string g_filesLog;
void CALLBACK CloseWhileBusy(HWND, UINT, UINT_PTR id, DWORD) {
    TfrmMain& f = **g_harness;
    // Once adb has the copy: the second install the log records.
    if (!IsWindowEnabled(f.btnInstall) && LogLines(g_filesLog).size() == 2) {
        KillTimer(nullptr, id);
        SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
        g_closed = true;
    }
}
} // namespace

TEST_CASE("The busy state while adb installs, and a window closed meanwhile") {
    ScopedEnvironment slow("VARNEL_ADB_DELAY_MS", "800");
    ProgramFolder program;
    FormHarness h(program);
    g_harness = &h;
    Choose(h, SamplePath());
    g_sawBusy = false;
    SetTimer(nullptr, 0, 30, LookWhileBusy);
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    CHECK(g_sawBusy);
    CHECK(AllEnabled(*h));
    CHECK(h->AppCursor() == nullptr);
    CHECK(h->IsTimerExitEnabled()); // ticked by default: the countdown runs after the success
    h->lblExitClick();

    // Closed while adb still runs: the install finishes without touching the released window.
    ScratchFolder files;
    const std::string chinese = files / "关闭.apk";
    REQUIRE(CopyFileA(SamplePath().c_str(), chinese.c_str(), FALSE));
    Choose(h, chinese);
    g_closed = false;
    g_filesLog = program.ToolsFolder() + "fake-adb-files.log";
    SetTimer(nullptr, 0, 30, CloseWhileBusy);
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    CHECK(g_closed);
    CHECK(h->IsClosed());
    CHECK_FALSE(h->IsTimerExitEnabled());
    CHECK(h.errors.empty());
    const auto files_ = LogLines(program.ToolsFolder() + "fake-adb-files.log");
    REQUIRE(files_.size() == 2);
    CHECK_FALSE(FileExists(files_[1].substr(0, files_[1].find('\t')))); // the copy is still removed
}

#include "apkinfo/Labels.h"

#include "WinTestSupport.h"

namespace {

const char* const kUnknown = "未知";
const char* const kReadyText = "点击“安装”按钮进行安装...";

std::string SamplePath() { return TestPath(VARNEL_SAMPLE_APK_PATH); }

std::uint64_t SizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Opens a package through the Open dialog of the choose-a-file panel: the path becomes
// ApkFileName, the install panel shows, and the inspection runs; errors are recorded.
void Open(FormHarness& h, const std::string& path) {
    h.chooserAnswers = {path};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
}

int LinesIn(const std::string& path) {
    const std::string text = ReadTextFile(path);
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

} // namespace

TEST_CASE("The sample package shows its facts through the aapt stand-in") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    FormHarness h(program, "\"C:\\T\\app.exe\" \"" + SamplePath() + "\"");
    TfrmMain& f = *h;
    CHECK(h.errors.empty());
    CHECK(f.GetApkFileName() == SamplePath());
    CHECK(h.Text(f.lblAppName) == "星光示例");
    CHECK(h.Text(f.lblAppVersion) == "1.2.0");
    CHECK(h.Text(f.lblSysRequest) == "Android 5.0");
    CHECK(h.Text(f.lblFileSize) == FormatFileSize(SizeOf(SamplePath())));
    CHECK(h.Text(f.lblPackageName) == "com.quorly.varnel.sample");
    CHECK(f.GetPackageName() == "com.quorly.varnel.sample");
    const StringList& permissions = f.GetPermissionList();
    REQUIRE(permissions.size() == 15);
    CHECK(permissions[0] == "android.permission.INTERNET");
    CHECK(permissions[8] == "android.permission.WRITE_EXTERNAL_STORAGE"); // its maxSdkVersion is not part of the name
    CHECK(permissions[14] == "android.permission.READ_EXTERNAL_STORAGE");
    CHECK(h.Text(f.lblHintInfo) == kReadyText);
    CHECK(f.GetFontColor(f.lblHintInfo) == kWindowTextColor);
    CHECK_FALSE(Visible(f.lblDownHint));
    // The tool got the path quoted, after the fixed part of the command line.
    const std::string log = ReadTextFile(program.ToolsFolder() + "fake-aapt.log");
    CHECK(log == "\"" + program.ToolsFolder() + "aapt.exe\" dump badging \"" + SamplePath() + "\"\r\n");
}

TEST_CASE("Without the tool: the size, unknown facts, no error, and the status line says why") {
    ProgramFolder program(false);
    FormHarness h(program);
    TfrmMain& f = *h;
    SetWindowTextA(f.txtPermissionInfo, "old text");
    ShowWindow(f.lblDownHint, SW_SHOW);
    Open(h, SamplePath());
    CHECK(h.errors.empty());
    CHECK(h.Text(f.lblFileSize) == FormatFileSize(SizeOf(SamplePath())));
    for (HWND field : {f.lblAppName, f.lblAppVersion, f.lblSysRequest, f.lblPackageName})
        CHECK(h.Text(field) == kUnknown);
    CHECK(f.ShowsPlaceholderIcon());
    CHECK(h.Text(f.txtPermissionInfo).empty());
    CHECK(h.Text(f.lblHintInfo) == "找不到aapt.exe，请把它放进程序所在的adb文件夹。");
    CHECK(f.GetFontColor(f.lblHintInfo) == kRed);
    CHECK(Visible(f.lblReason));
    CHECK(h.Text(f.lblReason) == program.ToolsFolder()); // the folder it belongs in
    CHECK_FALSE(Visible(f.lblDownHint));
    // The Open button's status line keeps saying it.
    h.chooserAnswers = {SamplePath()};
    SendMessageA(f.btnOpenApk, BM_CLICK, 0, 0);
    CHECK(h.Text(f.lblHintInfo) == "找不到aapt.exe，请把它放进程序所在的adb文件夹。");
}

TEST_CASE("A package that can't be opened is reported and the tool is not run") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    FormHarness h(program);
    TfrmMain& f = *h;
    const std::string missing = program.Folder() + "removed.apk";
    Open(h, missing);
    REQUIRE(h.errors.size() == 1);
    CHECK(h.errors[0].rfind("Cannot open file \"" + missing + "\". ", 0) == 0);
    CHECK(h.errors[0].back() == '.');
    CHECK_FALSE(FileExists(program.ToolsFolder() + "fake-aapt.log"));
    CHECK(h.Text(f.lblFileSize) == kUnknown);
    CHECK(h.Text(f.lblHintInfo) == "可以将APK文件拖到窗体上进行安装.");

    // An empty path, which only the command line can give, fails the same way, in the size step.
    FormHarness emptyArgument(program, "\"C:\\T\\app.exe\" \"\"");
    REQUIRE(emptyArgument.errors.size() == 1);
    CHECK(emptyArgument.errors[0].rfind("Cannot open file \"", 0) == 0);
    CHECK_FALSE(FileExists(program.ToolsFolder() + "fake-aapt.log"));

    // So does a package another program is writing.
    h.errors.clear();
    const std::string busy = program.Folder() + "busy.apk";
    WriteTextFile(busy, "PK");
    HANDLE writer = CreateFileA(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(writer != INVALID_HANDLE_VALUE);
    Open(h, busy);
    CloseHandle(writer);
    REQUIRE(h.errors.size() == 1);
    CHECK(h.errors[0].rfind("Cannot open file \"" + busy + "\". ", 0) == 0);
}

TEST_CASE("Odd tool output yields no facts and no error") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    FormHarness h(program);
    TfrmMain& f = *h;
    ScratchFolder scratch;
    struct Case {
        const char* name;
        std::string output;
    };
    std::string binary;
    for (int i = 0; i < 5000; ++i)
        binary += static_cast<char>((i * 7919) % 256);
    const Case cases[] = {
        {"nothing", ""},
        {"garbage", binary},
        {"lone quotes", "package:'\r\nsdkVersion:\r\nuses-permission:\r\nname='"},
        {"bare line feeds", "xsdkVersion:'21'\nsdkVersion:'22'"}, // one line: its first value is "21'\nsdkVersion:'22"
        {"only other lines", "launchable-activity: name='a.B'  label='' icon=''\r\nsupports-screens: 'small'\r\n"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        const std::string outputFile = scratch / "out.txt";
        WriteTextFile(outputFile, c.output);
        ScopedEnvironment forced("VARNEL_FAKE_AAPT_OUTPUT", outputFile);
        f.SetCaption(f.lblHintInfo, "earlier");
        Open(h, SamplePath());
        CHECK(h.errors.empty());
        CHECK(h.Text(f.lblHintInfo) == kReadyText);
        CHECK(h.Text(f.lblSysRequest) == kUnknown);
    }
}

TEST_CASE("A new package never shows the last one's facts") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    FormHarness h(program);
    TfrmMain& f = *h;
    Open(h, SamplePath());
    REQUIRE(h.Text(f.lblPackageName) == "com.quorly.varnel.sample");

    // A second package whose output has a package line without a version and no application line.
    const std::string second = program.Folder() + "second.apk";
    WriteTextFile(second, std::string(2048, 'x'));
    program.Record("second.apk", "package: name='org.example.second' versionCode='1'\nsdkVersion:'38'\n");
    f.SetCaption(f.lblHintInfo, "earlier");
    Open(h, second);
    CHECK(h.errors.empty());
    CHECK(h.Text(f.lblPackageName) == "org.example.second");
    CHECK(f.GetPackageName() == "org.example.second");
    CHECK(h.Text(f.lblAppVersion) == kUnknown);
    CHECK(h.Text(f.lblAppName) == kUnknown);
    CHECK(h.Text(f.lblSysRequest) == "API 38");
    CHECK(h.Text(f.lblFileSize) == "2.0 K");
    CHECK(f.GetPermissionList().empty());
    CHECK(f.ShowsPlaceholderIcon());

    // A package the tool can't read clears the package name, so uninstall can't hit the last one.
    const std::string third = program.Folder() + "third.apk";
    WriteTextFile(third, "not a zip");
    Open(h, third);
    CHECK(f.GetPackageName().empty());
    CHECK(h.Text(f.lblPackageName) == kUnknown);
}

TEST_CASE("A path with blanks and Chinese reaches the tool as one argument") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    FormHarness h(program);
    const std::string path = program.Folder() + "我的 应用.apk";
    REQUIRE(CopyFileA(SamplePath().c_str(), path.c_str(), FALSE));
    program.Record("我的 应用.apk", ReadTextFile(program.ToolsFolder() + "recordings\\sample.apk.txt"));
    Open(h, path);
    CHECK(h.errors.empty());
    CHECK(h.Text(h->lblPackageName) == "com.quorly.varnel.sample");
    const std::string log = ReadTextFile(program.ToolsFolder() + "fake-aapt.log");
    CHECK(log.find("dump badging \"" + path + "\"") != std::string::npos);
}

namespace {
TfrmMain* g_nestedForm = nullptr;
std::string g_nestedPath;
bool g_nestedRan = false;
void CALLBACK InspectAgain(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_nestedRan)
        return;
    g_nestedRan = true;
    g_nestedForm->InspectApk(g_nestedPath);
}
} // namespace

TEST_CASE("A second inspection does not start while one waits for the tool") {
    ProgramFolder program(ProgramFolder::kScriptedAapt);
    FormHarness h(program);
    ScopedEnvironment slow("VARNEL_FAKE_AAPT_DELAY_MS", "600");
    g_nestedForm = h.form.get();
    g_nestedPath = program.Folder() + "other.apk";
    g_nestedRan = false;
    SetTimer(nullptr, 0, 50, InspectAgain); // fires inside the runner's message dispatch
    Open(h, SamplePath());
    CHECK(g_nestedRan);
    CHECK(h.errors.empty()); // the nested call would have failed to open other.apk
    CHECK(LinesIn(program.ToolsFolder() + "fake-aapt.log") == 1);
    CHECK(h.Text(h->lblPackageName) == "com.quorly.varnel.sample");
    CHECK_FALSE(h->IsInspecting());
}

TEST_CASE("Our aapt.exe reads the package itself, under a Chinese name with blanks") {
    ProgramFolder program; // our own tool, no recording
    FormHarness h(program);
    TfrmMain& f = *h;
    const std::string path = program.Folder() + "我的 应用 (副本).apk";
    REQUIRE(CopyFileA(SamplePath().c_str(), path.c_str(), FALSE));
    Open(h, path);
    CHECK(h.errors.empty());
    // The label arrives as UTF-8 from the tool and shows in the window's code page.
    CHECK(h.Text(f.lblAppName) == "星光示例");
    CHECK(h.Text(f.lblAppVersion) == "1.2.0");
    CHECK(h.Text(f.lblSysRequest) == "Android 5.0");
    CHECK(h.Text(f.lblPackageName) == "com.quorly.varnel.sample");
    CHECK(f.GetPermissionList().size() == 15);
    CHECK_FALSE(f.ShowsPlaceholderIcon());
    CHECK(h.Text(f.lblHintInfo) == kReadyText);
}

namespace {

std::string LabelPackage(const std::string& name) { return TestPath(VARNEL_LABEL_PACKAGES) + "\\" + name + ".apk"; }

} // namespace

TEST_CASE("Chinese and mixed-script names and versions show whole in the window") {
    REQUIRE(GetACP() == 936);
    struct Case {
        const char* package;
        std::string name;
        std::string version;
    };
    // What GBK can show of each text; characters it lacks show as "?".
    const Case cases[] = {
        {"label-1", "微", "1.0"},
        {"label-2", "微信", "8.0.47"},
        {"label-3", "支付宝", "10.5.0"},
        {"label-pdd", "拼多多", "7.1"},
        {"label-xhs", "小红书", "8.20.0"},
        {"label-5", "网易云音乐", "9.0.0 正式版"},
        {"label-lite", "小红书 Lite", "12.3 测试"},
        {"label-mixed", "urzip-π??现代汉语通用字-български-????1234", "1.0"},
        {"label-cafe", "Café", "2.0"},
    };
    ProgramFolder program; // our own aapt.exe reads each package
    FormHarness h(program);
    for (const auto& c : cases) {
        CAPTURE(c.package);
        Open(h, LabelPackage(c.package));
        CHECK(h.errors.empty());
        CHECK(h.Text(h->lblAppName) == c.name);
        CHECK(h.Text(h->lblAppVersion) == c.version);
    }
}

TEST_CASE("Under a Western code page accented names show and Chinese ones turn into question marks") {
    // Run by CTest a second time under code page 1252; under 936 it checks the GBK forms instead.
    const bool western = GetACP() == 1252;
    char asked[32] = {};
    if (GetEnvironmentVariableA("VARNEL_WINE_LOCALE", asked, sizeof asked) > 0)
        REQUIRE(western); // the run that asked for the Western locale really got it
    ProgramFolder program;
    FormHarness h(program);
    Open(h, LabelPackage("label-cafe"));
    CHECK(h.errors.empty());
    CHECK(h.Text(h->lblAppName) == (western ? "Caf\xE9" : "Café"));
    Open(h, LabelPackage("label-3"));
    CHECK(h.Text(h->lblAppName) == (western ? "???" : "支付宝"));
    Open(h, LabelPackage("label-lite"));
    CHECK(h.Text(h->lblAppVersion) == (western ? "12.3 ??" : "12.3 测试"));
}

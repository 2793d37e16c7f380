// The list of packages in the window: how several packages arrive (command line, a dropped folder,
// the Open dialog), how the list reads them, and a run of the list onto a rack of phones through the
// adb stand-in.
#include "WinTestSupport.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>

namespace {

std::string Sample() {
    return TestPath(VARNEL_SAMPLE_APK_PATH);
}
std::string Label(const std::string& name) {
    return TestPath(VARNEL_LABEL_PACKAGES) + "\\" + name + ".apk";
}
std::string Bundle(const std::string& name) {
    return TestPath(VARNEL_BUNDLES) + "\\" + name;
}

std::string CommandLine(const std::vector<std::string>& paths) {
    std::string line = "\"C:\\T\\app.exe\"";
    for (const auto& path : paths)
        line += " \"" + path + "\"";
    return line;
}

std::string Cell(TfrmMain& f, int row, int column) {
    char text[512] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(f.lvPackages, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int Rows(TfrmMain& f) {
    return static_cast<int>(SendMessageA(f.lvPackages, LVM_GETITEMCOUNT, 0, 0));
}

HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const auto& path : paths)
        size += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    char* names = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const auto& path : paths) {
        std::memcpy(names, path.c_str(), path.size() + 1);
        names += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void Drop(TfrmMain& f, const std::vector<std::string>& paths) {
    SendMessageA(f.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
}

} // namespace

TEST_CASE("Three packages and a bundle on the command line make one list; a bundle without a base stays, skipped") {
    ProgramFolder program;
    FormHarness h(program, CommandLine({Sample(), Label("label-2"), Label("label-3"), Bundle("bundle.apks"),
                                        Bundle("nobase.apks")}));
    TfrmMain& f = *h;
    CHECK(h.errors.empty());
    REQUIRE(f.ShowsShelf());
    CHECK(Visible(f.GroupBoxPackages));
    CHECK_FALSE(Visible(f.GroupBoxPermission));
    REQUIRE(f.ShelfCount() == 5);
    REQUIRE(Rows(f) == 5);
    struct Row {
        const char* name;
        const char* version;
        const char* packageName;
    };
    const Row rows[] = {{"星光示例", "1.2.0", "com.quorly.varnel.sample"},
                        {"微信", "8.0.47", "org.varnel.labels.label_2"},
                        {"支付宝", "10.5.0", "org.varnel.labels.label_3"},
                        {"Bundle Demo", "2.1", "org.varnel.bundle"}};
    for (int i = 0; i < 4; ++i) {
        CAPTURE(i);
        CHECK(f.ShelfProblem(i).empty());
        CHECK(Cell(f, i, 0) == rows[i].name);
        CHECK(Cell(f, i, 1) == rows[i].version);
        CHECK_FALSE(Cell(f, i, 2).empty());
        // The facts panel follows the selected row.
        f.SelectShelfRow(i);
        CHECK(h.Text(f.lblPackageName) == rows[i].packageName);
        CHECK(h.Text(f.lblAppVersion) == rows[i].version);
    }
    CHECK_FALSE(f.ShelfProblem(4).empty());
    CHECK(Cell(f, 4, 1) == "无法读取");
    CHECK(h.Text(f.lblReason).find("列表中有 5 个安装包，1 个无法读取") == 0);
}

TEST_CASE("A dropped folder gives the packages directly inside it; more drops add to the list, each file once") {
    ProgramFolder program;
    ScratchFolder files{"varnel-shelf"};
    const std::string folder = files / "rack";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\inner").c_str(), nullptr);
    CreateDirectoryA((files / "nothing").c_str(), nullptr);
    REQUIRE(CopyFileA(Sample().c_str(), (folder + "\\a.apk").c_str(), FALSE));
    REQUIRE(CopyFileA(Label("label-2").c_str(), (folder + "\\b.APK").c_str(), FALSE));
    REQUIRE(CopyFileA(Label("label-3").c_str(), (folder + "\\inner\\c.apk").c_str(), FALSE));
    WriteTextFile(folder + "\\readme.txt", "not a package");
    FormHarness h(program);
    TfrmMain& f = *h;

    Drop(f, {folder});
    REQUIRE(f.ShowsShelf());
    REQUIRE(f.ShelfCount() == 2);
    CHECK(f.ShelfPath(0) == folder + "\\a.apk");
    CHECK(f.ShelfPath(1) == folder + "\\b.APK");

    // Onto the list: a file already there, a folder without packages, a file that has gone.
    Drop(f, {folder + "\\a.apk", files / "nothing", files / "gone.apk", Label("label-3")});
    CHECK(f.ShelfCount() == 4);
    CHECK(f.ShelfProblem(2) == "文件不存在或无法打开");
    CHECK(f.ShelfProblem(3).empty());
    const std::string note = h.Text(f.lblReason);
    CHECK(note.find("1 个无法读取") != std::string::npos);
    CHECK(note.find("nothing") != std::string::npos);

    // Del takes the selected row away; the next one is shown.
    f.SelectShelfRow(2);
    f.RemoveSelectedRows();
    CHECK(f.ShelfCount() == 3);
    CHECK(Rows(f) == 3);
    CHECK(f.ShelfPath(2) == Label("label-3"));
    CHECK(h.Text(f.lblPackageName) == "org.varnel.labels.label_3");
    CHECK(h.errors.empty());
}

TEST_CASE("Install all onto three phones: one refusal stops nothing else, the table names package and phone") {
    ProgramFolder program;
    program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
    ScratchFolder files{"varnel-shelf"};
    WriteTextFile(files / "script.txt", "phone PHONE1 device\n"
                                        "phone PHONE2 device refuse=label-2.apk:INSTALL_FAILED_INSUFFICIENT_STORAGE\n"
                                        "phone PHONE3 device\n");
    ScopedEnvironment script("VARNEL_ADB_SCRIPT", files / "script.txt");
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    FormHarness h(program, CommandLine({Sample(), Label("label-2"), Bundle("bundle.apks"), Bundle("nobase.apks")}));
    TfrmMain& f = *h;
    REQUIRE(f.ShelfCount() == 4);

    SendMessageA(f.btnInstall, BM_CLICK, 0, 0);
    CHECK(h.errors.empty());
    CHECK(h.questions.empty());
    CHECK(h.Text(f.lblHintInfo) == "3 个包 × 3 台：8 成功，1 失败；1 个包无法读取，已跳过");
    CHECK_FALSE(f.IsTimerExitEnabled());
    const InstallResults& results = f.LastResults();
    // A row for each package on each phone, in the list's order, then the package that was skipped.
    REQUIRE(results.rows.size() == 10);
    CHECK(results.rows[9].result == "跳过");
    int failed = 0;
    for (const PhoneResult& row : results.rows) {
        CAPTURE(row.package);
        CAPTURE(row.serial);
        const bool refused = row.serial == "PHONE2" && row.package.find("微信") == 0;
        CHECK((row.result == "失败") == refused);
        failed += row.result == "失败";
        if (refused)
            CHECK_FALSE(row.reason.empty());
    }
    CHECK(failed == 1);
    CHECK(results.rows[0].package.find("星光示例") == 0);
    CHECK(results.rows[8].package.find("Bundle Demo") == 0);
    CHECK(ResultsText(results).find("安装包\t手机\t") == 0);
    CHECK(h.Text(f.lblReason).find("空间") != std::string::npos);
}

TEST_CASE("The Open dialog's multiple selection makes the list; one file chosen alone shows as before") {
    ProgramFolder program;
    std::vector<std::vector<std::string>> choices = {{Sample(), Label("label-2")}, {Label("label-3")}};
    FormSeams seams;
    seams.exePath = program.ExePath();
    seams.useCommandLine = true;
    seams.commandLine = "\"C:\\T\\app.exe\"";
    seams.endProgramOnClose = false;
    seams.checkSignatures = false;
    std::vector<std::string> errors;
    seams.reportError = [&errors](const std::string& message) { errors.push_back(message); };
    seams.chooseApkFiles = [&choices](std::vector<std::string>& names) {
        names = choices.front();
        choices.erase(choices.begin());
        return true;
    };
    const auto form = TfrmMain::Create(GetModuleHandleA(nullptr), seams);

    SendMessageA(form->btnSelApkFile, BM_CLICK, 0, 0);
    REQUIRE(form->ShowsShelf());
    CHECK(form->ShelfCount() == 2);
    SendMessageA(form->btnOpenApk, BM_CLICK, 0, 0);
    CHECK_FALSE(form->ShowsShelf());
    CHECK(Visible(form->GroupBoxPermission));
    CHECK_FALSE(Visible(form->GroupBoxPackages));
    CHECK(form->GetCaption(form->lblAppName) == "支付宝");
    CHECK(errors.empty());
}

#ifdef VARNEL_SIGNING_PACKAGES_PATH
TEST_CASE("Each row shows its signature verdict; packages that are not intact are asked about once, No by default") {
    const auto signedPackage = [](const std::string& name) {
        return TestPath(VARNEL_SIGNING_PACKAGES_PATH) + "\\" + name + ".apk";
    };
    ProgramFolder program;
    program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
    ScopedEnvironment scenario("VARNEL_ADB_SCENARIO", "device");
    ScopedEnvironment fast("VARNEL_ADB_DELAY_MS", "0");
    FormHarness h(program,
                  CommandLine({signedPackage("v1v2v3"), signedPackage("unsigned"), signedPackage("v1-stored-byte")}),
                  FormHarness::Signatures::Checked);
    TfrmMain& f = *h;
    REQUIRE(f.ShelfCount() == 3);
    REQUIRE(f.AwaitShelfSignatures());
    CHECK(f.ShelfSignature(0).find("签名有效") == 0);
    CHECK(f.ShelfSignature(1).find("未签名") == 0);
    CHECK(f.ShelfSignature(2).find("签名无效") == 0);
    CHECK(Cell(f, 0, 3) == "有效"); // the column is narrow: the word alone
    CHECK(Cell(f, 1, 3) == "未签名");
    CHECK(Cell(f, 2, 3) == "无效");
    // Hovering over a row gives its whole verdict.
    char tip[INFOTIPSIZE] = {};
    NMLVGETINFOTIPA info = {};
    info.hdr = {f.lvPackages, static_cast<UINT_PTR>(GetDlgCtrlID(f.lvPackages)), LVN_GETINFOTIPA};
    info.pszText = tip;
    info.cchTextMax = sizeof tip;
    info.iItem = 2;
    SendMessageA(GetParent(f.lvPackages), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    CHECK(std::string(tip) == f.ShelfSignature(2));

    SendMessageA(f.btnInstall, BM_CLICK, 0, 0);
    REQUIRE(h.questions.size() == 1);
    CHECK(h.questions[0].find("没有通过签名检查") != std::string::npos);
    CHECK(h.questions[0].find("1 台手机、2 个应用") != std::string::npos);
    const InstallResults& results = f.LastResults();
    REQUIRE(results.rows.size() == 3);
    CHECK(results.rows[0].result == "成功");
    CHECK(results.rows[1].result == "未安装");
    CHECK(results.rows[2].result == "未安装");
}
#endif

namespace {

struct Found {
    DWORD process;
    HWND window;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<Found*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (process != found->process || std::strcmp(name, "TfrmMain") != 0)
        return TRUE;
    found->window = window;
    return FALSE;
}

BOOL CALLBACK FindList(HWND child, LPARAM data) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    if (std::strcmp(name, WC_LISTVIEWA) != 0 || !IsWindowVisible(child))
        return TRUE;
    *reinterpret_cast<HWND*>(data) = child;
    return FALSE;
}

} // namespace

TEST_CASE("Two instances started together end in one window holding both packages") {
    ProgramFolder program;
    program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
    const std::string exe = program.Folder() + "Varnel.exe";
    REQUIRE(CopyFileA((TestPath(VARNEL_TOOLS_DIR) + "\\..\\Varnel.exe").c_str(), exe.c_str(), FALSE));
    PROCESS_INFORMATION started[2] = {};
    const std::string packages[2] = {Sample(), Label("label-2")};
    for (int i = 0; i < 2; ++i) {
        std::string command = "\"" + exe + "\" \"" + packages[i] + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        REQUIRE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &started[i]));
        CloseHandle(started[i].hThread);
    }
    // Either may start first: one hands its package over and ends, the other shows both.
    const HANDLE processes[2] = {started[0].hProcess, started[1].hProcess};
    const DWORD ended = WaitForMultipleObjects(2, processes, FALSE, 60000);
    REQUIRE(ended < WAIT_OBJECT_0 + 2);
    const int gone = static_cast<int>(ended - WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(started[gone].hProcess, &code);
    CHECK(code == 0);
    Found found = {started[1 - gone].dwProcessId, nullptr};
    HWND list = nullptr;
    int rows = 0;
    for (int tries = 0; tries < 300 && rows < 2; ++tries) {
        Sleep(100);
        if (found.window == nullptr)
            EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&found));
        if (found.window != nullptr && list == nullptr)
            EnumChildWindows(found.window, FindList, reinterpret_cast<LPARAM>(&list));
        if (list != nullptr)
            rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    }
    CHECK(rows == 2);
    if (found.window != nullptr)
        PostMessageA(found.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(started[1 - gone].hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(started[1 - gone].hProcess, 1);
    CloseHandle(started[0].hProcess);
    CloseHandle(started[1].hProcess);
}

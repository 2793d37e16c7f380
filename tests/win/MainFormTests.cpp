#include "app/AppText.h"

#include <richedit.h>

#include <stdexcept>

#include "WinTestSupport.h"

namespace {

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    CharLowerA(name);
    return name;
}

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

TEST_CASE("Every control is a real child window where the layout puts it") {
    ProgramFolder program;
    FormHarness h(program);
    TfrmMain& f = *h;
    struct Row {
        const char* name;
        HWND control;
        const char* className;
        HWND parent;
        RECT rect; // left, top, right, bottom; labels size themselves, so only their corner counts
        const char* text;
        bool visible;
    };
    const Row rows[] = {
        {"PanelDefault", f.PanelDefault, "tvarnelpanel", f.Handle(), {0, 0, 567, 240}, "", true},
        {"GBoxInfo", f.GBoxInfo, "button", f.PanelDefault, {8, 0, 561, 241}, "", true},
        {"Image2", f.Image2, "static", f.GBoxInfo, {216, 16, 344, 144}, "", true},
        {"btnSelApkFile", f.btnSelApkFile, "button", f.GBoxInfo, {165, 152, 390, 193}, "选择APK文件进行安装", true},
        {"PanelInstall", f.PanelInstall, "tvarnelpanel", f.Handle(), {0, 0, 567, 240}, "", false},
        {"GroupBoxPermission", f.GroupBoxPermission, "button", f.PanelInstall, {280, 8, 561, 241}, "权限描述", true},
        {"txtPermissionInfo", f.txtPermissionInfo, "richedit20a", f.GroupBoxPermission, {16, 20, 265, 222}, "", true},
        {"GroupBoxBasic", f.GroupBoxBasic, "button", f.PanelInstall, {8, 8, 265, 241}, "基本信息", true},
        {"imgShowIcon", f.imgShowIcon, "static", f.GroupBoxBasic, {64, 14, 136, 86}, "", true},
        {"Label1", f.Label1, "static", f.GroupBoxBasic, {19, 94, 0, 0}, "应用名称：", true},
        {"Label2", f.Label2, "static", f.GroupBoxBasic, {19, 121, 0, 0}, "应用版本：", true},
        {"Label3", f.Label3, "static", f.GroupBoxBasic, {19, 150, 0, 0}, "系统要求：", true},
        {"Label4", f.Label4, "static", f.GroupBoxBasic, {19, 179, 0, 0}, "应用大小：", true},
        {"Label5", f.Label5, "static", f.GroupBoxBasic, {19, 208, 0, 0}, "应用包名：", true},
        {"lblAppName", f.lblAppName, "edit", f.GroupBoxBasic, {88, 93, 249, 114}, "未知", true},
        {"lblAppVersion", f.lblAppVersion, "edit", f.GroupBoxBasic, {88, 120, 249, 141}, "未知", true},
        {"lblSysRequest", f.lblSysRequest, "edit", f.GroupBoxBasic, {88, 149, 249, 170}, "未知", true},
        {"lblFileSize", f.lblFileSize, "edit", f.GroupBoxBasic, {88, 179, 249, 200}, "未知", true},
        {"lblPackageName", f.lblPackageName, "edit", f.GroupBoxBasic, {88, 207, 249, 228}, "未知", true},
        {"PanelBtn", f.PanelBtn, "tvarnelpanel", f.Handle(), {0, 280, 567, 331}, "", true},
        {"lblGoMarket", f.lblGoMarket, "static", f.PanelBtn, {2, 12, 0, 0}, "【软件游戏下载】", true},
        {"lblDownDriver", f.lblDownDriver, "static", f.PanelBtn, {102, 12, 0, 0}, "【下载手机驱动】", true},
        {"lblHelp", f.lblHelp, "static", f.PanelBtn, {202, 12, 0, 0}, "【帮助】", true},
        {"lblCheckUpdate", f.lblCheckUpdate, "static", f.PanelBtn, {251, 12, 0, 0}, "【更新】", true},
        {"btnInstall", f.btnInstall, "button", f.PanelBtn, {326, 8, 398, 44}, "安装", true},
        {"btnUninstall", f.btnUninstall, "button", f.PanelBtn, {239, 32, 299, 68}, "卸载", false},
        {"btnClose", f.btnClose, "button", f.PanelBtn, {488, 8, 560, 44}, "关闭", true},
        {"btnOpenApk", f.btnOpenApk, "button", f.PanelBtn, {407, 8, 479, 44}, "打开APK", true},
        {"ckbIsClose", f.ckbIsClose, "button", f.PanelBtn, {16, 31, 193, 48}, "安装完毕后关闭Varnel", true},
        {"PanelStatus", f.PanelStatus, "tvarnelpanel", f.Handle(), {0, 240, 567, 280}, "", true},
        {"GroupBox1", f.GroupBox1, "button", f.PanelStatus, {8, 0, 561, 40}, "", true},
        {"Image1", f.Image1, "static", f.GroupBox1, {3, 7, 35, 39}, "", true},
        {"lblHintInfo", f.lblHintInfo, "static", f.GroupBox1, {41, 16, 0, 0}, "可以将APK文件拖到窗体上进行安装.", true},
        {"lblExit", f.lblExit, "static", f.GroupBox1, {318, 16, 0, 0}, "安装成功！Varnel将在5秒后退出!(点击取消)", false},
        {"lblDownHint", f.lblDownHint, "static", f.GroupBox1, {456, 16, 0, 0}, "点击下载驱动.    ", false},
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        REQUIRE(row.control != nullptr);
        CHECK(ClassOf(row.control) == row.className);
        CHECK(GetParent(row.control) == row.parent);
        const RECT rect = RectInParent(row.control);
        CHECK(rect.left == row.rect.left);
        CHECK(rect.top == row.rect.top);
        if (row.rect.right != 0) {
            CHECK(rect.right == row.rect.right);
            CHECK(rect.bottom == row.rect.bottom);
        }
        CHECK(h.Text(row.control) == row.text);
        CHECK(Visible(row.control) == row.visible);
    }
}

TEST_CASE("The window: client area, place, caption, fixed size") {
    ProgramFolder program;
    FormHarness h(program);
    RECT client;
    GetClientRect(h->Handle(), &client);
    CHECK(client.right == TfrmMain::kClientWidth);
    CHECK(client.bottom == TfrmMain::kClientHeight);
    RECT outer;
    GetWindowRect(h->Handle(), &outer);
    CHECK(outer.left == 432);
    CHECK(outer.top == 115);
    CHECK(h.Text(h->Handle()) == FormCaption());
    CHECK(FormCaption().rfind("Varnel3.5      Quorly", 0) == 0);

    const LONG style = GetWindowLongA(h->Handle(), GWL_STYLE);
    CHECK((style & WS_MINIMIZEBOX) != 0);
    CHECK((style & WS_MAXIMIZEBOX) == 0);
    CHECK((style & WS_SYSMENU) != 0);

    // Dragging the border snaps back at once.
    SetWindowPos(h->Handle(), nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
    RECT after;
    GetWindowRect(h->Handle(), &after);
    CHECK(after.right - after.left == outer.right - outer.left);
    CHECK(after.bottom - after.top == outer.bottom - outer.top);
    GetClientRect(h->Handle(), &client);
    CHECK(client.right == TfrmMain::kClientWidth);
    CHECK(client.bottom == TfrmMain::kClientHeight);
}

TEST_CASE("Keyboard order follows the layout's tab order") {
    ProgramFolder program;
    FormHarness h(program, "\"C:\\T\\app.exe\" \"" + program.Folder() + "none.apk\"");
    TfrmMain& f = *h;
    ShowWindow(f.Handle(), SW_SHOWNA);
    const HWND expected[] = {f.btnInstall,    f.btnClose,      f.btnOpenApk,    f.ckbIsClose,    f.lblAppName,
                             f.lblAppVersion, f.lblSysRequest, f.lblFileSize,   f.lblPackageName, f.txtPermissionInfo};
    HWND current = f.btnInstall;
    for (std::size_t i = 1; i < sizeof expected / sizeof expected[0]; ++i) {
        CAPTURE(i);
        current = GetNextDlgTabItem(f.Handle(), current, FALSE);
        CHECK(current == expected[i]);
    }
    CHECK(GetNextDlgTabItem(f.Handle(), current, FALSE) == f.btnInstall);
}

TEST_CASE("Start-up reads the command line as the file association writes it") {
    struct Case {
        const char* commandLine;
        bool installPanel;
        const char* apkFileName;
    };
    const Case cases[] = {
        {"\"C:\\T\\app.exe\"", false, ""},
        {"C:\\T\\app.exe D:\\a.apk", false, ""},
        {"\"C:\\T\\app.exe\" D:\\a.apk", false, ""},
        {"C:\\T\\app.exe \"D:\\a.apk\"", false, ""},
        {"\"C:\\T\\app.exe\" \"D:\\a.apk\"", true, "D:\\a.apk"},
        {"\"C:\\T\\app.exe\"  \"D:\\a.apk\"", true, "D:\\a.apk"},
        {"\"C:\\T\\app.exe\" \"D:\\a.apk\" \"E:\\b.apk\"", true, "D:\\a.apk"},
        {"\"C:\\T\\app.exe\"   \"D:\\a.apk\"", false, ""},
        {"\"C:\\T\\app.exe\" \"D:\\x\"y.apk\"", true, "D:\\xy.apk"},
        {"\"C:\\T\\app.exe\" \"\"", true, ""},
    };
    ProgramFolder program;
    for (const auto& c : cases) {
        CAPTURE(c.commandLine);
        FormHarness h(program, c.commandLine);
        CHECK(Visible(h->PanelInstall) == c.installPanel);
        CHECK(Visible(h->PanelDefault) == !c.installPanel);
        CHECK(h->GetApkFileName() == c.apkFileName);
        if (h->ShowsShelf()) {
            // Several packages make the list, which says in each row that the file is not there.
            CHECK(h.errors.empty());
            CHECK(h->ShelfProblem(1) == "文件不存在或无法打开");
        } else if (c.installPanel) {
            // No such package here: the inspection reports the failed open, and start-up goes on.
            REQUIRE(h.errors.size() == 1);
            CHECK(h.errors[0].rfind("Cannot open file \"", 0) == 0);
        } else {
            CHECK(h.errors.empty());
        }
    }
}

TEST_CASE("The close-after-install setting: only \"false\" unticks the box") {
    struct Case {
        const char* cfg;
        bool ticked;
        const char* storedAfter; // what the file says after start-up
    };
    const Case cases[] = {
        {nullptr, true, nullptr},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=true\r\n", true, "true"},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n", false, "false"},
        {"[applicationconfig]\r\nisCloseAfterInstall = false \r\n", false, "false"},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=False\r\n", true, "False"},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=FALSE\r\n", true, "FALSE"},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=0\r\n", true, "0"},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=\r\n", true, ""},
        {"[Other]\r\nIsCloseAfterInstall=false\r\n", true, nullptr},
    };
    for (const auto& c : cases) {
        CAPTURE(c.cfg ? c.cfg : "(no file)");
        ProgramFolder program;
        if (c.cfg)
            program.WriteCfg(c.cfg);
        FormHarness h(program);
        CHECK(h->IsTicked(h->ckbIsClose) == c.ticked);
        CHECK(h.errors.empty());
        char value[64] = "(missing)";
        GetPrivateProfileStringA("ApplicationConfig", "IsCloseAfterInstall", "(missing)", value, sizeof value,
                                 program.CfgPath().c_str());
        CHECK(std::string(value) == (c.storedAfter ? c.storedAfter : "(missing)"));
        if (!c.cfg)
            CHECK_FALSE(FileExists(program.CfgPath())); // reading creates nothing
    }
}

TEST_CASE("Ticking the box writes the setting at once; a failed write is reported") {
    ProgramFolder program;
    FormHarness h(program);
    h->SetTicked(h->ckbIsClose, false);
    char value[16] = {};
    GetPrivateProfileStringA("ApplicationConfig", "IsCloseAfterInstall", "", value, sizeof value,
                             program.CfgPath().c_str());
    CHECK(std::string(value) == "false");
    h->SetTicked(h->ckbIsClose, true);
    GetPrivateProfileStringA("ApplicationConfig", "IsCloseAfterInstall", "", value, sizeof value,
                             program.CfgPath().c_str());
    CHECK(std::string(value) == "true");

    // A program folder that can't be written: the box keeps its new state and the error is shown.
    const std::string missingFolder = program.Folder() + "gone\\";
    FormHarness unwritable(missingFolder + "Varnel.exe", "\"C:\\T\\app.exe\"");
    SendMessageA(unwritable->ckbIsClose, BM_CLICK, 0, 0);
    CHECK_FALSE(unwritable->IsTicked(unwritable->ckbIsClose));
    REQUIRE(unwritable.errors.size() == 1);
    CHECK(unwritable.errors[0] == "Unable to write to " + missingFolder + "PermissionInfo.cfg.");
}

TEST_CASE("A stored \"false\" that can't be written back ends start-up with the error") {
    ProgramFolder program;
    program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
    // Another program holds the file open for reading only: it reads, but can't be written.
    HANDLE lock = CreateFileA(program.CfgPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(lock != INVALID_HANDLE_VALUE);
    FormHarness h(program, "\"C:\\T\\app.exe\" \"D:\\a.apk\"");
    CloseHandle(lock);
    CHECK_FALSE(h->IsTicked(h->ckbIsClose));
    REQUIRE(h.errors.size() == 1);
    CHECK(h.errors[0] == "Unable to write to " + program.CfgPath() + ".");
    // The error came before the panels were chosen: both still show, the install panel on top.
    CHECK(Visible(h->PanelInstall));
    CHECK(Visible(h->PanelDefault));
    CHECK(h->GetApkFileName().empty());
}

TEST_CASE("Error boxes end their message with a full stop when it needs one") {
    CHECK(WithFullStop("File not found") == "File not found.");
    CHECK(WithFullStop("Done.") == "Done.");
    CHECK(WithFullStop("Ratio 1:") == "Ratio 1:.");    // ':' sorts after '.', so it gets one
    CHECK(WithFullStop("Ends with -") == "Ends with -"); // '-' sorts before '.'
    CHECK(WithFullStop("") == "");
    CHECK(WithFullStop("系统错误") == "系统错误.");
    CHECK(WithFullStop("安装包已损坏。") == "安装包已损坏。"); // ended by its own full stop
    CHECK(WithFullStop("请重新下载！") == "请重新下载！");

    ProgramFolder program;
    FormHarness h(program);
    h->Dispatch([] { throw std::runtime_error("boom"); });
    REQUIRE(h.errors.size() == 1);
    CHECK(h.errors[0] == "boom.");
}

TEST_CASE("The close button ends the loop; the uninstall button never shows") {
    ProgramFolder program;
    FormHarness h(program);
    SendMessageA(h->btnClose, BM_CLICK, 0, 0);
    CHECK(h.terminateRequests == 1);
    EnableWindow(h->btnUninstall, FALSE);
    EnableWindow(h->btnUninstall, TRUE);
    CHECK_FALSE(Visible(h->btnUninstall));
}

TEST_CASE("Closing the window releases the settings file and the timer") {
    ProgramFolder program;
    FormHarness h(program);
    h->StartExitCountdown();
    CHECK(h->IsTimerExitEnabled());
    SendMessageA(h->Handle(), WM_CLOSE, 0, 0);
    CHECK(h->IsClosed());
    CHECK_FALSE(h->IsTimerExitEnabled());
}

TEST_CASE("Fonts and colours of the layout") {
    ProgramFolder program;
    FormHarness h(program);
    TfrmMain& f = *h;
    struct Row {
        const char* name;
        HWND control;
        const char* face;
        LONG height;
        BYTE charset;
        TextColor color;
    };
    const Row rows[] = {
        {"lblGoMarket", f.lblGoMarket, "宋体", -13, ANSI_CHARSET, kMaroon},
        {"lblDownDriver", f.lblDownDriver, "宋体", -13, ANSI_CHARSET, kMaroon},
        {"lblHelp", f.lblHelp, "宋体", -13, ANSI_CHARSET, kMaroon},
        {"lblCheckUpdate", f.lblCheckUpdate, "宋体", -13, ANSI_CHARSET, kMaroon},
        {"lblHintInfo", f.lblHintInfo, "宋体", -12, ANSI_CHARSET, kWindowTextColor},
        {"lblExit", f.lblExit, "MS Sans Serif", -11, DEFAULT_CHARSET, kGreen},
        {"lblDownHint", f.lblDownHint, "MS Sans Serif", -11, DEFAULT_CHARSET, kMaroon},
        {"Label1", f.Label1, "MS Sans Serif", -11, DEFAULT_CHARSET, kWindowTextColor},
        {"lblAppName", f.lblAppName, "MS Sans Serif", -11, DEFAULT_CHARSET, kWindowTextColor},
        {"btnInstall", f.btnInstall, "MS Sans Serif", -11, DEFAULT_CHARSET, kWindowTextColor},
        {"ckbIsClose", f.ckbIsClose, "MS Sans Serif", -11, DEFAULT_CHARSET, kWindowTextColor},
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        const auto font = reinterpret_cast<HFONT>(SendMessageA(row.control, WM_GETFONT, 0, 0));
        REQUIRE(font != nullptr);
        LOGFONTA logical = {};
        GetObjectA(font, sizeof logical, &logical);
        CHECK(std::string(logical.lfFaceName) == row.face);
        CHECK(logical.lfHeight == row.height);
        CHECK(logical.lfCharSet == row.charset);
        CHECK(f.GetFontColor(row.control) == row.color);
    }
    // The permission box's base font: MS Sans Serif, 8 points, GB2312.
    CHARFORMATA base = {};
    base.cbSize = sizeof base;
    SendMessageA(f.txtPermissionInfo, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&base));
    CHECK(std::string(base.szFaceName) == "MS Sans Serif");
    CHECK(base.yHeight == 160);
    CHECK(base.bCharSet == GB2312_CHARSET);
    CHECK((GetWindowLongA(f.txtPermissionInfo, GWL_STYLE) & ES_READONLY) == 0);
    CHECK((GetWindowLongA(f.lblAppName, GWL_STYLE) & ES_READONLY) != 0);
    CHECK((GetWindowLongA(f.lblAppName, GWL_STYLE) & WS_BORDER) == 0);
    CHECK(f.IsTicked(f.ckbIsClose));
}

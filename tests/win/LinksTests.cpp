#include "app/AppText.h"
#include "device/SystemWin.h"

#include "WinTestSupport.h"

TEST_CASE("Each link opens its page in the browser") {
    ProgramFolder program;
    FormHarness h(program);
    TfrmMain& f = *h;
    const std::string host = kPublisherHost;
    struct Case {
        HWND label;
        std::string address;
    };
    ShowWindow(f.lblDownHint, SW_SHOW);
    const Case cases[] = {
        {f.lblGoMarket, "http://" + host + "/os/android/"},
        {f.lblDownDriver, "http://" + host + "/article/37820.shtml"},
        {f.lblHelp, "http://" + host + "/article/37819.shtml"},
        {f.lblCheckUpdate, "http://" + host + "/rj/37804.shtml"},
        {f.lblDownHint, "http://" + host + "/article/37804.shtml"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.address);
        h.openedAddresses.clear();
        // A click on a static control with notification arrives as STN_CLICKED.
        SendMessageA(GetParent(c.label), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c.label), STN_CLICKED),
                     reinterpret_cast<LPARAM>(c.label));
        REQUIRE(h.openedAddresses.size() == 1);
        CHECK(h.openedAddresses[0] == c.address);
    }
    // The same label twice opens the page twice.
    f.lblHelpClick();
    f.lblHelpClick();
    CHECK(h.openedAddresses.size() == 3);
}

TEST_CASE("Links turn green with the hand cursor under the mouse") {
    ProgramFolder program;
    FormHarness h(program);
    TfrmMain& f = *h;
    const HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
    for (HWND label : {f.lblGoMarket, f.lblDownDriver, f.lblHelp, f.lblCheckUpdate}) {
        CHECK(f.GetFontColor(label) == kMaroon);
        SendMessageA(label, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        CHECK(f.GetFontColor(label) == kGreen);
        CHECK(f.AppCursor() == hand);
        SendMessageA(label, WM_MOUSELEAVE, 0, 0);
        CHECK(f.GetFontColor(label) == kMaroon);
        CHECK(f.AppCursor() == nullptr);
    }
    // Leaving a link during a busy operation gives the default cursor, not the hourglass.
    f.SetAppCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));
    f.lblHelpMouseEnter();
    CHECK(f.AppCursor() == hand);
    f.lblHelpMouseLeave();
    CHECK(f.AppCursor() == nullptr);
}

TEST_CASE("A browser that can't be started is reported") {
    ProgramFolder program;
    FormSeams seams;
    std::vector<std::string> errors;
    seams.exePath = program.ExePath();
    seams.useCommandLine = true;
    seams.commandLine = "\"C:\\T\\app.exe\" \"C:\\none.apk\"";
    seams.endProgramOnClose = false;
    seams.reportError = [&](const std::string& message) { errors.push_back(message); };
    seams.chooseApkFile = [](std::string&) { return false; };
    seams.openBrowser = [](const std::string& address) { throw VarnelError("Cannot open " + address); };
    auto form = TfrmMain::Create(GetModuleHandleA(nullptr), seams);
    errors.clear();
    SendMessageA(form->PanelBtn, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(form->lblHelp), STN_CLICKED),
                 reinterpret_cast<LPARAM>(form->lblHelp));
    REQUIRE(errors.size() == 1);
    CHECK(errors[0] == "Cannot open http://" + std::string(kPublisherHost) + "/article/37819.shtml.");
}

// The window on screens of other densities. The same program runs once per density, each time in a
// Wine prefix whose display is set to it (VARNEL_WINE_DPI, see cmake/wine-prefix.sh).
#include "app/DpiAwareness.h"

#include <richedit.h>

#include <cstdlib>

#include "WinTestSupport.h"

namespace {

unsigned ScreenDpi() {
    const char* value = std::getenv("VARNEL_WINE_DPI");
    return value != nullptr && *value != '\0' ? static_cast<unsigned>(std::atoi(value)) : 96u;
}

// A length of the layout (at 96 DPI) at `dpi`, rounded to the nearest pixel.
int At(int value, unsigned dpi) {
    return value >= 0 ? (value * int(dpi) + 48) / 96 : -At(-value, dpi);
}

struct Place {
    const char* name;
    HWND TfrmMain::*control;
    int left, top, width, height;
    bool label; // sizes itself to its text
};

// Every control's place at 96 DPI, as the layout gives it.
const Place kPlaces[] = {
    {"PanelDefault", &TfrmMain::PanelDefault, 0, 0, 567, 240, false},
    {"GBoxInfo", &TfrmMain::GBoxInfo, 8, 0, 553, 241, false},
    {"Image2", &TfrmMain::Image2, 216, 16, 128, 128, false},
    {"btnSelApkFile", &TfrmMain::btnSelApkFile, 165, 152, 225, 41, false},
    {"PanelInstall", &TfrmMain::PanelInstall, 0, 0, 567, 240, false},
    {"GroupBoxPermission", &TfrmMain::GroupBoxPermission, 280, 8, 281, 233, false},
    {"txtPermissionInfo", &TfrmMain::txtPermissionInfo, 16, 20, 249, 202, false},
    {"GroupBoxBasic", &TfrmMain::GroupBoxBasic, 8, 8, 257, 233, false},
    {"imgShowIcon", &TfrmMain::imgShowIcon, 64, 14, 72, 72, false},
    {"Label1", &TfrmMain::Label1, 19, 94, 60, 13, true},
    {"Label2", &TfrmMain::Label2, 19, 121, 60, 13, true},
    {"Label3", &TfrmMain::Label3, 19, 150, 60, 13, true},
    {"Label4", &TfrmMain::Label4, 19, 179, 60, 13, true},
    {"Label5", &TfrmMain::Label5, 19, 208, 60, 13, true},
    {"lblAppName", &TfrmMain::lblAppName, 88, 93, 161, 21, false},
    {"lblAppVersion", &TfrmMain::lblAppVersion, 88, 120, 161, 21, false},
    {"lblSysRequest", &TfrmMain::lblSysRequest, 88, 149, 161, 21, false},
    {"lblFileSize", &TfrmMain::lblFileSize, 88, 179, 161, 21, false},
    {"lblPackageName", &TfrmMain::lblPackageName, 88, 207, 161, 21, false},
    {"PanelBtn", &TfrmMain::PanelBtn, 0, 280, 567, 51, false},
    {"lblGoMarket", &TfrmMain::lblGoMarket, 2, 12, 104, 13, true},
    {"lblDownDriver", &TfrmMain::lblDownDriver, 102, 12, 104, 13, true},
    {"lblHelp", &TfrmMain::lblHelp, 202, 12, 52, 13, true},
    {"lblCheckUpdate", &TfrmMain::lblCheckUpdate, 251, 12, 52, 13, true},
    {"btnInstall", &TfrmMain::btnInstall, 326, 8, 72, 36, false},
    {"btnUninstall", &TfrmMain::btnUninstall, 239, 32, 60, 36, false},
    {"btnClose", &TfrmMain::btnClose, 488, 8, 72, 36, false},
    {"btnOpenApk", &TfrmMain::btnOpenApk, 407, 8, 72, 36, false},
    {"ckbIsClose", &TfrmMain::ckbIsClose, 16, 31, 177, 17, false},
    {"PanelStatus", &TfrmMain::PanelStatus, 0, 240, 567, 40, false},
    {"GroupBox1", &TfrmMain::GroupBox1, 8, 0, 553, 40, false},
    {"Image1", &TfrmMain::Image1, 3, 7, 32, 32, false},
    {"lblHintInfo", &TfrmMain::lblHintInfo, 41, 16, 192, 12, true},
    {"lblExit", &TfrmMain::lblExit, 318, 16, 195, 13, true},
    {"lblDownHint", &TfrmMain::lblDownHint, 456, 16, 87, 13, true},
};

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LONG FontHeight(HWND control) {
    LOGFONTA logical = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof logical, &logical);
    return logical.lfHeight;
}

// The size of a control's text in the control's own font.
SIZE TextSize(TfrmMain& form, HWND control) {
    const std::string text = form.GetCaption(control);
    WindowDC dc(control);
    SelectedObject font(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc.Get(), &metrics);
    size.cy = metrics.tmHeight;
    return size;
}

// Everything that depends on the density the window is laid out for.
void CheckLayout(TfrmMain& f, unsigned dpi) {
    CAPTURE(dpi);
    REQUIRE(f.Dpi() == dpi);
    RECT client;
    GetClientRect(f.Handle(), &client);
    CHECK(client.right == At(567, dpi));
    CHECK(client.bottom == At(331, dpi));

    for (const Place& place : kPlaces) {
        CAPTURE(place.name);
        const HWND control = f.*place.control;
        const RECT rect = RectInParent(control);
        CHECK(rect.left == At(place.left, dpi));
        CHECK(rect.top == At(place.top, dpi));
        if (place.label) {
            // A label is as large as its text, and its text stays inside the label's parent.
            const SIZE text = TextSize(f, control);
            CHECK(rect.right - rect.left == text.cx);
            CHECK(rect.bottom - rect.top == text.cy);
            RECT parent;
            GetClientRect(GetParent(control), &parent);
            CHECK(rect.right <= parent.right);
        } else {
            // Edges are scaled, so boxes that meet at 96 DPI still meet.
            CHECK(rect.right == At(place.left + place.width, dpi));
            CHECK(rect.bottom == At(place.top + place.height, dpi));
        }
    }
    CHECK(f.IconBox() == std::uint32_t(At(72, dpi)));

    // Fixed-size controls hold their texts, with room for the check box's box and a button's edge.
    struct Fit {
        const char* name;
        HWND control;
        int margin; // at 96 DPI
    };
    const Fit fits[] = {
        {"btnSelApkFile", f.btnSelApkFile, 8},
        {"btnInstall", f.btnInstall, 8},
        {"btnClose", f.btnClose, 8},
        {"btnOpenApk", f.btnOpenApk, 8},
        {"btnUninstall", f.btnUninstall, 8},
        {"ckbIsClose", f.ckbIsClose, 17},
        {"lblAppName", f.lblAppName, 0},
        {"GroupBoxBasic", f.GroupBoxBasic, 16},
        {"GroupBoxPermission", f.GroupBoxPermission, 16},
    };
    for (const Fit& fit : fits) {
        CAPTURE(fit.name);
        RECT box;
        GetClientRect(fit.control, &box);
        const SIZE text = TextSize(f, fit.control);
        CHECK(text.cx + At(fit.margin, dpi) <= box.right);
        CHECK(text.cy <= box.bottom);
    }

    // The layout's pixel heights are 96-DPI pixels; the permission box's sizes stay points.
    struct Height {
        const char* name;
        HWND control;
        int height;
    };
    const Height heights[] = {
        {"lblGoMarket", f.lblGoMarket, -13}, {"lblHintInfo", f.lblHintInfo, -12},
        {"lblExit", f.lblExit, -11},         {"Label1", f.Label1, -11},
        {"btnInstall", f.btnInstall, -11},   {"GroupBoxBasic", f.GroupBoxBasic, -11},
    };
    for (const Height& height : heights) {
        CAPTURE(height.name);
        CHECK(FontHeight(height.control) == At(height.height, dpi));
    }
    CHARFORMATA base = {};
    base.cbSize = sizeof base;
    SendMessageA(f.txtPermissionInfo, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&base));
    CHECK(base.yHeight == 160);
}

std::string IconPackage(const std::string& name) {
    return TestPath(VARNEL_ICON_PACKAGES) + "\\" + name;
}

} // namespace

TEST_CASE("The window at the screen's density") {
    const unsigned dpi = ScreenDpi();
    ProgramFolder program;
    FormHarness h(program);
    // The prefix really shows this density to the program.
    REQUIRE(WindowDpi(h->Handle()) == dpi);
    CheckLayout(*h, dpi);
    RECT outer;
    GetWindowRect(h->Handle(), &outer);
    CHECK(outer.left == At(432, dpi));
    CHECK(outer.top == At(115, dpi));
    // The system and the window agree on the density, so the permission box needs no zoom.
    WPARAM numerator = 1;
    LPARAM denominator = 1;
    SendMessageA(h->txtPermissionInfo, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator),
                 reinterpret_cast<LPARAM>(&denominator));
    CHECK(numerator == 0);

    // Dragging the border snaps back to the size for this density.
    SetWindowPos(h->Handle(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(h->Handle(), &client);
    CHECK(client.right == At(567, dpi));
    CHECK(client.bottom == At(331, dpi));
}

TEST_CASE("The package's icon is fitted to the box at the screen's density") {
    const unsigned dpi = ScreenDpi();
    struct Case {
        const char* name;
        int size; // at 96 DPI
    };
    const Case cases[] = {
        {"icon-large.apk", 72},    // 144 px, fitted to the box
        {"icon-adaptive.apk", 72}, // the sibling that fills the box, then fitted
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        ProgramFolder program(ProgramFolder::kScriptedAapt);
        program.Record(c.name, ReadTextFile(IconPackage(c.name) + ".txt"));
        FormHarness h(program);
        h.chooserAnswers = {IconPackage(c.name)};
        SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
        REQUIRE_FALSE(h->ShowsPlaceholderIcon());
        CHECK(h->ApkIconSize().cx == At(c.size, dpi));
        CHECK(h->ApkIconSize().cy == At(c.size, dpi));
    }
    // The sample's adaptive icon is drawn for the box, whatever its density.
    ProgramFolder program;
    FormHarness h(program, "\"C:\\T\\app.exe\" \"" + TestPath(VARNEL_SAMPLE_APK_PATH) + "\"");
    REQUIRE_FALSE(h->ShowsPlaceholderIcon());
    CHECK(h->ApkIconSize().cx == At(72, dpi));
}

TEST_CASE("A move to a monitor of another density lays the window out again, and back") {
    // Wine has one density for every monitor, so the message a move sends is sent by hand.
    const unsigned home = ScreenDpi();
    const unsigned other = home == 144 ? 96 : 144;
    ProgramFolder program;
    program.UseShippedCfg();
    FormHarness h(program, "\"C:\\T\\app.exe\" \"" + TestPath(VARNEL_SAMPLE_APK_PATH) + "\"");
    TfrmMain& f = *h;
    REQUIRE(h.errors.empty());
    const std::string permissions = f.GetCaption(f.txtPermissionInfo);
    CHARFORMATA before = {};
    before.cbSize = sizeof before;
    SendMessageA(f.txtPermissionInfo, EM_SETSEL, 0, 0);
    SendMessageA(f.txtPermissionInfo, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&before));

    for (const unsigned dpi : {other, home}) {
        CAPTURE(dpi);
        RECT outer;
        GetWindowRect(f.Handle(), &outer);
        RECT suggested = {outer.left + 10, outer.top + 20, outer.left + 400, outer.top + 300};
        SendMessageA(f.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        CheckLayout(f, dpi);
        GetWindowRect(f.Handle(), &outer);
        CHECK(outer.left == suggested.left);
        CHECK(outer.top == suggested.top);
        CHECK(f.ApkIconSize().cx == At(72, dpi));
        // The permission box keeps its text and styles; its points are zoomed to the new density.
        CHECK(f.GetCaption(f.txtPermissionInfo) == permissions);
        CHARFORMATA after = {};
        after.cbSize = sizeof after;
        SendMessageA(f.txtPermissionInfo, EM_SETSEL, 0, 0);
        SendMessageA(f.txtPermissionInfo, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&after));
        CHECK(after.yHeight == before.yHeight);
        CHECK(after.crTextColor == before.crTextColor);
        WPARAM numerator = 0;
        LPARAM denominator = 0;
        SendMessageA(f.txtPermissionInfo, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator),
                     reinterpret_cast<LPARAM>(&denominator));
        if (dpi == home) {
            CHECK(numerator == 0);
        } else {
            CHECK(numerator == WPARAM(dpi));
            CHECK(denominator == LPARAM(home));
        }
    }
    CHECK(h.errors.empty());
}

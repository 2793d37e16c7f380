#include "WinTestSupport.h"

#include <richedit.h>

namespace {

// One line of the permission box: its text and the attributes of its first character.
struct BoxLine {
    std::string text;
    LONG height = 0; // twips
    COLORREF color = 0;
    bool autoColor = false;
    bool bold = false;
    std::string face;
};

std::vector<BoxLine> ReadBox(HWND box) {
    std::vector<BoxLine> lines;
    const auto count = SendMessageA(box, EM_GETLINECOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        BoxLine line;
        char buffer[4096] = {};
        *reinterpret_cast<WORD*>(buffer) = sizeof buffer - 1;
        const auto length = SendMessageA(box, EM_GETLINE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        line.text.assign(buffer, static_cast<std::size_t>(length));
        while (!line.text.empty() && (line.text.back() == '\r' || line.text.back() == '\n'))
            line.text.pop_back();
        const auto start = static_cast<LONG>(SendMessageA(box, EM_LINEINDEX, static_cast<WPARAM>(i), 0));
        CHARRANGE first = {start, start + 1};
        SendMessageA(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
        CHARFORMATA format = {};
        format.cbSize = sizeof format;
        SendMessageA(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        line.height = format.yHeight;
        line.color = format.crTextColor;
        line.autoColor = (format.dwEffects & CFE_AUTOCOLOR) != 0;
        line.bold = (format.dwEffects & CFE_BOLD) != 0;
        line.face = format.szFaceName;
        lines.push_back(line);
    }
    return lines;
}

std::string Texts(const std::vector<BoxLine>& lines) {
    std::string joined;
    for (const auto& line : lines)
        joined += line.text + "|";
    return joined;
}

const char* const kHyphens = "-------------------------------------";

// A program folder whose recorded package asks for the given permissions.
struct PermissionScene {
    ProgramFolder program{ProgramFolder::kScriptedAapt};
    std::string apk;
    explicit PermissionScene(const std::vector<std::string>& permissions, const char* cfg) {
        apk = program.Folder() + "perm.apk";
        WriteTextFile(apk, "PK");
        std::string output = "package: name='p.q' versionCode='1' versionName='1'\n";
        for (const auto& permission : permissions)
            output += "uses-permission: name='" + permission + "'\n";
        program.Record("perm.apk", output);
        if (cfg)
            program.WriteCfg(cfg);
    }
};

void Show(FormHarness& h, const std::string& apk) {
    h.chooserAnswers = {apk};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
}

const char* const kCfg = "[ApplicationConfig]\r\nIsCloseAfterInstall=true\r\n"
                         "[android.permission.INTERNET]\r\nTitle=访问网络\r\nLevel=0\r\nDescription=可以连接互联网。\r\n"
                         "[android.permission.WRITE_SETTINGS]\r\nTitle=修改系统设置\r\nLevel=1\r\nDescription=能改亮度等。\r\n"
                         "[android.permission.CAMERA]\r\nTitle=拍照\r\nLevel= 2 \r\nDescription=可以使用相机。\r\n"
                         "[android.permission.NOTEXT]\r\nTitle=只有标题\r\nLevel=3\r\n"
                         "[android.permission.HIGH]\r\nTitle=高\r\nLevel=high\r\nDescription=x\r\n"
                         "[android.permission.EMPTYTITLE]\r\nTitle=\r\nLevel=2\r\nDescription=不显示\r\n";

} // namespace

TEST_CASE("Each described permission gets a heading coloured by its level, its text and a separator") {
    PermissionScene scene({"android.permission.INTERNET", "android.permission.WRITE_SETTINGS",
                           "android.permission.CAMERA", "android.permission.UNKNOWN", "android.permission.NOTEXT",
                           "android.permission.HIGH", "android.permission.EMPTYTITLE", "ANDROID.PERMISSION.INTERNET"},
                          kCfg);
    FormHarness h(scene.program);
    Show(h, scene.apk);
    REQUIRE(h.errors.empty());
    const auto lines = ReadBox(h->txtPermissionInfo);
    const std::string expected = std::string("访问网络|可以连接互联网。|") + kHyphens + "|||" + "修改系统设置|能改亮度等。|" +
                                 kHyphens + "|||" + "拍照|可以使用相机。|" + kHyphens + "|||" + "只有标题||" + kHyphens +
                                 "|||" + "高|x|" + kHyphens + "|||" + "访问网络|可以连接互联网。|" + kHyphens + "||||";
    CHECK(Texts(lines) == expected);
    REQUIRE(lines.size() == 31);

    struct Heading {
        std::size_t line;
        COLORREF color;
    };
    const Heading headings[] = {{0, RGB(0, 0x80, 0)},  {5, RGB(0x80, 0, 0)},  {10, RGB(0xFF, 0, 0)},
                                {15, RGB(0, 0x80, 0)}, {20, RGB(0, 0x80, 0)}, {25, RGB(0, 0x80, 0)}};
    for (const auto& heading : headings) {
        CAPTURE(heading.line);
        const BoxLine& title = lines[heading.line];
        CHECK(title.height == 200);
        CHECK_FALSE(title.autoColor);
        CHECK(title.color == heading.color);
        CHECK(title.bold);
        CHECK(title.face == "宋体 ");
        const BoxLine& description = lines[heading.line + 1];
        if (!description.text.empty()) {
            CHECK(description.height == 180);
            CHECK(description.autoColor);
            CHECK(description.bold); // the style carries over from the heading
            CHECK(description.face == "宋体 ");
        }
    }
}

TEST_CASE("Without descriptions the box stays empty") {
    SUBCASE("no settings file") {
        PermissionScene scene({"android.permission.INTERNET"}, nullptr);
        FormHarness h(scene.program);
        Show(h, scene.apk);
        CHECK(h.Text(h->txtPermissionInfo).empty());
        CHECK(h->IsTicked(h->ckbIsClose));
        CHECK(h.errors.empty());
    }
    SUBCASE("no permissions") {
        PermissionScene scene({}, kCfg);
        FormHarness h(scene.program);
        SetWindowTextA(h->txtPermissionInfo, "typed by the user");
        Show(h, scene.apk);
        CHECK(h.Text(h->txtPermissionInfo).empty());
    }
}

TEST_CASE("Edits to the settings file count at the next inspection") {
    PermissionScene scene({"android.permission.INTERNET"}, kCfg);
    FormHarness h(scene.program);
    Show(h, scene.apk);
    CHECK(ReadBox(h->txtPermissionInfo)[0].text == "访问网络");
    WritePrivateProfileStringA("android.permission.INTERNET", "Title", "上网", scene.program.CfgPath().c_str());
    Show(h, scene.apk);
    CHECK(ReadBox(h->txtPermissionInfo)[0].text == "上网");
}

TEST_CASE("Long values are cut at 2,047 bytes") {
    const std::string longText(3000, 'w');
    const std::string cfg = "[a.b.LONG]\r\nTitle=T\r\nLevel=0\r\nDescription=" + longText + "\r\n";
    PermissionScene scene({"a.b.LONG"}, cfg.c_str());
    FormHarness h(scene.program);
    Show(h, scene.apk);
    const std::string text = h.Text(h->txtPermissionInfo);
    CHECK(text.find(std::string(2047, 'w')) != std::string::npos);
    CHECK(text.find(std::string(2048, 'w')) == std::string::npos);
}

namespace {
// A box that has reached its limit: after a few lines it takes no more text.
WNDPROC g_richEditProc = nullptr;
int g_insertionsLeft = 0;
LRESULT CALLBACK FullBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == EM_REPLACESEL && g_insertionsLeft-- <= 0)
        return 0;
    return CallWindowProcA(g_richEditProc, window, message, wParam, lParam);
}
} // namespace

TEST_CASE("A full box stops the inspection with the insertion error") {
    PermissionScene scene({"android.permission.INTERNET", "android.permission.CAMERA"}, kCfg);
    FormHarness h(scene.program);
    g_insertionsLeft = 4;
    g_richEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(h->txtPermissionInfo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FullBoxProc)));
    h->SetCaption(h->lblHintInfo, "before");
    Show(h, scene.apk);
    REQUIRE(h.errors.size() == 1);
    CHECK(h.errors[0] == "RichEdit line insertion error.");
    CHECK(h.Text(h->lblHintInfo) == "before");
    const auto lines = ReadBox(h->txtPermissionInfo);
    CHECK(Texts(lines) == std::string("访问网络|可以连接互联网。|") + kHyphens + "|||拍照||"); // what was written stays
    SetWindowLongPtrA(h->txtPermissionInfo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_richEditProc));
}

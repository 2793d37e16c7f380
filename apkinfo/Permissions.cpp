#include "app/MainForm.h"

#include "app/Errors.h"

#include <richedit.h>

namespace {

const char* const kPermissionFace = "宋体 "; // with its trailing blank, as the box has always asked for it
const char* const kSeparator = "-------------------------------------\r\n\r\n";

COLORREF LevelColor(const std::string& level) {
    if (level == "1")
        return RGB(0x80, 0x00, 0x00);
    if (level == "2")
        return RGB(0xFF, 0x00, 0x00);
    return RGB(0x00, 0x80, 0x00);
}

// The characters a rich edit box counts for a text, where a line end is one paragraph mark.
LONG RichEditLength(const std::string& text) {
    if (text.empty())
        return 0;
    const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    LONG pairs = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n')
            ++pairs;
    }
    return wide - pairs;
}

LONG TextLength(HWND box) {
    GETTEXTLENGTHEX query = {GTL_NUMCHARS | GTL_PRECISE, CP_ACP};
    return static_cast<LONG>(SendMessageA(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0));
}

// Selects the line that holds the caret and scrolls it into view. The caret stands at the start of
// the empty last line here, so the selection is empty and the attributes set next apply to what
// is appended next.
void SelectCaretLine(HWND box) {
    CHARRANGE selection = {};
    SendMessageA(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const auto line = SendMessageA(box, EM_EXLINEFROMCHAR, 0, selection.cpMin);
    const auto start = static_cast<LONG>(SendMessageA(box, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
    const auto length = static_cast<LONG>(SendMessageA(box, EM_LINELENGTH, static_cast<WPARAM>(start), 0));
    CHARRANGE lineRange = {start, start + length};
    SendMessageA(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&lineRange));
    SendMessageA(box, EM_SCROLLCARET, 0, 0);
}

void SetSelectionFormat(HWND box, CHARFORMATA format) {
    format.cbSize = sizeof format;
    lstrcpynA(format.szFaceName, kPermissionFace, LF_FACESIZE);
    SendMessageA(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

// Appends `text` and a line end at the start of the box's last, empty line; the caret ends at the
// start of the new empty last line. A box that can't take the text raises.
void AppendLine(HWND box, const std::string& text) {
    const LONG before = TextLength(box);
    // Moving the caret would drop the attributes just set for the insertion point, so it is only
    // moved when it is not at the end already.
    CHARRANGE current = {};
    SendMessageA(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&current));
    if (current.cpMin != before || current.cpMax != before) {
        CHARRANGE end = {before, before};
        SendMessageA(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    }
    const std::string line = text + "\r\n";
    SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    if (TextLength(box) - before != RichEditLength(line))
        throw VarnelError("RichEdit line insertion error");
}

} // namespace

void TfrmMain::ShowPermissions() {
    SetWindowTextA(txtPermissionInfo, "");
    const std::size_t count = PermissionList.size();
    for (std::size_t i = 0; i < count; ++i)
        AppendPermissionInfo(PermissionList[i]);
}

void TfrmMain::AppendPermissionInfo(const std::string& name) {
    if (!IniFile)
        return;
    const std::string title = IniFile->ReadString(name, "Title", "");
    if (title.empty())
        return;
    const std::string level = IniFile->ReadString(name, "Level", "");

    SelectCaretLine(txtPermissionInfo);
    CHARFORMATA heading = {};
    heading.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    heading.dwEffects = CFE_BOLD;
    heading.yHeight = 10 * 20;
    heading.crTextColor = LevelColor(level);
    SetSelectionFormat(txtPermissionInfo, heading);
    AppendLine(txtPermissionInfo, title);

    SelectCaretLine(txtPermissionInfo);
    CHARFORMATA body = {};
    // The description stays bold like its heading. Rich edit versions differ in what an empty line
    // inherits from the line above, so bold is said outright rather than left to inheritance.
    body.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD;
    body.dwEffects = CFE_AUTOCOLOR | CFE_BOLD;
    body.yHeight = 9 * 20;
    SetSelectionFormat(txtPermissionInfo, body);

    AppendLine(txtPermissionInfo, IniFile->ReadString(name, "Description", ""));
    AppendLine(txtPermissionInfo, kSeparator);
}

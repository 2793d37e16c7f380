#include "app/MainForm.h"

#include "apkinfo/PermissionRuns.h"
#include "device/Errors.h"

#include <richedit.h>

// The permission box: the package library says what each permission's block holds; here it is
// written into the rich edit control line by line, each line with its own attributes.

namespace {

COLORREF RunRgb(RunColor color) {
    switch (color) {
    case RunColor::Maroon:
        return RGB(0x80, 0x00, 0x00);
    case RunColor::Red:
        return RGB(0xFF, 0x00, 0x00);
    default:
        return RGB(0x00, 0x80, 0x00);
    }
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

// The attributes of the text appended next. Rich edit versions differ in what an empty line
// inherits from the line above, so every attribute is said outright.
void SetSelectionFormat(HWND box, const StyledRun& run) {
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    format.dwEffects = (run.bold ? CFE_BOLD : 0) | (run.color == RunColor::Automatic ? CFE_AUTOCOLOR : 0);
    format.yHeight = run.pointSize * 20;
    format.crTextColor = run.color == RunColor::Automatic ? 0 : RunRgb(run.color);
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
    WriteSignatureBlock();
    const std::size_t count = PermissionList.size();
    for (std::size_t i = 0; i < count; ++i)
        AppendPermissionInfo(PermissionList[i]);
    // The signature's verdict is read first: the box shows its top, where the verdict stands.
    if (signatureBlockChars_ > 0)
        SendMessageA(txtPermissionInfo, WM_VSCROLL, SB_TOP, 0);
}

void TfrmMain::WriteSignatureBlock() {
    signatureBlockChars_ = 0;
    std::vector<StyledRun> runs;
    if (signatureState_ == SignatureState::Checking) {
        runs.push_back(StyledRun{"正在核对签名...", 10, RunColor::Automatic, true});
    } else if (signatureState_ == SignatureState::Done) {
        // The verdict's first line as a heading, green when phones will take the package.
        std::size_t start = 0;
        bool first = true;
        while (start < signatureSummary_.size()) {
            const std::size_t end = signatureSummary_.find("\r\n", start);
            const std::string line = signatureSummary_.substr(start, end == std::string::npos ? end : end - start);
            if (first)
                runs.push_back(StyledRun{line, 10, signatureRefused_ ? RunColor::Red : RunColor::Green, true});
            else if (!line.empty())
                runs.push_back(StyledRun{line, 9, RunColor::Automatic, true});
            first = false;
            start = end == std::string::npos ? signatureSummary_.size() : end + 2;
        }
        runs.push_back(StyledRun{"（点击这里查看证书详情）", 9, RunColor::Maroon, false});
    } else {
        return;
    }
    runs.push_back(StyledRun{kPermissionSeparator, 9, RunColor::Automatic, true});
    for (const StyledRun& run : runs) {
        SelectCaretLine(txtPermissionInfo);
        SetSelectionFormat(txtPermissionInfo, run);
        AppendLine(txtPermissionInfo, run.text);
    }
    signatureBlockChars_ = TextLength(txtPermissionInfo);
}

void TfrmMain::AppendPermissionInfo(const std::string& name) {
    if (!IniFile)
        return;
    for (const StyledRun& run : PermissionRuns({name}, *IniFile)) {
        SelectCaretLine(txtPermissionInfo);
        SetSelectionFormat(txtPermissionInfo, run);
        AppendLine(txtPermissionInfo, run.text);
    }
}

void TfrmMain::PreparePermissionBox(HWND box) {
    // Sizes are points, which the control turns into pixels itself.
    CHARFORMATA base = {};
    base.cbSize = sizeof base;
    base.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_COLOR;
    base.dwEffects = CFE_AUTOCOLOR;
    base.yHeight = 8 * 20;
    base.bCharSet = GB2312_CHARSET;
    lstrcpynA(base.szFaceName, "MS Sans Serif", LF_FACESIZE);
    SendMessageA(box, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&base));
    SendMessageA(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&base));
    SendMessageA(box, EM_EXLIMITTEXT, 0, 4 * 1024 * 1024);
}

void TfrmMain::WritePermissionRuns(HWND box, const StringList& names) {
    if (!IniFile)
        return;
    for (const StyledRun& run : PermissionRuns(names, *IniFile)) {
        SelectCaretLine(box);
        SetSelectionFormat(box, run);
        AppendLine(box, run.text);
    }
}

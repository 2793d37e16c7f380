// Presses Varnel's install button from outside, as a user's click would, so that ./run.sh can
// show the window after an install. The install button is the window's default push button.
//   pressinstall.exe            presses it and leaves
//   pressinstall.exe yes|no     presses it, answers every question the install asks so, and once
//                               the install has ended clicks the note, which opens the table of phones;
//                               then makes "pressinstall.done" beside itself, for run.sh to wait for
#include <windows.h>

#include <string>

namespace {

struct Found {
    HWND button = nullptr;
    HWND note = nullptr;
};

BOOL CALLBACK FindControls(HWND child, LPARAM found) {
    auto* controls = reinterpret_cast<Found*>(found);
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(name, "Button") == 0 && (style & 0x0F) == BS_DEFPUSHBUTTON)
        controls->button = child;
    // The note is the one label that ends a long text in an ellipsis.
    if (lstrcmpiA(name, "Static") == 0 && (style & SS_ENDELLIPSIS) == SS_ENDELLIPSIS)
        controls->note = child;
    return TRUE;
}

// A question box of the form's own process, if one is up.
HWND QuestionBox(DWORD process) {
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        if (owner == process && IsWindowVisible(box) && GetDlgItem(box, IDYES) != nullptr)
            return box;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    const std::string answer = argc > 1 ? argv[1] : "";
    for (int attempt = 0; attempt < 50; ++attempt) {
        const HWND form = FindWindowA("TfrmMain", nullptr);
        Found controls;
        if (form != nullptr)
            EnumChildWindows(form, FindControls, reinterpret_cast<LPARAM>(&controls));
        if (controls.button == nullptr) {
            Sleep(200);
            continue;
        }
        // Posted, not sent: the install runs inside the click, and this program doesn't wait for it.
        PostMessageA(controls.button, BM_CLICK, 0, 0);
        if (answer.empty())
            return 0;
        DWORD process = 0;
        GetWindowThreadProcessId(form, &process);
        const int button = answer == "yes" ? IDYES : IDNO;
        // The install is over once the button, off while the phones work, is back and no question is up.
        bool busySeen = false;
        for (int wait = 0; wait < 600; ++wait) {
            Sleep(200);
            if (const HWND box = QuestionBox(process)) {
                Sleep(500); // long enough to be seen
                PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
                continue;
            }
            const bool enabled = IsWindowEnabled(controls.button) != FALSE;
            if (busySeen && enabled)
                break;
            busySeen = busySeen || !enabled;
        }
        if (controls.note != nullptr) {
            PostMessageA(controls.note, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            PostMessageA(controls.note, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        }
        char self[MAX_PATH] = {};
        std::string done(self, GetModuleFileNameA(nullptr, self, sizeof self));
        done = done.substr(0, done.find_last_of('\\') + 1) + "pressinstall.done";
        const HANDLE mark = CreateFileA(done.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (mark != INVALID_HANDLE_VALUE)
            CloseHandle(mark);
        return 0;
    }
    return 1;
}

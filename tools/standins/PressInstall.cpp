// Presses Varnel's install button from outside, as a user's click would, so that ./run.sh can
// show the window after an install. The install button is the window's default push button.
//   pressinstall.exe
#include <windows.h>

namespace {

BOOL CALLBACK FindDefaultButton(HWND child, LPARAM found) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(name, "Button") == 0 && (style & 0x0F) == BS_DEFPUSHBUTTON) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int main() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const HWND form = FindWindowA("TfrmMain", nullptr);
        HWND button = nullptr;
        if (form != nullptr)
            EnumChildWindows(form, FindDefaultButton, reinterpret_cast<LPARAM>(&button));
        if (button != nullptr) {
            // Posted, not sent: the install runs inside the click, and this program doesn't wait for it.
            PostMessageA(button, BM_CLICK, 0, 0);
            return 0;
        }
        Sleep(200);
    }
    return 1;
}

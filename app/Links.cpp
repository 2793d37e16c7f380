#include "app/MainForm.h"

#include "app/AppText.h"
#include "device/SystemWin.h"

#include <shellapi.h>

// The five link labels: green with a hand cursor under the mouse, and a click opens their page.

namespace {

// The user's default browser, through the shell's open verb.
void OpenInDefaultBrowser(HWND owner, const std::string& address) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        throw VarnelError("Cannot open " + address + ". " + SystemErrorText(GetLastError()));
}

} // namespace

void TfrmMain::LinkMouseEnter(HWND label) {
    SetFontColor(label, kGreen);
    SetAppCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))); // IDC_HAND
}

void TfrmMain::LinkMouseLeave(HWND label) {
    SetFontColor(label, kMaroon);
    SetAppCursor(nullptr);
}

void TfrmMain::LinkClick(HWND label) {
    std::string address;
    if (label == lblGoMarket)
        address = GoMarketAddress();
    else if (label == lblDownDriver)
        address = DownDriverAddress();
    else if (label == lblHelp)
        address = HelpAddress();
    else if (label == lblCheckUpdate)
        address = CheckUpdateAddress();
    else if (label == lblDownHint)
        address = DownHintAddress();
    else
        return;
    const std::string target = BrowserAddress(address);
    if (seams_.openBrowser)
        seams_.openBrowser(target);
    else
        OpenInDefaultBrowser(handle_, target);
}

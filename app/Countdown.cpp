#include "app/MainForm.h"

// The close-after-install setting and the countdown that ends the program after a success.

void TfrmMain::ckbIsCloseClick() {
    // Written the moment it changes; nothing is saved at exit.
    if (IniFile)
        IniFile->WriteString("ApplicationConfig", "IsCloseAfterInstall", IsTicked(ckbIsClose) ? "true" : "false");
}

void TfrmMain::StartExitCountdown() {
    if (!IsTicked(ckbIsClose))
        return;
    // The notice keeps the text it last showed until the first tick rewrites it.
    ShowWindow(lblExit, SW_SHOW);
    SetTimerExitEnabled(true); // a running period goes on; the count starts again below
    ExitCountdown = 5;
}

void TfrmMain::TimerExitTimer() {
    if (ExitCountdown <= 0)
        TerminateApplication(); // the loop ends once this tick has been handled
    ShowWindow(lblDownHint, SW_HIDE);
    SetCaption(lblExit, "安装成功！将在" + std::to_string(ExitCountdown) + "秒后退出!(点击取消)");
    --ExitCountdown;
}

void TfrmMain::lblExitClick() {
    ShowWindow(lblExit, SW_HIDE);
    SetTimerExitEnabled(false);
    ExitCountdown = 5;
}

#include "WinTestSupport.h"

namespace {
std::string Notice(int n) { return "安装成功！将在" + std::to_string(n) + "秒后退出!(点击取消)"; }
const char* const kLayoutNotice = "安装成功！Varnel将在5秒后退出!(点击取消)";
} // namespace

TEST_CASE("The exit countdown: five ticks, then the end") {
    ProgramFolder program;
    FormHarness h(program);
    TfrmMain& f = *h;
    ShowWindow(f.lblDownHint, SW_SHOW);
    f.StartExitCountdown();
    CHECK(Visible(f.lblExit));
    CHECK(f.IsTimerExitEnabled());
    CHECK(f.GetExitCountdown() == 5);
    CHECK(h.Text(f.lblExit) == kLayoutNotice); // unchanged until the first tick
    for (int shown = 5; shown >= 1; --shown) {
        CAPTURE(shown);
        f.TimerExitTimer();
        CHECK(h.Text(f.lblExit) == Notice(shown));
        CHECK(h.terminateRequests == 0);
        CHECK_FALSE(Visible(f.lblDownHint));
    }
    f.TimerExitTimer();
    CHECK(h.Text(f.lblExit) == Notice(0));
    CHECK(h.terminateRequests == 1);
}

TEST_CASE("Cancel, restart, and a second success") {
    ProgramFolder program;
    FormHarness h(program);
    TfrmMain& f = *h;
    f.StartExitCountdown();
    f.TimerExitTimer();
    f.TimerExitTimer();
    f.TimerExitTimer(); // shows 3
    f.lblExitClick();
    CHECK_FALSE(Visible(f.lblExit));
    CHECK_FALSE(f.IsTimerExitEnabled());
    CHECK(f.GetExitCountdown() == 5);
    CHECK(f.IsTicked(f.ckbIsClose));

    // The next countdown shows the last text until its first tick.
    f.StartExitCountdown();
    CHECK(h.Text(f.lblExit) == Notice(3));
    f.TimerExitTimer();
    CHECK(h.Text(f.lblExit) == Notice(5));
    f.TimerExitTimer();
    // A second success puts the count back to 5.
    f.StartExitCountdown();
    CHECK(f.GetExitCountdown() == 5);

    // Unticking the box writes the setting but doesn't stop the countdown.
    f.SetTicked(f.ckbIsClose, false);
    CHECK(f.IsTimerExitEnabled());
    f.lblExitClick();
    // With the box unticked nothing starts.
    f.StartExitCountdown();
    CHECK_FALSE(Visible(f.lblExit));
    CHECK_FALSE(f.IsTimerExitEnabled());
}

TEST_CASE("A clicked notice cancels; a real countdown ends the program after its ticks") {
    ProgramFolder program;
    FormHarness h(program);
    TfrmMain& f = *h;
    f.StartExitCountdown();
    SendMessageA(GetParent(f.lblExit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(f.lblExit), STN_CLICKED),
                 reinterpret_cast<LPARAM>(f.lblExit));
    CHECK_FALSE(Visible(f.lblExit));
    CHECK_FALSE(f.IsTimerExitEnabled());

    f.StartExitCountdown();
    const DWORD start = GetTickCount();
    while (h.terminateRequests == 0 && GetTickCount() - start < 15000) {
        ProcessPendingMessages();
        Sleep(20);
    }
    const DWORD elapsed = GetTickCount() - start;
    CHECK(h.terminateRequests == 1);
    CHECK(h.Text(f.lblExit) == Notice(0));
    CHECK(elapsed >= 5500);
}

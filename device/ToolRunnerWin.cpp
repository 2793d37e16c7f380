#include "device/ToolRunnerWin.h"

#include "device/ConsoleText.h"
#include "device/Win32Handles.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kWaitStepMs = 100;

// Takes everything the pipe holds right now, without ever blocking: a program the tool starts in
// the background (adb's server does) may keep the write end open long after the tool has ended.
bool DrainPipe(HANDLE readEnd, std::string& raw) {
    bool gotData = false;
    char buffer[65536];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            return gotData;
        DWORD read = 0;
        const DWORD wanted = std::min<DWORD>(available, sizeof buffer);
        if (!ReadFile(readEnd, buffer, wanted, &read, nullptr) || read == 0)
            return gotData;
        raw.append(buffer, read);
        gotData = true;
    }
}

} // namespace

bool RunConsoleCommand(const std::string& commandLine, std::string& output, const std::function<void()>& pump) {
    SECURITY_ATTRIBUTES inheritable = {};
    inheritable.nLength = sizeof inheritable;
    inheritable.bInheritHandle = TRUE;

    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inheritable, 0))
        return false;
    readEnd.Reset(readRaw);
    writeEnd.Reset(writeRaw);
    // Only the write end goes to the child; our read end stays out of it and of whatever it starts.
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    // The child reads from the null device: handing it the pipe's own read end as input would let
    // it swallow its own output.
    UniqueFile input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input.Valid() ? input.Get() : nullptr;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = nullptr;

    std::vector<char> mutableCommand(commandLine.begin(), commandLine.end());
    mutableCommand.push_back('\0');
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, mutableCommand.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info))
        return false;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    // Our copy of the write end goes now, so that only the child's copies keep the pipe open.
    writeEnd.Reset();
    input.Reset();

    std::string raw;
    for (;;) {
        // Drained while the child runs, so a child with more output than the pipe holds never waits
        // for us; when output is flowing we come straight back for more.
        const bool gotData = DrainPipe(readEnd.Get(), raw);
        const DWORD waited = WaitForSingleObject(process.Get(), gotData ? 0 : kWaitStepMs);
        if (pump)
            pump();
        if (waited != WAIT_TIMEOUT)
            break;
    }
    // Everything the child wrote is in the pipe once it has ended.
    DrainPipe(readEnd.Get(), raw);
    output = ConsoleText(raw);
    return true;
}

#include "device/ToolRunnerWin.h"

#include "device/ConsoleText.h"
#include "device/Win32Handles.h"

#include <algorithm>
#include <memory>

namespace {

constexpr DWORD kWaitStepMs = 100;
// What one stream of one tool may fill in memory; a tool that writes more is still drained (so
// it never blocks on a full pipe) but the rest is dropped.
constexpr std::size_t kStreamLimit = std::size_t(64) << 20;
// How long ended tools get to go after the wait was given up.
constexpr DWORD kEndWaitMs = 1000;

// Takes everything the pipe holds right now, without ever blocking: a program the tool starts in
// the background (adb's server does) may keep the write end open long after the tool has ended.
bool DrainPipe(HANDLE readEnd, std::string& raw) {
    if (readEnd == nullptr)
        return false;
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
        if (raw.size() < kStreamLimit)
            raw.append(buffer, std::min<std::size_t>(read, kStreamLimit - raw.size()));
        gotData = true;
    }
}

// A pipe whose write end the child inherits and whose read end stays ours alone.
bool MakePipe(UniqueHandle& readEnd, UniqueHandle& writeEnd) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inheritable, 0))
        return false;
    readEnd.Reset(readRaw);
    writeEnd.Reset(writeRaw);
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    return true;
}

struct Child {
    ToolRun* run = nullptr;
    UniqueHandle process;
    UniqueHandle outRead;
    UniqueHandle errRead;
    std::string rawOut;
    std::string rawErr;
    bool done = false;
};

// Starts one tool. Each child is started while only its own pipe ends are inheritable (ours are
// closed straight after), so no child holds another's pipe open.
std::unique_ptr<Child> Start(ToolRun& run) {
    auto child = std::make_unique<Child>();
    child->run = &run;
    UniqueHandle outWrite;
    UniqueHandle errWrite;
    if (!MakePipe(child->outRead, outWrite) || !MakePipe(child->errRead, errWrite))
        return nullptr;
    // The child reads from the null device: handing it a pipe's read end as input would let it
    // swallow its own output.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueFile input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input.Valid() ? input.Get() : nullptr;
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = errWrite.Get();

    std::vector<char> mutableCommand(run.commandLine.begin(), run.commandLine.end());
    mutableCommand.push_back('\0');
    PROCESS_INFORMATION info = {};
    // Without a console at all, rather than with a hidden one: the tools only use the handles they
    // are given, and a rack of phones starts many of them, each console costing a process of its
    // own where the system makes one per console (Wine's conhost).
    if (!CreateProcessA(nullptr, mutableCommand.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &info))
        return nullptr;
    child->process.Reset(info.hProcess);
    UniqueHandle thread(info.hThread);
    run.started = true;
    return child;
}

void Finish(Child& child) {
    // Everything the child wrote is in the pipes once it has ended.
    DrainPipe(child.outRead.Get(), child.rawOut);
    DrainPipe(child.errRead.Get(), child.rawErr);
    child.done = true;
    child.run->finished = true;
}

} // namespace

void RunConsolePrograms(std::vector<ToolRun>& runs, const std::function<void()>& pump,
                        const std::function<bool()>& shouldStop, const ToolProgress& progress) {
    std::vector<std::unique_ptr<Child>> children;
    for (ToolRun& run : runs) {
        run.started = false;
        run.finished = false;
        if (auto child = Start(run))
            children.push_back(std::move(child));
    }
    const ULONGLONG startTime = GetTickCount64();
    std::size_t finished = 0;
    while (finished < children.size()) {
        // Drained while the children run, so a child with more output than a pipe holds never
        // waits for us; when output is flowing we come straight back for more.
        bool gotData = false;
        std::vector<HANDLE> running;
        for (auto& child : children) {
            if (child->done)
                continue;
            gotData |= DrainPipe(child->outRead.Get(), child->rawOut);
            gotData |= DrainPipe(child->errRead.Get(), child->rawErr);
            if (WaitForSingleObject(child->process.Get(), 0) == WAIT_OBJECT_0) {
                Finish(*child);
                ++finished;
            } else {
                running.push_back(child->process.Get());
            }
        }
        if (!running.empty() && !gotData) {
            // Any one ending wakes us; more than the system can wait on at once are polled.
            const DWORD count = static_cast<DWORD>(std::min<std::size_t>(running.size(), MAXIMUM_WAIT_OBJECTS));
            WaitForMultipleObjects(count, running.data(), FALSE, kWaitStepMs);
        }
        if (pump)
            pump();
        if (progress)
            progress(static_cast<unsigned>(GetTickCount64() - startTime), finished);
        if (finished < children.size() && shouldStop && shouldStop()) {
            for (auto& child : children) {
                if (!child->done)
                    TerminateProcess(child->process.Get(), 1);
            }
            // What an ended tool wrote before the end is still in its pipes: keep it, it may say
            // what the tool was doing.
            for (auto& child : children) {
                if (child->done)
                    continue;
                WaitForSingleObject(child->process.Get(), kEndWaitMs);
                DrainPipe(child->outRead.Get(), child->rawOut);
                DrainPipe(child->errRead.Get(), child->rawErr);
            }
            break;
        }
    }
    for (auto& child : children) {
        child->run->output = ConsoleText(child->rawOut);
        child->run->errors = ConsoleText(child->rawErr);
    }
}

void RunConsoleLanes(std::size_t lanes, const IToolRunner::LaneNext& next, const IToolRunner::LaneEnded& ended,
                     const std::function<void()>& pump, const std::function<bool()>& shouldStop,
                     const ToolProgress& progress) {
    // One child a lane at most; a lane whose next tool can't be started hears so at once and goes on.
    struct LaneRun {
        ToolRun run;
        std::unique_ptr<Child> child;
    };
    std::vector<LaneRun> current(lanes);
    std::size_t finished = 0;
    const auto startNext = [&](std::size_t lane) {
        for (;;) {
            LaneRun& slot = current[lane];
            slot.child.reset();
            slot.run = ToolRun();
            if (!next(lane, slot.run))
                return;
            slot.child = Start(slot.run);
            if (slot.child)
                return;
            ++finished;
            ended(lane, slot.run);
        }
    };
    for (std::size_t lane = 0; lane < lanes; ++lane)
        startNext(lane);
    const ULONGLONG startTime = GetTickCount64();
    for (;;) {
        bool gotData = false;
        std::vector<HANDLE> running;
        for (std::size_t lane = 0; lane < lanes; ++lane) {
            Child* child = current[lane].child.get();
            if (child == nullptr)
                continue;
            gotData |= DrainPipe(child->outRead.Get(), child->rawOut);
            gotData |= DrainPipe(child->errRead.Get(), child->rawErr);
            if (WaitForSingleObject(child->process.Get(), 0) != WAIT_OBJECT_0) {
                running.push_back(child->process.Get());
                continue;
            }
            Finish(*child);
            current[lane].run.output = ConsoleText(child->rawOut);
            current[lane].run.errors = ConsoleText(child->rawErr);
            ++finished;
            ended(lane, current[lane].run);
            startNext(lane);
            if (current[lane].child)
                running.push_back(current[lane].child->process.Get());
        }
        if (running.empty())
            return;
        if (!gotData) {
            const DWORD count = static_cast<DWORD>(std::min<std::size_t>(running.size(), MAXIMUM_WAIT_OBJECTS));
            WaitForMultipleObjects(count, running.data(), FALSE, kWaitStepMs);
        }
        if (pump)
            pump();
        if (progress)
            progress(static_cast<unsigned>(GetTickCount64() - startTime), finished);
        if (shouldStop && shouldStop()) {
            // The window has gone: nothing is told any more, the tools still running end.
            for (LaneRun& slot : current) {
                if (slot.child && !slot.child->done)
                    TerminateProcess(slot.child->process.Get(), 1);
            }
            return;
        }
    }
}

bool RunConsoleCommand(const std::string& commandLine, std::string& output, const std::function<void()>& pump) {
    std::vector<ToolRun> runs(1);
    runs[0].commandLine = commandLine;
    RunConsolePrograms(runs, pump, nullptr, nullptr);
    if (!runs[0].started)
        return false;
    output = runs[0].output;
    return true;
}

#pragma once
#include "device/ToolRunner.h"

#include <functional>
#include <string>
#include <vector>

// Runs console programs hidden, without console windows, capturing their standard and error
// output as ConsoleText gives it; the exit code is never looked at. While they run, `pump` is
// called at least every 100 ms so the window stays live; when `shouldStop` then says so (the
// window has closed), the wait is given up and the programs still running are ended, so a tool
// that never ends can't keep the program alive.
void RunConsolePrograms(std::vector<ToolRun>& runs, const std::function<void()>& pump,
                        const std::function<bool()>& shouldStop, const ToolProgress& progress);

// Lanes of programs, each one at a time and all lanes at once (IToolRunner::RunLanes): a lane's
// next program starts the moment its last one ends.
void RunConsoleLanes(std::size_t lanes, const IToolRunner::LaneNext& next, const IToolRunner::LaneEnded& ended,
                     const std::function<void()>& pump, const std::function<bool()>& shouldStop,
                     const ToolProgress& progress);

// One program, its standard output only. Returns false, leaving `output` untouched, when the pipe
// or the process can't be made.
bool RunConsoleCommand(const std::string& commandLine, std::string& output, const std::function<void()>& pump);

// The program's tool runner: the window's message dispatch as the pump, its closing as the stop.
class WindowsToolRunner : public IToolRunner {
public:
    WindowsToolRunner(std::function<void()> pump, std::function<bool()> shouldStop)
        : pump_(std::move(pump)), shouldStop_(std::move(shouldStop)) {}
    void RunAll(std::vector<ToolRun>& runs, const ToolProgress& progress) override {
        RunConsolePrograms(runs, pump_, shouldStop_, progress);
    }
    void RunLanes(std::size_t lanes, const LaneNext& next, const LaneEnded& ended,
                  const ToolProgress& progress) override {
        RunConsoleLanes(lanes, next, ended, pump_, shouldStop_, progress);
    }

private:
    std::function<void()> pump_;
    std::function<bool()> shouldStop_;
};

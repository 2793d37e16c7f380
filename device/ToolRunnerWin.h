#pragma once
#include "device/ToolRunner.h"

#include <functional>
#include <string>

// Runs a console program hidden, without a console window, and captures its standard output as
// ConsoleText gives it. Error output is not captured and the exit code is never looked at. While
// the program runs, `pump` is called at least every 100 ms so the window stays live.
// Returns false, leaving `output` untouched, when the pipe or the process can't be made.
bool RunConsoleCommand(const std::string& commandLine, std::string& output, const std::function<void()>& pump);

// The program's tool runner: RunConsoleCommand with the window's message dispatch as the pump.
class WindowsToolRunner : public IToolRunner {
public:
    explicit WindowsToolRunner(std::function<void()> pump) : pump_(std::move(pump)) {}
    bool Run(const std::string& commandLine, std::string& output) override {
        return RunConsoleCommand(commandLine, output, pump_);
    }

private:
    std::function<void()> pump_;
};

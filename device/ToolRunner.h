#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// One run of a console tool: what to start, and what came back.
struct ToolRun {
    std::string commandLine;
    bool started = false;  // false: the tool could not be started, and nothing below is set
    bool finished = false; // false: the wait was given up (the window closed) and the tool ended
    std::string output;    // standard output, as ConsoleText gives it
    std::string errors;    // error output, likewise
};

// Called while tools run, about every 100 ms: the milliseconds since they started and how many
// have finished.
using ToolProgress = std::function<void(unsigned elapsedMs, std::size_t finished)>;

// Runs the console tools (adb, aapt). The program runs them hidden while the window stays live;
// tests play them from scripts.
class IToolRunner {
public:
    virtual ~IToolRunner() = default;

    // Starts every run at once and waits for all of them: adb serves phones independently, so
    // several phones take as long as the slowest, not as long as all of them together.
    virtual void RunAll(std::vector<ToolRun>& runs, const ToolProgress& progress) = 0;

    // One run, its standard output only. False, leaving `output` untouched, when the tool can't
    // be started.
    bool Run(const std::string& commandLine, std::string& output) {
        std::vector<ToolRun> runs(1);
        runs[0].commandLine = commandLine;
        RunAll(runs, ToolProgress());
        if (!runs[0].started)
            return false;
        output = runs[0].output;
        return true;
    }
};

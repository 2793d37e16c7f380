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

    // Lanes of tools, each lane one tool at a time and every lane at once: a rack of phones each
    // working through a list of packages. `next` fills a lane's next run and returns false when
    // the lane has nothing more; it is asked again only after `ended` has heard its last run.
    // This default goes in rounds, one run of each lane together; the program's runner starts a
    // lane's next run the moment its last one ends, so a quick phone never waits for a slow one.
    using LaneNext = std::function<bool(std::size_t lane, ToolRun& run)>;
    using LaneEnded = std::function<void(std::size_t lane, const ToolRun& run)>;
    virtual void RunLanes(std::size_t lanes, const LaneNext& next, const LaneEnded& ended,
                          const ToolProgress& progress) {
        std::vector<bool> done(lanes, false);
        for (;;) {
            std::vector<ToolRun> runs;
            std::vector<std::size_t> owners;
            for (std::size_t lane = 0; lane < lanes; ++lane) {
                ToolRun run;
                if (done[lane])
                    continue;
                if (!next(lane, run)) {
                    done[lane] = true;
                    continue;
                }
                runs.push_back(std::move(run));
                owners.push_back(lane);
            }
            if (runs.empty())
                return;
            RunAll(runs, progress);
            for (std::size_t i = 0; i < runs.size(); ++i)
                ended(owners[i], runs[i]);
        }
    }
};

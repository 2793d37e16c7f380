#pragma once
#include <string>

// Runs the console tools (adb, aapt). The program runs them hidden while the window stays live;
// tests play them from scripts.
class IToolRunner {
public:
    virtual ~IToolRunner() = default;
    // Runs `commandLine` and waits for it to end. `output` gets its standard output as the bytes
    // it wrote. Returns false, leaving `output` untouched, when the tool can't be started.
    virtual bool Run(const std::string& commandLine, std::string& output) = 0;
};

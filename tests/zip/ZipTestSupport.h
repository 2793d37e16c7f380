#pragma once
#include <cstdint>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "zip/ZipPlatform.h"

// Where the build put the test archives, as the test program sees it (Z: under Wine).
inline std::string ZipData(const std::string& name) {
    return TestPath(std::string(VARNEL_ZIP_TEST_DATA) + "/" + name);
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Test doubles for the platform seams.
struct TRecordingPump : IZipMessagePump {
    std::function<void(int)> onDispatch; // called with the dispatch count
    int dispatches = 0;
    int sleeps = 0;
    void ProcessPendingMessages() override {
        ++dispatches;
        if (onDispatch)
            onDispatch(dispatches);
    }
    void Sleep(unsigned) override { ++sleeps; }
};

struct TRecordingMessageBox : IZipMessageBox {
    std::vector<std::string> shown; // "text|caption"
    void ShowMessage(const std::string& text, const std::string& caption) override {
        shown.push_back(text + "|" + caption);
    }
};

struct TFixedErrors : IZipSystemErrors {
    std::string ErrorText(const TOsError&) override { return "The system cannot find the file specified"; }
};

struct TCountingCodePage : TOem437CodePage {
    int conversions = 0;
    void OemToAnsi(std::string& text) override {
        ++conversions;
        TOem437CodePage::OemToAnsi(text);
    }
};

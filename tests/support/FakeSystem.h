#pragma once
// Stand-ins for the system services and the console tools, for tests of the portable logic:
// files live in a table, the tools answer from a script, and the window's side is recorded.
#include "device/Errors.h"
#include "device/PhoneOperations.h"
#include "device/System.h"
#include "device/ToolRunner.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

// UTF-16 into GBK as code page 936 gives it: characters GBK lacks become '?'.
inline std::string Utf16ToGbk(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::u16string one(1, text[i]);
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size())
            one += text[++i];
#ifdef _WIN32
        char buffer[8] = {};
        BOOL defaulted = FALSE;
        const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(one.data()),
                                          static_cast<int>(one.size()), buffer, sizeof buffer, nullptr, &defaulted);
        out += n > 0 && !defaulted ? std::string(buffer, static_cast<std::size_t>(n)) : std::string("?");
#else
        iconv_t cd = iconv_open("GBK", "UTF-16LE");
        std::string in;
        for (char16_t c : one) {
            in += static_cast<char>(c & 0xFF);
            in += static_cast<char>(c >> 8);
        }
        char buffer[8] = {};
        char* source = &in[0];
        std::size_t sourceLeft = in.size();
        char* target = buffer;
        std::size_t targetLeft = sizeof buffer;
        const bool ok = iconv(cd, &source, &sourceLeft, &target, &targetLeft) != static_cast<std::size_t>(-1);
        iconv_close(cd);
        out += ok ? std::string(buffer, sizeof buffer - targetLeft) : std::string("?");
#endif
    }
    return out;
}

// A system whose files are a table of names and sizes, with a Chinese code page (GBK).
class FakeSystem : public ISystem {
public:
    std::map<std::string, std::uint64_t> files;
    std::set<std::string> folders;
    std::uint64_t freeSpace = std::uint64_t(1) << 40;
    std::vector<std::string> log; // "copy <from> <to>", "remove <path>", "mkdir <path>", "rmdir <path>"
    std::string tempFolder = "C:\\Temp\\";
    bool guids = true;
    bool doubleByte = true;
    int guidCount = 0;

    bool CopyNewFile(const std::string& from, const std::string& to) override {
        log.push_back("copy " + from + " " + to);
        if (!files.count(from) || files.count(to))
            return false;
        files[to] = files[from];
        return true;
    }
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    bool RemoveFile(const std::string& path) override {
        log.push_back("remove " + path);
        return files.erase(path) != 0;
    }
    std::uint64_t FileSize(const std::string& path) override {
        const auto found = files.find(path);
        if (found == files.end())
            throw VarnelError("Cannot open file \"" + path + "\". The file is missing");
        return found->second;
    }
    bool MakeFolder(const std::string& path) override {
        log.push_back("mkdir " + path);
        return folders.insert(path).second;
    }
    bool RemoveFolder(const std::string& path) override {
        log.push_back("rmdir " + path);
        return folders.erase(path) != 0;
    }
    bool FreeDiskSpace(const std::string&, std::uint64_t& bytes) override {
        bytes = freeSpace;
        return true;
    }
    bool TempFolder(std::string& folder) override {
        folder = tempFolder;
        return !tempFolder.empty();
    }
    bool NewGuid(std::string& text) override {
        if (!guids)
            return false;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "{0000000%d-0000-4000-8000-00000000000%d}", guidCount % 10,
                      guidCount % 10);
        ++guidCount;
        text = buffer;
        return true;
    }
    bool IsDoubleByteCodePage() override { return doubleByte; }
    bool IsLeadByte(unsigned char byte) override { return doubleByte && byte >= 0x81 && byte <= 0xFE; }
    std::string ToAnsi(const std::u16string& text) override { return Utf16ToGbk(text); }
    std::string ThousandSeparator() override { return ","; }
    std::string DecimalSeparator() override { return "."; }
};

// Console tools that answer from a script: each command line gets the answer of the first rule
// whose text it contains. A command that no rule names can't be started. Runs take the
// rule's time: RunAll reports progress every 100 ms of it, as the window's runner does.
class ScriptedTools : public IToolRunner {
public:
    struct Rule {
        std::string contains;
        std::string output;
        std::string errors;
        bool starts = true;
        unsigned ms = 0;
    };
    std::vector<Rule> rules;
    std::vector<std::string> calls;
    std::vector<std::size_t> batchSizes; // how many commands each RunAll started at once
    std::function<void(const std::string& commandLine)> whileRunning; // what happens meanwhile

    ScriptedTools& On(const std::string& contains, const std::string& output, bool starts = true) {
        rules.push_back(Rule{contains, output, std::string(), starts, 0});
        return *this;
    }
    ScriptedTools& OnErrors(const std::string& contains, const std::string& output, const std::string& errors,
                            unsigned ms = 0) {
        rules.push_back(Rule{contains, output, errors, true, ms});
        return *this;
    }
    void RunAll(std::vector<ToolRun>& runs, const ToolProgress& progress) override {
        batchSizes.push_back(runs.size());
        unsigned longest = 0;
        std::vector<unsigned> durations;
        for (ToolRun& run : runs) {
            calls.push_back(run.commandLine);
            if (whileRunning)
                whileRunning(run.commandLine);
            unsigned ms = 0;
            run.started = false;
            for (const Rule& rule : rules) {
                if (run.commandLine.find(rule.contains) != std::string::npos) {
                    run.started = rule.starts;
                    run.finished = rule.starts;
                    if (rule.starts) {
                        run.output = rule.output;
                        run.errors = rule.errors;
                        ms = rule.ms;
                    }
                    break;
                }
            }
            durations.push_back(ms);
            longest = std::max(longest, ms);
        }
        if (!progress)
            return;
        // Each run counts as finished once its time has passed, as the window's runner marks them.
        std::vector<bool> ended(runs.size());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            ended[i] = runs[i].finished;
            runs[i].finished = runs[i].finished && durations[i] == 0;
        }
        for (unsigned t = 100; t <= longest; t += 100) {
            std::size_t done = 0;
            for (std::size_t i = 0; i < runs.size(); ++i) {
                runs[i].finished = ended[i] && durations[i] <= t;
                done += durations[i] <= t;
            }
            progress(t, done);
        }
        for (std::size_t i = 0; i < runs.size(); ++i)
            runs[i].finished = ended[i];
    }
};

// The window as the phone operations see it, recording each thing shown.
class RecordingPhoneView : public IPhoneView {
public:
    std::vector<std::string> events;
    std::string details; // of the last reason shown
    bool closed = false;

    static const char* Name(StatusColor color) {
        switch (color) {
        case StatusColor::Red:
            return "red";
        case StatusColor::Green:
            return "green";
        default:
            return "text";
        }
    }
    void ShowStatus(const std::string& text, StatusColor color) override {
        events.push_back(std::string(Name(color)) + ":" + text);
    }
    void ShowDriverHint(bool shown) override { events.push_back(shown ? "hint shown" : "hint hidden"); }
    void ShowReason(const std::string& text, const std::string& moreDetails) override {
        events.push_back("reason:" + text);
        details = moreDetails;
    }
    void SetBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
    void InstallSucceeded() override { events.push_back("countdown"); }
    bool IsClosed() override { return closed; }
    // Questions are answered from `answers` in turn, No once it is used up.
    std::vector<bool> answers;
    std::vector<std::string> questions;
    bool AskDowngrade(const std::string& question) override { return Answer("ask downgrade", question); }
    bool AskReplace(const std::string& question) override { return Answer("ask replace", question); }
    bool AskNotIntact(const std::string& question) override { return Answer("ask not intact", question); }
    InstallResults results; // the last table shown
    void ShowResults(const InstallResults& shown) override { results = shown; }

    bool Answer(const char* kind, const std::string& question) {
        events.push_back(kind);
        questions.push_back(question);
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return yes;
    }

    std::string Joined() const {
        std::string text;
        for (const auto& e : events)
            text += e + "\n";
        return text;
    }
};

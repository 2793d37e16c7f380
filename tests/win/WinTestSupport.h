#pragma once
// Shared pieces of the window tests: scratch folders, a program folder with the tool stand-ins,
// and a window made with seams that record instead of blocking.
#include "app/MainForm.h"

#include <doctest/doctest.h>

#include "TestPaths.h"

#include <memory>
#include <string>
#include <vector>

// A folder of its own under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag = "varnel") {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        static int counter = 0;
        path_ = std::string(temp) + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { RemoveTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..")
                    continue;
                const std::string full = folder + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(full + "\\");
                } else {
                    SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(full.c_str());
                }
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
        RemoveDirectoryA(folder.c_str());
    }

private:
    std::string path_;
};

inline void WriteTextFile(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string ReadTextFile(const std::string& path) {
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A stand-in program folder: "Varnel.exe" (never run), the "adb" tools folder with our aapt.exe
// and the adb stand-in, the sample's recording, and optionally a PermissionInfo.cfg. Tests that
// script the tool's output (Record, VARNEL_FAKE_AAPT_OUTPUT) or read its call log get the
// recording stand-in fake-aapt.exe under the name aapt.exe instead.
class ProgramFolder {
public:
    enum TAapt { kOurAapt, kScriptedAapt };

    explicit ProgramFolder(bool withTools = true, TAapt aapt = kOurAapt) {
        if (!withTools)
            return;
        const std::string tools = TestPath(VARNEL_TOOLS_DIR) + "\\";
        const std::string adb = folder_ / "adb\\";
        CreateDirectoryA(adb.c_str(), nullptr);
        CreateDirectoryA((adb + "recordings").c_str(), nullptr);
        const char* aaptFile = aapt == kScriptedAapt ? "fake-aapt.exe" : "aapt.exe";
        REQUIRE(CopyFileA((tools + aaptFile).c_str(), (adb + "aapt.exe").c_str(), FALSE));
        REQUIRE(CopyFileA((tools + "adb.exe").c_str(), (adb + "adb.exe").c_str(), FALSE));
        CopyFileA((tools + "recordings\\sample.apk.txt").c_str(), (adb + "recordings\\sample.apk.txt").c_str(), FALSE);
    }
    explicit ProgramFolder(TAapt aapt) : ProgramFolder(true, aapt) {}
    const std::string& Folder() const { return folder_.Path(); }
    std::string ExePath() const { return folder_ / "Varnel.exe"; }
    std::string ToolsFolder() const { return folder_ / "adb\\"; }
    std::string CfgPath() const { return folder_ / "PermissionInfo.cfg"; }
    void WriteCfg(const std::string& content) const { WriteTextFile(CfgPath(), content); }
    // The permission texts the program ships with.
    void UseShippedCfg() const { REQUIRE(CopyFileA(SourcePath("data/PermissionInfo.cfg").c_str(), CfgPath().c_str(), FALSE)); }
    void Record(const std::string& apkName, const std::string& output) const {
        WriteTextFile(ToolsFolder() + "recordings\\" + apkName + ".txt", output);
    }

private:
    ScratchFolder folder_{"varnel-prog"};
};

// Sets an environment variable for this test program and the tools it starts, for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableA(name_, nullptr); }

private:
    const char* name_;
};

// A window made as the program makes it, but with errors recorded, no dialog, no browser, and a
// command line of the test's choosing.
struct FormHarness {
    std::vector<std::string> errors;
    std::vector<std::string> chooserAnswers; // each call takes the next; "" means cancel
    std::vector<std::string> openedAddresses;
    std::vector<std::string> shownDetails;
    std::vector<bool> answers; // each question takes the next; No once they are used up
    std::vector<std::string> questions;
    int terminateRequests = 0;
    std::unique_ptr<TfrmMain> form;

    // Packages' signatures are checked only where a test is about them: the others keep their
    // permission boxes and installs as they were.
    enum class Signatures { Unchecked, Checked };

    explicit FormHarness(const ProgramFolder& program, const std::string& commandLine = "\"C:\\T\\app.exe\"",
                         Signatures signatures = Signatures::Unchecked) {
        Make(program.ExePath(), commandLine, signatures);
    }
    FormHarness(const std::string& exePath, const std::string& commandLine) {
        Make(exePath, commandLine, Signatures::Unchecked);
    }

    TfrmMain& operator*() { return *form; }
    TfrmMain* operator->() { return form.get(); }

    std::string Text(HWND control) const { return form->GetCaption(control); }

private:
    void Make(const std::string& exePath, const std::string& commandLine, Signatures signatures) {
        FormSeams seams;
        seams.checkSignatures = signatures == Signatures::Checked;
        seams.exePath = exePath;
        seams.useCommandLine = true;
        seams.commandLine = commandLine;
        seams.endProgramOnClose = false;
        seams.reportError = [this](const std::string& message) { errors.push_back(message); };
        seams.chooseApkFile = [this](std::string& fileName) {
            if (chooserAnswers.empty())
                return false;
            fileName = chooserAnswers.front();
            chooserAnswers.erase(chooserAnswers.begin());
            return !fileName.empty();
        };
        seams.openBrowser = [this](const std::string& address) { openedAddresses.push_back(address); };
        seams.terminateApplication = [this] { ++terminateRequests; };
        seams.showDetails = [this](const std::string& text) { shownDetails.push_back(text); };
        seams.askYesNo = [this](const std::string& question) {
            questions.push_back(question);
            const bool yes = !answers.empty() && answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return yes;
        };
        form = TfrmMain::Create(GetModuleHandleA(nullptr), seams);
    }
};

inline bool Visible(HWND control) { return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0; }

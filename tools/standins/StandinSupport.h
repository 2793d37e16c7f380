#pragma once
// Small helpers shared by the console stand-ins for the SDK tools. They are Windows console
// programs because Wine does not carry a Linux program's output into a Win32 pipe.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

// The folder of this program, with its final backslash.
inline std::string OwnFolder() {
    char path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string full(path, length);
    const auto slash = full.find_last_of('\\');
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

inline std::string EnvironmentValue(const char* name) {
    char value[4096] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

inline bool ReadWholeFile(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    content = buffer.str();
    return true;
}

// Writes bytes to standard output exactly as given (no newline translation).
inline void WriteOut(const std::string& bytes) {
    DWORD written = 0;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1 << 20));
        if (!WriteFile(out, bytes.data() + offset, chunk, &written, nullptr) || written == 0)
            return;
        offset += written;
    }
}

inline void WriteErr(const std::string& bytes) {
    DWORD written = 0;
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err != nullptr && err != INVALID_HANDLE_VALUE)
        WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Line ends become CR LF, as the real tools print on Windows.
inline std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

// Appends one line to a log beside the program. Several copies of a stand-in run at once (one
// per phone), so the lines are written one at a time under a lock.
inline void AppendLine(const char* logName, const std::string& line) {
    HANDLE lock = CreateMutexA(nullptr, FALSE, "Local\\VarnelStandinLog");
    if (lock != nullptr)
        WaitForSingleObject(lock, 5000);
    {
        std::ofstream log(OwnFolder() + logName, std::ios::binary | std::ios::app);
        log << line << "\r\n";
    }
    if (lock != nullptr) {
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
}

// Logs the command line, so tests can see what the tool was asked.
inline void LogCommandLine(const char* logName) { AppendLine(logName, GetCommandLineA()); }

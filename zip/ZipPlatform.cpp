#include "zip/ZipPlatform.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>
#include <thread>

#ifdef _WIN32
#include <io.h>
#endif

void TPortableMessagePump::Sleep(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {

// Code page 437 bytes 0x80..0xFF as code page 1252 bytes.
constexpr uint8_t kOem437ToAnsi1252[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5, 0xC9, 0xE6, 0xC6,
    0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0x5F, 0x83, 0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1,
    0xAA, 0xBA, 0xBF, 0x5F, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F,
    0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F,
    0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F,
    0x5F, 0x5F, 0xDF, 0x5F, 0x5F, 0x5F, 0x5F, 0xB5, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0x5F, 0xB1,
    0x5F, 0x5F, 0x5F, 0x5F, 0xF7, 0x5F, 0xB0, 0x5F, 0xB7, 0x5F, 0x5F, 0xB2, 0x5F, 0xA0,
};

} // namespace

void TOem437CodePage::OemToAnsi(std::string& text) {
    for (char& c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte == 0)
            break;
        if (byte >= 0x80)
            c = static_cast<char>(kOem437ToAnsi1252[byte - 0x80]);
    }
}

int64_t TPortableFileClock::LastWriteTime(std::FILE* file) {
    if (file == nullptr)
        return 0;
#ifdef _WIN32
    struct _stat64 info;
    if (_fstat64(_fileno(file), &info) != 0)
        return 0;
    return static_cast<int64_t>(info.st_mtime);
#else
    struct stat info;
    if (fstat(fileno(file), &info) != 0)
        return 0;
#if defined(__linux__)
    // Nanoseconds too: a file rewritten within the same second must still count as changed.
    return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
#else
    return static_cast<int64_t>(info.st_mtime);
#endif
#endif
}

std::string TPortableSystemErrors::ErrorText(const TOsError& error) {
    std::string text = std::strerror(error.errnoValue);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

TZipPlatform TZipPlatform::Portable() {
    static TPortableMessagePump pump;
    static TOem437CodePage codePage;
    static TPortableFileClock clock;
    static TSilentMessageBox messageBox;
    static TPortableSystemErrors errors;
    TZipPlatform platform;
    platform.MessagePump = &pump;
    platform.CodePage = &codePage;
    platform.FileClock = &clock;
    platform.MessageBox = &messageBox;
    platform.SystemErrors = &errors;
    return platform;
}

TZipPlatform& TZipPlatform::Default() {
    static TZipPlatform platform = Portable();
    return platform;
}

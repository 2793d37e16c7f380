#pragma once
// The system's own files and folders, for tests that extract for real. The temporary folder is a
// scratch folder the test names, and the free space can be made to look small. In the Windows
// tree everything else is the program's own WindowsSystem().
#include "device/System.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#ifdef _WIN32
#include "device/SystemWin.h"
#else
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

class RealSystem : public ISystem {
public:
    // `tempFolder` ends in its separator.
    explicit RealSystem(std::string tempFolder) : tempFolder_(std::move(tempFolder)) {}

    std::optional<std::uint64_t> freeSpace; // what FreeDiskSpace reports, when set
    int guidCount = 0;

#ifdef _WIN32
    bool CopyNewFile(const std::string& from, const std::string& to) override {
        return WindowsSystem().CopyNewFile(from, to);
    }
    bool FileExists(const std::string& path) override {
        return WindowsSystem().FileExists(path);
    }
    bool RemoveFile(const std::string& path) override {
        return WindowsSystem().RemoveFile(path);
    }
    std::uint64_t FileSize(const std::string& path) override {
        return WindowsSystem().FileSize(path);
    }
    bool MakeFolder(const std::string& path) override {
        return WindowsSystem().MakeFolder(path);
    }
    bool RemoveFolder(const std::string& path) override {
        return WindowsSystem().RemoveFolder(path);
    }
    bool FreeDiskSpace(const std::string& folder, std::uint64_t& bytes) override {
        if (freeSpace) {
            bytes = *freeSpace;
            return true;
        }
        return WindowsSystem().FreeDiskSpace(folder, bytes);
    }
    bool IsDoubleByteCodePage() override {
        return WindowsSystem().IsDoubleByteCodePage();
    }
    bool IsLeadByte(unsigned char byte) override {
        return WindowsSystem().IsLeadByte(byte);
    }
    std::string ToAnsi(const std::u16string& text) override {
        return WindowsSystem().ToAnsi(text);
    }
#else
    bool CopyNewFile(const std::string&, const std::string&) override {
        return false;
    }
    bool FileExists(const std::string& path) override {
        struct stat info;
        return stat(path.c_str(), &info) == 0;
    }
    bool RemoveFile(const std::string& path) override {
        return std::remove(path.c_str()) == 0;
    }
    std::uint64_t FileSize(const std::string& path) override {
        struct stat info;
        return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    }
    bool MakeFolder(const std::string& path) override {
        return mkdir(path.c_str(), 0700) == 0;
    }
    bool RemoveFolder(const std::string& path) override {
        return rmdir(path.c_str()) == 0;
    }
    bool FreeDiskSpace(const std::string& folder, std::uint64_t& bytes) override {
        if (freeSpace) {
            bytes = *freeSpace;
            return true;
        }
        struct statvfs info;
        if (statvfs(folder.c_str(), &info) != 0)
            return false;
        bytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
        return true;
    }
    bool IsDoubleByteCodePage() override {
        return false;
    }
    bool IsLeadByte(unsigned char) override {
        return false;
    }
    std::string ToAnsi(const std::u16string& text) override {
        return std::string(text.begin(), text.end());
    }
#endif

    bool TempFolder(std::string& folder) override {
        folder = tempFolder_;
        return !folder.empty();
    }
    bool NewGuid(std::string& text) override {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "{5EED%04X-0000-4000-8000-%012d}",
                      static_cast<unsigned>(guidCount) & 0xFFFF, guidCount);
        ++guidCount;
        text = buffer;
        return true;
    }
    std::string ThousandSeparator() override {
        return ",";
    }
    std::string DecimalSeparator() override {
        return ".";
    }

private:
    std::string tempFolder_;
};

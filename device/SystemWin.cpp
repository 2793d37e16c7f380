#include "device/SystemWin.h"

#include "device/TextSplit.h"
#include "device/Win32Handles.h"

#include <objbase.h>

#include <vector>

std::string SystemErrorText(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr)
        text.assign(buffer, length);
    if (buffer != nullptr)
        LocalFree(buffer);
    if (text.empty())
        text = "System error " + std::to_string(code);
    return TrimSystemMessage(text);
}

void ThrowFileOpenError(const std::string& path, DWORD code) {
    std::string fullPath = path;
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed != 0) {
        std::vector<char> buffer(needed + 1);
        const DWORD written = GetFullPathNameA(path.c_str(), needed + 1, buffer.data(), nullptr);
        if (written != 0 && written <= needed)
            fullPath.assign(buffer.data(), written);
    }
    throw VarnelError("Cannot open file \"" + fullPath + "\". " + SystemErrorText(code));
}

namespace {

std::string LocaleText(LCTYPE type, const char* fallback) {
    char buffer[16] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) <= 0)
        return fallback;
    return buffer;
}

class Win32System : public ISystem {
public:
    bool CopyNewFile(const std::string& from, const std::string& to) override {
        return CopyFileA(from.c_str(), to.c_str(), TRUE) != FALSE;
    }
    bool FileExists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }

    std::uint64_t FileSize(const std::string& path) override {
        UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            ThrowFileOpenError(path, GetLastError());
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(file.Get(), &size))
            ThrowFileOpenError(path, GetLastError());
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    bool MakeFolder(const std::string& path) override { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }
    bool RemoveFolder(const std::string& path) override { return RemoveDirectoryA(path.c_str()) != FALSE; }
    bool FreeDiskSpace(const std::string& folder, std::uint64_t& bytes) override {
        ULARGE_INTEGER available = {};
        if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr))
            return false;
        bytes = available.QuadPart;
        return true;
    }

    bool TempFolder(std::string& folder) override {
        // The folder must fit the 256 bytes a temporary path is made in.
        char buffer[256] = {};
        const DWORD length = GetTempPathA(sizeof buffer, buffer);
        if (length == 0 || length >= sizeof buffer)
            return false;
        folder = TrimControls(std::string(buffer, length));
        return !folder.empty();
    }

    bool NewGuid(std::string& text) override {
        GUID guid;
        if (FAILED(CoCreateGuid(&guid)))
            return false;
        char buffer[64] = {};
        wsprintfA(buffer, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2, guid.Data3,
                  guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
        text = buffer;
        return true;
    }

    bool IsDoubleByteCodePage() override {
        CPINFO info = {};
        return GetCPInfo(CP_ACP, &info) && info.MaxCharSize >= 2;
    }
    bool IsLeadByte(unsigned char byte) override { return IsDBCSLeadByte(byte) != FALSE; }

    std::string ToAnsi(const std::u16string& text) override {
        if (text.empty())
            return std::string();
        // No best fit: a character the code page lacks shows as '?', not as a look-alike (Ç as C).
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const int length = static_cast<int>(text.size());
        const int needed =
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, nullptr);
        if (needed <= 0)
            return std::string();
        std::string ansi(static_cast<std::size_t>(needed), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, &ansi[0], needed, nullptr, nullptr);
        return ansi;
    }

    std::string ThousandSeparator() override { return LocaleText(LOCALE_STHOUSAND, ","); }
    std::string DecimalSeparator() override { return LocaleText(LOCALE_SDECIMAL, "."); }
};

} // namespace

ISystem& WindowsSystem() {
    static Win32System system;
    return system;
}

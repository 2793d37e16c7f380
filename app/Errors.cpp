#include "app/Errors.h"

#include "app/AppText.h"

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

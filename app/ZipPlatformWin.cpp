#include "app/ZipPlatformWin.h"

#include "app/AppText.h"
#include "device/SystemWin.h"
#include "app/MainForm.h"

#include <io.h>

// windows.h defines these two as macros; here they are the ZIP reader's member names.
#undef OemToAnsi
#undef MessageBox

namespace {

class WindowsMessagePump : public IZipMessagePump {
public:
    void ProcessPendingMessages() override { ::ProcessPendingMessages(); }
    void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }
};

class WindowsCodePage : public IZipCodePage {
public:
    void OemToAnsi(std::string& text) override {
        if (!text.empty())
            OemToCharBuffA(text.data(), &text[0], static_cast<DWORD>(text.find('\0') == std::string::npos
                                                                          ? text.size()
                                                                          : text.find('\0')));
    }
    bool IsLeadByte(uint8_t byte) override { return IsDBCSLeadByte(byte) != FALSE; }
};

class WindowsFileClock : public IZipFileClock {
public:
    int64_t LastWriteTime(std::FILE* file) override {
        const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
        FILETIME written = {};
        if (handle == INVALID_HANDLE_VALUE || !GetFileTime(handle, nullptr, nullptr, &written))
            return 0;
        return static_cast<int64_t>((static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
    }
};

class WindowsMessageBox : public IZipMessageBox {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
    }
};

class WindowsSystemErrors : public IZipSystemErrors {
public:
    std::string ErrorText(const TOsError& error) override {
        return SystemErrorText(error.systemCode != 0 ? error.systemCode : ERROR_FILE_NOT_FOUND);
    }
};

} // namespace

TZipPlatform WindowsZipPlatform() {
    static WindowsMessagePump pump;
    static WindowsCodePage codePage;
    static WindowsFileClock clock;
    static WindowsMessageBox messageBox;
    static WindowsSystemErrors errors;
    TZipPlatform platform;
    platform.MessagePump = &pump;
    platform.CodePage = &codePage;
    platform.FileClock = &clock;
    platform.MessageBox = &messageBox;
    platform.SystemErrors = &errors;
    return platform;
}

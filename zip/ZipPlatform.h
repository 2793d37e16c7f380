#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// The services the reader needs from the system it runs on. The portable core only sees these
// small interfaces; the window wires the Windows implementations, tests wire their own, and the
// defaults below work anywhere.

// Inside long loops the reader lets the host's user interface run (the host may set the reader's
// cancel or pause flag from there).
class IZipMessagePump {
public:
    virtual ~IZipMessagePump() = default;
    // Removes and dispatches every pending window message of the calling thread.
    virtual void ProcessPendingMessages() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
};

// Entry names of archives made on MS-DOS hosts are in the OEM code page; the program works in the
// ANSI code page.
class IZipCodePage {
public:
    virtual ~IZipCodePage() = default;
    // Converts in place, up to the first zero byte (the rest stays as it is).
    virtual void OemToAnsi(std::string& text) = 0;
    // True for a lead byte of a double-byte character of the ANSI code page: the byte after it
    // belongs to the same character, even when it looks like '\'.
    virtual bool IsLeadByte(uint8_t byte) = 0;
};

// The last-write time of the open archive file, as an opaque number that changes when the file does.
class IZipFileClock {
public:
    virtual ~IZipFileClock() = default;
    virtual int64_t LastWriteTime(std::FILE* file) = 0;
};

// The one message box of the reader: a member with a compression method it does not know.
class IZipMessageBox {
public:
    virtual ~IZipMessageBox() = default;
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// What the C library reported when opening a file failed: errno, and on Windows also the system
// error code (_doserrno), from which the Windows implementation takes the system's own text.
struct TOsError {
    int errnoValue = 0;
    unsigned long systemCode = 0;
};

class IZipSystemErrors {
public:
    virtual ~IZipSystemErrors() = default;
    // The system's description of the error, without trailing blanks, line breaks or full stop.
    virtual std::string ErrorText(const TOsError& error) = 0;
};

// The set of services one reader uses. Pointers are not owned; each must outlive the readers that
// use it.
struct TZipPlatform {
    IZipMessagePump* MessagePump = nullptr;
    IZipCodePage* CodePage = nullptr;
    IZipFileClock* FileClock = nullptr;
    IZipMessageBox* MessageBox = nullptr;
    IZipSystemErrors* SystemErrors = nullptr;

    // The portable implementations: no message dispatch (sleep only), the OEM table of code page
    // 437 into 1252, the C library's file time and error text, and a message box that shows nothing.
    static TZipPlatform Portable();
    // What a new reader starts with. The program replaces it once at start-up; Portable() until then.
    static TZipPlatform& Default();
};

// The portable implementations, also usable on their own (tests and tools pick a code page).
class TPortableMessagePump : public IZipMessagePump {
public:
    void ProcessPendingMessages() override {}
    void Sleep(unsigned milliseconds) override;
};

// Code page 437 (the US OEM page) into 1252; characters that 1252 lacks (box drawing, Greek)
// become '_'. No double-byte characters.
class TOem437CodePage : public IZipCodePage {
public:
    void OemToAnsi(std::string& text) override;
    bool IsLeadByte(uint8_t) override { return false; }
};

// Code page 936 (GBK) on both sides, as on a Chinese system: names stay as stored; 0x81 to 0xFE
// lead a double-byte character.
class TGbkCodePage : public IZipCodePage {
public:
    void OemToAnsi(std::string&) override {}
    bool IsLeadByte(uint8_t byte) override { return byte >= 0x81 && byte <= 0xFE; }
};

class TPortableFileClock : public IZipFileClock {
public:
    int64_t LastWriteTime(std::FILE* file) override;
};

class TSilentMessageBox : public IZipMessageBox {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
};

class TPortableSystemErrors : public IZipSystemErrors {
public:
    std::string ErrorText(const TOsError& error) override;
};

#pragma once
#include <cstdint>
#include <string>

// What the phone and package logic needs from the system it runs on. The program uses the Windows
// services (WindowsSystem); tests use their own. Paths and texts are in the ANSI code page.
class ISystem {
public:
    virtual ~ISystem() = default;

    // Copies a file; fails when the target exists already.
    virtual bool CopyNewFile(const std::string& from, const std::string& to) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // The size of a file that others may read meanwhile but not change. Raises the program's
    // "Cannot open file" error when it can't be opened.
    virtual std::uint64_t FileSize(const std::string& path) = 0;

    // Makes a new folder; false when something of that name exists already or it can't be made.
    virtual bool MakeFolder(const std::string& path) = 0;
    // Removes a folder, which must be empty.
    virtual bool RemoveFolder(const std::string& path) = 0;
    // The bytes this user may still write on the disk that holds the folder; false when unknown.
    virtual bool FreeDiskSpace(const std::string& folder, std::uint64_t& bytes) = 0;

    // The folder for temporary files, ending in its separator; false when there is none usable.
    virtual bool TempFolder(std::string& folder) = 0;
    // A new GUID in its registry form ({8-4-4-4-12}, upper-case digits); false when none can be made.
    virtual bool NewGuid(std::string& text) = 0;

    // The ANSI code page: whether it is a double-byte one, and its lead bytes.
    virtual bool IsDoubleByteCodePage() = 0;
    virtual bool IsLeadByte(unsigned char byte) = 0;
    // UTF-16 into the ANSI code page; characters it lacks become its replacement character.
    virtual std::string ToAnsi(const std::u16string& text) = 0;
    // The user's thousands and decimal separators for numbers.
    virtual std::string ThousandSeparator() = 0;
    virtual std::string DecimalSeparator() = 0;
};

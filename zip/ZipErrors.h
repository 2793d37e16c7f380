#pragma once
#include <stdexcept>
#include <string>

// The reader's errors. Each carries its message as 8-bit text in what(); the window shows it as it
// stands. The texts are fixed: callers and users know them.

class EZipReaderException : public std::runtime_error {
public:
    explicit EZipReaderException(const std::string& message) : std::runtime_error(message) {}
};

// A directory that cannot be read even after the rebuild from local headers.
class EBadZipFile : public EZipReaderException {
public:
    EBadZipFile() : EZipReaderException("Not a valid zip file!") {}
};

// No end record: by default the file is taken for one part of a multi-disk set.
class EIncompleteZip : public EZipReaderException {
public:
    EIncompleteZip() : EZipReaderException("Incomplete Zip File") {}
};

class ENotAZipFile : public EZipReaderException {
public:
    ENotAZipFile() : EZipReaderException("Not a valid zip file!") {}
};

class EFatalUnzipError : public EZipReaderException {
public:
    explicit EFatalUnzipError(const std::string& message) : EZipReaderException(message) {}
};

class EUserCanceled : public EZipReaderException {
public:
    EUserCanceled() : EZipReaderException("User Aborted Operation") {}
    explicit EUserCanceled(const std::string& message) : EZipReaderException(message) {}
};

// A member produced more bytes than its directory entry declares; the extraction swallows it and
// lets the CRC decide.
class EBiggerThanUncompressed : public EZipReaderException {
public:
    EBiggerThanUncompressed() : EZipReaderException("File is larger than uncompressed size!") {}
};

class ECantWriteUCF : public EZipReaderException {
public:
    ECantWriteUCF() : EZipReaderException("Cant write uncompressed file") {}
};

// Only extraction into caller buffers raises it; kept so the family is complete.
class ECanceledUnzipToBuffer : public EZipReaderException {
public:
    ECanceledUnzipToBuffer() : EZipReaderException("Unzip to buffer canceled") {}
};

// The DEFLATE layer. zlib's own messages are not passed on: the text stays the one users know.
class EZLibError : public std::runtime_error {
public:
    explicit EZLibError(const std::string& message) : std::runtime_error(message) {}
};

class EZCompressionError : public EZLibError {
public:
    EZCompressionError() : EZLibError("error") {}
};

// The entry list: index out of range, refused capacity, a duplicate under the error policy.
class EListError : public std::runtime_error {
public:
    explicit EListError(const std::string& message) : std::runtime_error(message) {}
};

// The archive file could not be opened: "Cannot open file "<path>". <system error text>".
class EFOpenError : public std::runtime_error {
public:
    EFOpenError(const std::string& path, const std::string& systemText);
};

// A stream asked for a seek origin it does not know.
class EStreamError : public std::runtime_error {
public:
    explicit EStreamError(const std::string& message) : std::runtime_error(message) {}
};

// Message texts shared by more than one place.
namespace ZipMessages {
constexpr const char* kPrematureEnd = "Premature end of file reached";
constexpr const char* kDuplicateObject = "Duplicate Object index";
constexpr const char* kCannotPut = "Cannot <Put> an Object in a sorted list!";
constexpr const char* kUnknownMethod = "Unknown Compression Method";
constexpr const char* kZipErrorCaption = "Zip Error";
} // namespace ZipMessages

#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "zip/ZipPlatform.h"

// A file opened for reading with 64-bit offsets, closed when the owner goes. Move-only.
class TFileHandle {
public:
    TFileHandle() = default;
    TFileHandle(TFileHandle&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle() { Close(); }

    // Opens for reading; other writers are kept out where the system allows it. On failure the
    // handle stays closed and error holds what the C library reported.
    bool OpenForReading(const std::string& path, TOsError& error);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    bool Seek(int64_t offset); // from the start of the file
    int64_t Size();            // -1 when unknown
    size_t Read(void* buffer, size_t count);
    std::FILE* Native() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};

enum class TSeekOrigin { Begin = 0, Current = 1, End = 2 };

// The archive as the reader sees it: a file read through a fixed buffer. Small reads (headers,
// names) come from the buffer; a read at least as large as the buffer goes straight to the file. A
// seek inside the buffered window keeps the buffer, so skipping short extra fields costs nothing.
class TArchiveFileStream {
public:
    static constexpr size_t kDefaultBufferSize = 8192;

    // Opens the file; raises EFOpenError with the system's error text on failure.
    TArchiveFileStream(const std::string& path, IZipSystemErrors& errors, size_t bufferSize = kDefaultBufferSize);

    size_t Read(void* buffer, size_t count);
    // Origins as fseek has them; from the end, the offset's sign is ignored. An
    // unknown origin raises EStreamError. The result is the new position. A seek before the
    // start stops at 0.
    int64_t Seek(int64_t offset, TSeekOrigin origin);
    int64_t Position() const { return bufferStart_ + static_cast<int64_t>(bufferPos_); }
    int64_t Size() const { return size_; }
    std::FILE* NativeFile() const { return file_.Native(); }

private:
    bool Fill();

    TFileHandle file_;
    std::vector<uint8_t> buffer_;
    int64_t size_ = 0;
    int64_t bufferStart_ = 0; // file offset of buffer_[0]
    size_t bufferPos_ = 0;    // next byte to hand out
    size_t bufferLen_ = 0;    // valid bytes in buffer_
    int64_t filePos_ = 0;     // where the file stands
};

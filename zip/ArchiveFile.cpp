#include "zip/ArchiveFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zip/ZipErrors.h"

#ifdef _WIN32
#include <share.h>
#endif

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = other.file_;
        other.file_ = nullptr;
    }
    return *this;
}

bool TFileHandle::OpenForReading(const std::string& path, TOsError& error) {
    Close();
    errno = 0;
#ifdef _WIN32
    _doserrno = 0;
    // Readers may share the file, writers may not: the archive must not change under us.
    file_ = _fsopen(path.c_str(), "rb", _SH_DENYWR);
    if (file_ == nullptr) {
        error.errnoValue = errno;
        error.systemCode = _doserrno;
        return false;
    }
#else
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        error.errnoValue = errno;
        error.systemCode = 0;
        return false;
    }
#endif
    // The stream buffers by itself; a second buffer in the C library would only copy twice.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return true;
}

void TFileHandle::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool TFileHandle::Seek(int64_t offset) {
    if (file_ == nullptr || offset < 0)
        return false;
#ifdef _WIN32
    return _fseeki64(file_, offset, SEEK_SET) == 0;
#else
    return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

int64_t TFileHandle::Size() {
    if (file_ == nullptr)
        return -1;
#ifdef _WIN32
    const int64_t here = _ftelli64(file_);
    if (_fseeki64(file_, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = _ftelli64(file_);
    _fseeki64(file_, here, SEEK_SET);
#else
    const int64_t here = ftello(file_);
    if (fseeko(file_, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = ftello(file_);
    fseeko(file_, static_cast<off_t>(here), SEEK_SET);
#endif
    return size;
}

size_t TFileHandle::Read(void* buffer, size_t count) {
    if (file_ == nullptr || count == 0)
        return 0;
    return std::fread(buffer, 1, count, file_);
}

TArchiveFileStream::TArchiveFileStream(const std::string& path, IZipSystemErrors& errors, size_t bufferSize)
    : buffer_(std::max<size_t>(bufferSize, 64)) {
    TOsError error;
    if (!file_.OpenForReading(path, error))
        throw EFOpenError(path, errors.ErrorText(error));
    size_ = std::max<int64_t>(file_.Size(), 0);
    file_.Seek(0);
}

bool TArchiveFileStream::Fill() {
    bufferStart_ += static_cast<int64_t>(bufferLen_);
    bufferPos_ = 0;
    bufferLen_ = 0;
    if (filePos_ != bufferStart_) {
        if (!file_.Seek(bufferStart_))
            return false;
        filePos_ = bufferStart_;
    }
    bufferLen_ = file_.Read(buffer_.data(), buffer_.size());
    filePos_ += static_cast<int64_t>(bufferLen_);
    return bufferLen_ > 0;
}

size_t TArchiveFileStream::Read(void* buffer, size_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        if (bufferPos_ < bufferLen_) {
            const size_t n = std::min(count - done, bufferLen_ - bufferPos_);
            std::memcpy(out + done, buffer_.data() + bufferPos_, n);
            bufferPos_ += n;
            done += n;
            continue;
        }
        const size_t rest = count - done;
        if (rest >= buffer_.size()) {
            // A large read bypasses the buffer; the buffer then starts empty where the read ended.
            const int64_t here = Position();
            if (filePos_ != here) {
                if (!file_.Seek(here))
                    break;
                filePos_ = here;
            }
            const size_t n = file_.Read(out + done, rest);
            filePos_ += static_cast<int64_t>(n);
            done += n;
            bufferStart_ = here + static_cast<int64_t>(n);
            bufferPos_ = 0;
            bufferLen_ = 0;
            break;
        }
        if (!Fill())
            break;
    }
    return done;
}

int64_t TArchiveFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t target = 0;
    switch (origin) {
    case TSeekOrigin::Begin:
        target = offset;
        break;
    case TSeekOrigin::Current:
        // Offsets come from the archive: saturate instead of overflowing.
        if (offset > 0 && Position() > INT64_MAX - offset)
            target = INT64_MAX;
        else
            target = Position() + offset;
        break;
    case TSeekOrigin::End: {
        const int64_t magnitude = offset == INT64_MIN ? INT64_MAX : (offset < 0 ? -offset : offset);
        target = size_ - magnitude;
        break;
    }
    default:
        throw EStreamError("Invalid seek origin (" + std::to_string(static_cast<int>(origin)) + ")");
    }
    if (target < 0)
        target = 0;
    if (target >= bufferStart_ && target <= bufferStart_ + static_cast<int64_t>(bufferLen_)) {
        bufferPos_ = static_cast<size_t>(target - bufferStart_);
        return target;
    }
    bufferStart_ = target;
    bufferPos_ = 0;
    bufferLen_ = 0;
    return target;
}

#include "PackageFile.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "zip/ZipReader.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Member names as stored, no code page games: the two names we look for are ASCII.
class TAsStoredNames : public IZipCodePage {
public:
    void OemToAnsi(std::string&) override {}
    bool IsLeadByte(uint8_t) override { return false; }
};

enum class TMember { Missing, Damaged, Read };

// A stored member mapped into memory where the system can (the platform tools map such members
// in place too). Not copyable; unmaps when it goes.
class TMapping {
public:
    TMapping() = default;
    TMapping(const TMapping&) = delete;
    TMapping& operator=(const TMapping&) = delete;
    ~TMapping() { Unmap(); }

    // Maps length bytes of path from offset; false when mapping is not possible here.
    bool Map(const std::string& path, uint64_t offset, size_t length) {
#ifdef _WIN32
        (void)path;
        (void)offset;
        (void)length;
        return false;
#else
        Unmap();
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0)
            return false;
        const long page = sysconf(_SC_PAGESIZE);
        const uint64_t start = page > 0 ? offset - offset % uint64_t(page) : offset;
        const size_t span = static_cast<size_t>(offset - start) + length;
        int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
        flags |= MAP_POPULATE; // one pass over the pages instead of a fault for each
#endif
        void* base = mmap(nullptr, span, PROT_READ, flags, fd, static_cast<off_t>(start));
        close(fd);
        if (base == MAP_FAILED)
            return false;
        base_ = base;
        span_ = span;
        data_ = static_cast<const uint8_t*>(base) + (offset - start);
        return true;
#endif
    }
    const uint8_t* Data() const {
        return data_;
    }

private:
    void Unmap() {
#ifndef _WIN32
        if (base_ != nullptr)
            munmap(base_, span_);
#endif
        base_ = nullptr;
        data_ = nullptr;
    }

    void* base_ = nullptr;
    size_t span_ = 0;
    const uint8_t* data_ = nullptr;
};

// A member's bytes: a stored member mapped in place or read straight into a buffer of its size,
// a compressed one out of the reader's stream.
struct TMemberBytes {
    TMapping mapped;
    std::unique_ptr<uint8_t[]> stored;
    std::vector<uint8_t> extracted;
    size_t size = 0;

    TByteSpan Span() const {
        if (mapped.Data() != nullptr)
            return TByteSpan(mapped.Data(), size);
        return TByteSpan(stored ? stored.get() : extracted.data(), size);
    }
};

// The most a member may claim; more than any real package member, less than what a 32-bit
// process can hold.
constexpr uint64_t kMaxMemberSize = uint64_t(1) << 30;

// A stored (uncompressed) member, taken in one piece from where its local header says its data
// starts, without the CRC check: copying 30 MB of framework resources through the reader's
// zero-filled, checked stream would cost more than all the rest of the work.
TMember ReadStored(const std::string& path, const TZipEntryInfo& entry, TMemberBytes& bytes) {
    const uint64_t size = entry.EffectiveUncompressedSize();
    if (size != entry.EffectiveCompressedSize() || size > kMaxMemberSize)
        return TMember::Damaged;
    try {
        TPortableSystemErrors errors;
        TArchiveFileStream file(path, errors);
        const uint64_t header = entry.EffectiveLocalHeaderOffset();
        uint8_t local[ZipFormat::kLocalHeaderSize] = {};
        if (header > uint64_t(file.Size()) || file.Seek(int64_t(header), TSeekOrigin::Begin) != int64_t(header) ||
            file.Read(local, sizeof local) != sizeof local)
            return TMember::Damaged;
        const TByteSpan record(local, sizeof local);
        if (record.U32Or0(0) != ZipFormat::kLocalHeaderSignature)
            return TMember::Damaged;
        const uint64_t start = header + ZipFormat::kLocalHeaderSize + record.U16Or0(ZipFormat::Local::kNameLength) +
                               record.U16Or0(ZipFormat::Local::kExtraLength);
        if (start > uint64_t(file.Size()) || size > uint64_t(file.Size()) - start)
            return TMember::Damaged;
        bytes.size = static_cast<size_t>(size);
        if (size > 0 && bytes.mapped.Map(path, start, bytes.size))
            return TMember::Read;
        bytes.stored.reset(new uint8_t[bytes.size + 1]); // not zero-filled: read over at once
        if (file.Seek(int64_t(start), TSeekOrigin::Begin) != int64_t(start) ||
            file.Read(bytes.stored.get(), bytes.size) != bytes.size)
            return TMember::Damaged;
        return TMember::Read;
    } catch (const std::exception&) {
        return TMember::Damaged;
    }
}

// Extracts the member whose stored name is exactly name (the platform looks names up by exact
// bytes, letter case included).
TMember ReadMember(TZipReader& reader, const char* name, TMemberBytes& bytes) {
    for (size_t i = 0; i < reader.Count(); ++i) {
        const TZipEntryInfo& entry = reader.Entry(i);
        if (entry.FullPath() != name)
            continue;
        if (entry.Method == ZipFormat::kMethodStored && !entry.IsEncrypted())
            return ReadStored(reader.ZipName(), entry, bytes);
        try {
            TMemoryStream stream(kMaxMemberSize);
            if (!reader.ExtractEntryToStream(i, stream))
                return TMember::Damaged; // bytes stay empty
            bytes.extracted = stream.TakeBytes();
            bytes.size = bytes.extracted.size();
            return TMember::Read;
        } catch (const std::exception&) {
            return TMember::Damaged;
        }
    }
    return TMember::Missing;
}

TBadgingResult Failure(const char* message) {
    TBadgingResult result;
    result.err = message;
    result.exitCode = 1;
    return result;
}

// A reader set up for a console tool: no message pump, names as stored, a file without an end
// record is no archive.
class TPackageReader {
public:
    explicit TPackageReader(const std::string& path) : reader_(Platform()) {
        reader_.DoProcessMessages = false;
        reader_.OEMConvert = TOEMConvert::oemNever;
        reader_.IncompleteZipMode = TIncompleteZipMode::izAssumeNotAZip;
        reader_.KeepZipOpen = true;
        try {
            reader_.SetZipName(path);
            reader_.LoadDirectory();
            isZip_ = true;
        } catch (const std::exception&) {
            isZip_ = false;
        }
    }
    ~TPackageReader() {
        reader_.KeepZipOpen = false;
        reader_.CloseArchive();
    }
    TPackageReader(const TPackageReader&) = delete;
    TPackageReader& operator=(const TPackageReader&) = delete;

    TMember Read(const char* name, TMemberBytes& bytes) {
        return isZip_ ? ReadMember(reader_, name, bytes) : TMember::Missing;
    }

private:
    TZipPlatform Platform() {
        TZipPlatform platform = TZipPlatform::Portable();
        platform.CodePage = &names_;
        platform.MessagePump = &pump_;
        return platform;
    }

    TAsStoredNames names_;
    TPortableMessagePump pump_;
    TZipReader reader_;
    bool isZip_ = false;
};

} // namespace

bool ReadPackageMember(const std::string& path, const char* name, std::vector<uint8_t>& bytes) {
    TPackageReader reader(path);
    TMemberBytes member;
    if (reader.Read(name, member) != TMember::Read)
        return false;
    const TByteSpan span = member.Span();
    bytes.assign(span.Data(), span.Data() + span.Size());
    return true;
}

TBadgingResult DumpBadgingOfFile(const std::string& path) {
    if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        return Failure("ERROR: dump failed because assets could not be loaded\n");
    }
    TMemberBytes manifestBytes;
    TMemberBytes tableBytes;
    TMember manifest = TMember::Missing;
    TMember table = TMember::Missing;
    {
        TPackageReader reader(path);
        manifest = reader.Read("AndroidManifest.xml", manifestBytes);
        table = reader.Read("resources.arsc", tableBytes);
    }
    // A member that could not be extracted is handed over empty, which reads as damaged.
    const TByteSpan manifestSpan = manifestBytes.Span();
    const TByteSpan tableSpan = tableBytes.Span();
    return DumpBadging(manifest == TMember::Missing ? nullptr : &manifestSpan,
                       table == TMember::Missing ? nullptr : &tableSpan);
}

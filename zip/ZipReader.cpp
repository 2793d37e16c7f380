#include "zip/ZipReader.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "zip/ByteReader.h"
#include "zip/Crc32.h"
#include "zip/DecoderIo.h"
#include "zip/Explode.h"
#include "zip/Inflate.h"
#include "zip/Unreduce.h"
#include "zip/Unshrink.h"
#include "zip/Wildcard.h"
#include "zip/ZipCrypto.h"

using namespace ZipFormat;

namespace {

// Sets a byte flag for the length of a scope and puts the old value back on every way out.
class TFlagScope {
public:
    explicit TFlagScope(uint8_t& flag) : flag_(flag), old_(flag) { flag_ = 1; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;
    ~TFlagScope() { flag_ = old_; }

private:
    uint8_t& flag_;
    uint8_t old_;
};

// Runs a clean-up on every way out of a scope.
template <typename F> class TFinally {
public:
    explicit TFinally(F f) : f_(std::move(f)) {}
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;
    ~TFinally() { f_(); }

private:
    F f_;
};
template <typename F> TFinally<F> Finally(F f) {
    return TFinally<F>(std::move(f));
}

bool SameTextAscii(const std::string& a, const std::string& b) {
    return LowerAscii(a) == LowerAscii(b);
}

bool EndsWithExe(const std::string& name) {
    return name.size() >= 4 && LowerAscii(name.substr(name.size() - 4)) == ".exe";
}

// The most a member's compressed bytes can expand to under any method the reader knows (DEFLATE's
// limit is about 1032:1; the older methods stay below it), plus room for small members. A size
// claim beyond it is not believed when the target is sized up front.
uint64_t PlausibleSize(uint64_t compressed) {
    constexpr uint64_t kMaxRatio = 1032;
    constexpr uint64_t kSlack = 65536;
    if (compressed > (UINT64_MAX - kSlack) / kMaxRatio)
        return UINT64_MAX;
    return compressed * kMaxRatio + kSlack;
}

bool KnownMethod(uint16_t method) {
    return method <= kMethodImploded || method == kMethodDeflated;
}

int Percent(uint64_t done, uint64_t total) {
    if (total == 0)
        return 0;
    const double ratio = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    return static_cast<int>(std::min(100.0, std::floor(ratio + 0.5)));
}

} // namespace

struct TZipReader::TSelection {
    bool byIndex = false;
    size_t index = 0;
};

// The reader's side of one member's decoding: hands out compressed pieces and takes produced ones.
class TZipReader::TMemberIo : public IMemberInput, public IMemberOutput {
public:
    TMemberIo(TZipReader& reader, uint64_t compressed, uint64_t uncompressed, TZipCrypto* crypto)
        : reader_(reader), remaining_(compressed), uncompressed_(uncompressed), crypto_(crypto) {}

    size_t ReadInputChunk(const uint8_t*& data) override {
        reader_.Checkpoint(true);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kZipPieceSize, remaining_));
        if (n == 0)
            return 0;
        if (reader_.inputBufferSize_ < n) {
            // As large as the largest piece so far: a small member costs no large buffer.
            reader_.inputBuffer_.reset(new uint8_t[n]);
            reader_.inputBufferSize_ = n;
        }
        ReadExactly(reader_.inputBuffer_.get(), n);
        remaining_ -= n;
        data = reader_.inputBuffer_.get();
        return n;
    }

    void FlushOutput(const uint8_t* data, size_t size) override {
        TStream& target = *reader_.target_;
        const uint64_t position = target.Position();
        if (position > uncompressed_ || size > uncompressed_ - position)
            throw EBiggerThanUncompressed();
        if (target.Write(data, size) < size)
            throw ECantWriteUCF();
        if (reader_.VerifyCrc)
            reader_.runningCrc_ = UpdateCrc32(reader_.runningCrc_, data, size);
        produced_ += size;
        reader_.totalProduced_ += size;
        if (reader_.OnFilePercentDone)
            reader_.OnFilePercentDone(Percent(produced_, uncompressed_));
        if (reader_.OnTotalPercentDone)
            reader_.OnTotalPercentDone(Percent(reader_.totalProduced_, reader_.totalBytes_));
    }

    // Method 0: the bytes as stored, in pieces.
    void CopyStored() {
        if (remaining_ == 0)
            return;
        std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kZipStoredPieceSize, remaining_)));
        while (remaining_ > 0) {
            reader_.Checkpoint(true);
            const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), remaining_));
            remaining_ -= n;
            ReadExactly(buffer.data(), n);
            FlushOutput(buffer.data(), n);
        }
    }

private:
    void ReadExactly(uint8_t* buffer, size_t n) {
        if (reader_.archive_->Read(buffer, n) < n)
            throw EFatalUnzipError(ZipMessages::kPrematureEnd);
        if (crypto_ != nullptr)
            crypto_->Decrypt(buffer, n);
    }

    TZipReader& reader_;
    uint64_t remaining_;
    uint64_t uncompressed_;
    uint64_t produced_ = 0;
    TZipCrypto* crypto_;
};

TZipReader::TZipReader() : TZipReader(TZipPlatform::Default()) {}

TZipReader::TZipReader(const TZipPlatform& platform) : platform_(platform), workingHeader_(OEMConvert) {
    const TZipPlatform portable = TZipPlatform::Portable();
    if (platform_.MessagePump == nullptr)
        platform_.MessagePump = portable.MessagePump;
    if (platform_.CodePage == nullptr)
        platform_.CodePage = portable.CodePage;
    if (platform_.FileClock == nullptr)
        platform_.FileClock = portable.FileClock;
    if (platform_.MessageBox == nullptr)
        platform_.MessageBox = portable.MessageBox;
    if (platform_.SystemErrors == nullptr)
        platform_.SystemErrors = portable.SystemErrors;
}

TZipReader::~TZipReader() {
    KeepZipOpen = false;
    archive_.reset();
    FreeDirectory();
}

void TZipReader::RefuseWhenBusy() const {
    // The host runs inside our loops; dropping the directory or the file from there would pull the
    // ground from under the running operation.
    if (Busy())
        throw EZipReaderException("The zip reader is busy");
}

void TZipReader::SetZipName(const std::string& name) {
    if (SameTextAscii(name, zipName_))
        return;
    RefuseWhenBusy();
    if (!name.empty() && name.back() == '?') {
        // A name ending in '?' asks for a file dialog, which the portable reader does not have:
        // it behaves as a cancelled dialog.
        throw EUserCanceled("User canceled setting zip file name.");
    }
    zipName_ = name;
    FreeDirectory();
    endOfCentral_.Reset();
    archive_.reset();
    rebuilt_ = false;
    archiveTime_ = 0;
}

void TZipReader::SetSortMode(TZipSortMode mode) {
    if (mode == sortMode_)
        return;
    RefuseWhenBusy();
    sortMode_ = mode;
    if (directory_)
        ApplySortMode(mode);
}

TSortedEntryList* TZipReader::View() const {
    return separateView_ ? separateView_.get() : directory_.get();
}

size_t TZipReader::Count() const {
    const TSortedEntryList* view = View();
    return view ? view->Count() : 0;
}

const TZipEntryInfo& TZipReader::Entry(size_t index) const {
    const TSortedEntryList* view = View();
    if (view == nullptr)
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *(*view)[index];
}

void TZipReader::Checkpoint(bool allowPause) {
    if (!DoProcessMessages)
        return;
    platform_.MessagePump->ProcessPendingMessages();
    if (cancel_) {
        cancel_ = false;
        throw EUserCanceled();
    }
    while (allowPause && pause_) {
        platform_.MessagePump->Sleep(1000);
        platform_.MessagePump->ProcessPendingMessages();
    }
}

void TZipReader::FreeDirectory() {
    separateView_.reset();
    directory_.reset();
}

void TZipReader::CloseArchive() {
    if (!KeepZipOpen)
        archive_.reset();
}

void TZipReader::ClearDirectory() {
    archive_.reset();
    FreeDirectory();
    endOfCentral_.Reset();
    rebuilt_ = false;
    archiveTime_ = 0;
    multiDisk_ = TMultiDiskMode::None;
    zipName_.clear();
}

void TZipReader::ApplySortMode(TZipSortMode mode) {
    separateView_.reset();
    if (mode == TZipSortMode::ByNone || !directory_)
        return;
    auto view = std::make_unique<TSortedEntryList>(false, TDuplicates::dupAccept, mode);
    std::vector<TZipEntryInfo*> entries;
    entries.reserve(directory_->Count());
    for (size_t i = 0; i < directory_->Count(); ++i)
        entries.push_back((*directory_)[i]);
    view->AddAll(entries);
    separateView_ = std::move(view);
}

void TZipReader::LoadDirectory() {
    RefuseWhenBusy();
    cancel_ = false;
    repaired_ = false;
    TFlagScope busy(busy_);
    TFlagScope busy2(busy2_);
    auto closeAtEnd = Finally([this] { CloseArchive(); });
    for (;;) {
        const TIncompleteZipMode modeBefore = IncompleteZipMode;
        try {
            EnsureDirectory();
            return;
        } catch (const EIncompleteZip&) {
            archive_.reset();
            // Ask again only when the handler chose another way to read the file; the same mode
            // would give the same answer forever.
            if (OnInCompleteZip && IncompleteZipMode != modeBefore)
                continue;
            return;
        } catch (...) {
            ClearDirectory();
            throw;
        }
    }
}

void TZipReader::EnsureDirectory() {
    if (!archive_)
        archive_ = std::make_unique<TArchiveFileStream>(zipName_, *platform_.SystemErrors);
    if (directory_ && platform_.FileClock->LastWriteTime(archive_->NativeFile()) == archiveTime_)
        return;
    ReadDirectory();
}

void TZipReader::ReadDirectory() {
    TArchiveFileStream& stream = *archive_;
    IZipCodePage& codePage = *platform_.CodePage;
    archiveTime_ = platform_.FileClock->LastWriteTime(stream.NativeFile());
    if (directory_ && directory_->Count() > 0)
        FreeDirectory();
    rebuilt_ = false;

    bool found = endOfCentral_.FindEndOfCentral(stream);
    if (found && endOfCentral_.EffectiveCentralDisk() > endOfCentral_.EffectiveThisDisk())
        found = false;
    bool rebuiltMode = false;
    if (!found) {
        if (OnInCompleteZip)
            OnInCompleteZip(*this, IncompleteZipMode);
        switch (IncompleteZipMode) {
        case TIncompleteZipMode::izAssumeNotAZip:
            throw ENotAZipFile();
        case TIncompleteZipMode::izAssumeBad:
            if (!RebuildFromLocalHeaders()) {
                ClearDirectory();
                throw EBadZipFile();
            }
            rebuiltMode = true;
            break;
        case TIncompleteZipMode::izAssumeMulti:
        default:
            throw EIncompleteZip();
        }
    }

    const uint32_t thisDisk = endOfCentral_.EffectiveThisDisk();
    currentDisk_ = thisDisk;
    // Without drive information every part of a set counts as a split file.
    multiDisk_ = thisDisk != 0 ? TMultiDiskMode::SplitFiles : TMultiDiskMode::None;

    std::vector<std::unique_ptr<TZipEntryInfo>> pending;
    for (;;) { // one pass per mode: normal, then (after a rebuild) rebuilt
        bool restart = false;
        pending.clear();
        const uint64_t total = endOfCentral_.EffectiveTotalEntries();
        const uint64_t centralOffset = endOfCentral_.EffectiveCentralOffset();
        if (total != 0)
            stream.Seek(centralOffset > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX
                                                                         : static_cast<int64_t>(centralOffset),
                        TSeekOrigin::Begin);
        if (!directory_ || directory_->Count() == 0)
            directory_ = std::make_unique<TSortedEntryList>(true, TDuplicates::dupError, TZipSortMode::ByNone);

        TZipEntryInfo* previous = nullptr;
        uint16_t previousExtra = 0;
        // Each header read moves forward by at least 46 bytes, so the file's length bounds this
        // loop whatever count the end record claims.
        for (uint64_t i = 0; i < total; ++i) {
            Checkpoint(true);
            auto entry = std::make_unique<TZipEntryInfo>(OEMConvert);
            bool read = entry->ReadCentralHeader(stream, codePage);
            if (!read && previousExtra != 0) {
                // The previous entry declared extra bytes that are not there: its comment and this
                // header follow its name directly.
                if (previous != nullptr) {
                    previous->CentralExtraLength = 0;
                    previous->ExtraFieldLength = 0;
                    if (!rebuiltMode)
                        previous->ClearZip64(); // parsed from bytes that were not its extra field
                }
                stream.Seek(-static_cast<int64_t>(previousExtra), TSeekOrigin::Current);
                previousExtra = 0;
                read = entry->ReadCentralHeader(stream, codePage);
            }
            if (!read) {
                if (rebuiltMode)
                    break;
                if (multiDisk_ != TMultiDiskMode::None || !RebuildFromLocalHeaders()) {
                    ClearDirectory();
                    throw EBadZipFile();
                }
                rebuiltMode = true;
                restart = true;
                break;
            }

            const uint16_t extraLength = entry->CentralExtraLength;
            stream.Seek(extraLength, TSeekOrigin::Current);
            if (multiDisk_ != TMultiDiskMode::None && entry->CommentLength != 0) {
                auto comment = std::make_unique<std::string>(entry->CommentLength, '\0');
                comment->resize(stream.Read(&(*comment)[0], comment->size()));
                entry->Comment = std::move(comment);
            } else {
                stream.Seek(entry->CommentLength, TSeekOrigin::Current);
            }
            previousExtra = extraLength;

            if (!rebuiltMode) {
                previous = entry.get();
                pending.push_back(std::move(entry));
                continue;
            }
            // Rebuilt mode: the local headers made the list; the central record adds what only it
            // knows, for the entry at the same place.
            const std::ptrdiff_t index = directory_->IndexOf(*entry);
            TZipEntryInfo* listed = index < 0 ? nullptr : (*directory_)[static_cast<size_t>(index)];
            // A record that names another member than the local header there does not describe
            // it (a damaged directory may point several records at one place).
            if (listed == nullptr || listed->FullPath() != entry->FullPath()) {
                previous = nullptr;
                continue;
            }
            const uint64_t localOffset = listed->EffectiveLocalHeaderOffset();
            listed->Assign(*entry);
            listed->SetEffectiveLocalHeaderOffset(localOffset);
            previous = listed;
        }
        if (restart)
            continue;
        if (!rebuiltMode && !pending.empty()) {
            std::vector<TZipEntryInfo*> entries;
            entries.reserve(pending.size());
            for (auto& entry : pending)
                entries.push_back(entry.get());
            try {
                directory_->AddAll(entries);
                for (auto& entry : pending)
                    entry.release(); // the list owns them now
            } catch (const EListError&) {
                // Two entries at the same place: the directory cannot be trusted.
                pending.clear();
                if (!RebuildFromLocalHeaders()) {
                    ClearDirectory();
                    throw EBadZipFile();
                }
                rebuiltMode = true;
                continue;
            }
        }
        break;
    }

    if (thisDisk != 0 && endOfCentral_.CommentLength != 0) {
        auto comment = std::make_unique<std::string>(endOfCentral_.CommentLength, '\0');
        stream.Seek(endOfCentral_.CommentPosition, TSeekOrigin::Begin);
        comment->resize(stream.Read(&(*comment)[0], comment->size()));
        endOfCentral_.Comment = std::move(comment);
    }
    currentDisk_ = endOfCentral_.EffectiveThisDisk();
    ApplySortMode(sortMode_);
}

bool TZipReader::RebuildFromLocalHeaders() {
    if (rebuilt_)
        return false;
    rebuilt_ = true;
    repaired_ = true;
    FreeDirectory();
    TArchiveFileStream& stream = *archive_;

    // Find the first local header whose version-needed byte is plausible.
    constexpr uint64_t kCheckpointEvery = 10240;
    const int64_t start = EndsWithExe(zipName_) ? 14000 : 0; // skips a self-extractor's code
    stream.Seek(start, TSeekOrigin::Begin);
    std::vector<uint8_t> chunk(65536);
    int64_t chunkStart = start;
    size_t chunkLength = 0;
    size_t pos = 0;
    uint64_t scanned = 0;
    uint32_t window = 0; // the last four bytes seen
    int64_t headerAt = -1;
    int seen = 0;
    for (;;) {
        if (pos == chunkLength) {
            chunkStart += static_cast<int64_t>(chunkLength);
            stream.Seek(chunkStart, TSeekOrigin::Begin);
            chunkLength = stream.Read(chunk.data(), chunk.size());
            pos = 0;
            if (chunkLength == 0)
                return false;
        }
        window = (window >> 8) | (static_cast<uint32_t>(chunk[pos]) << 24);
        ++pos;
        ++seen;
        if (++scanned % kCheckpointEvery == 0)
            Checkpoint(true);
        if (seen >= 4 && window == kLocalHeaderSignature) {
            const int64_t signatureAt = chunkStart + static_cast<int64_t>(pos) - 4;
            uint8_t version[2];
            stream.Seek(signatureAt + 4, TSeekOrigin::Begin);
            if (stream.Read(version, 2) != 2)
                return false;
            if (version[1] < 10) {
                headerAt = signatureAt;
                break;
            }
        }
    }

    stream.Seek(headerAt, TSeekOrigin::Begin);
    directory_ = std::make_unique<TSortedEntryList>(true, TDuplicates::dupError, TZipSortMode::ByNone);
    uint64_t count = 0;
    for (;;) {
        Checkpoint(true);
        auto entry = std::make_unique<TZipEntryInfo>(OEMConvert);
        if (!entry->ReadLocalHeader(stream, *platform_.CodePage))
            break;
        // Sizes come from the file: anything that would pass its end just ends the walk there.
        const uint64_t fileSize = static_cast<uint64_t>(stream.Size());
        uint64_t skip = std::min(entry->EffectiveCompressedSize(), fileSize);
        skip += entry->LocalExtraLength;
        if (entry->HasDataDescriptor())
            skip += kDataDescriptorSize;
        skip = std::min(skip, fileSize);
        try {
            if (directory_->Add(entry.get()) < 0)
                break;
            entry.release();
        } catch (const EListError&) {
            break;
        }
        ++count;
        stream.Seek(static_cast<int64_t>(skip), TSeekOrigin::Current);
    }
    endOfCentral_.SetFromRebuild(static_cast<uint64_t>(stream.Position()), count);
    currentDisk_ = 0;
    return true;
}

int TZipReader::ExtractToStream(TStream* stream, const std::string& name) {
    std::string trimmed = name;
    while (!trimmed.empty() && static_cast<unsigned char>(trimmed.back()) <= ' ')
        trimmed.pop_back();
    size_t first = 0;
    while (first < trimmed.size() && static_cast<unsigned char>(trimmed[first]) <= ' ')
        ++first;
    if (first == trimmed.size() || stream == nullptr)
        return 0;
    RefuseWhenBusy();
    FilesList.clear();
    FilesList.push_back(name);
    return ExtractSelectionToStream(*stream, TSelection{});
}

std::ptrdiff_t TZipReader::FindEntry(const std::string& path) {
    RefuseWhenBusy();
    {
        TFlagScope busy(busy_);
        auto closeAtEnd = Finally([this] { CloseArchive(); });
        EnsureDirectory();
    }
    std::string wanted = LowerAscii(path);
    std::replace(wanted.begin(), wanted.end(), '/', '\\');
    for (size_t i = 0; i < Count(); ++i) {
        if (LowerAscii(Entry(i).FullPath()) == wanted)
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

bool TZipReader::ExtractEntryToStream(size_t index, TStream& stream) {
    RefuseWhenBusy();
    TSelection selection;
    selection.byIndex = true;
    selection.index = index;
    return ExtractSelectionToStream(stream, selection) > 0;
}

// Both stream extractions: the stream is the target only while the selection is extracted, and
// the archive is closed after it whatever happens.
int TZipReader::ExtractSelectionToStream(TStream& stream, const TSelection& selection) {
    TFlagScope busy(busy_);
    target_ = &stream;
    streamMode_ = true;
    cancel_ = false;
    auto cleanUp = Finally([this] {
        streamMode_ = false;
        target_ = nullptr;
        CloseArchive();
        cancel_ = false;
    });
    EnsureDirectory();
    if (selection.byIndex && selection.index >= Count())
        return 0;
    return ExtractSelected(selection);
}

int TZipReader::ExtractSelected(const TSelection& selection) {
    TFlagScope busy2(busy2_);
    cancel_ = false;
    const bool keepOpen = KeepZipOpen;
    KeepZipOpen = true;
    const TZipSortMode viewMode = sortMode_;
    if (multiDisk_ != TMultiDiskMode::None && sortMode_ != TZipSortMode::ByNone)
        ApplySortMode(TZipSortMode::ByNone); // members of a set are taken in archive order
    successCount_ = 0;
    auto cleanUp = Finally([this, keepOpen, viewMode] {
        inputBuffer_.reset();
        inputBufferSize_ = 0;
        FilesList.clear();
        if (multiDisk_ != TMultiDiskMode::None && viewMode != TZipSortMode::ByNone && directory_)
            ApplySortMode(viewMode);
        if (OnUnZipComplete)
            OnUnZipComplete(successCount_);
        KeepZipOpen = keepOpen;
    });

    std::vector<std::string> patterns;
    patterns.reserve(FilesList.size());
    for (const std::string& item : FilesList)
        patterns.push_back(LowerAscii(item));

    TSortedEntryList* view = View();
    const size_t count = view ? view->Count() : 0;
    membersToDo_ = count;
    totalBytes_ = 0;
    totalProduced_ = 0;
    for (size_t i = 0; i < count; ++i) {
        Checkpoint(false);
        TZipEntryInfo& entry = *(*view)[i];
        bool selected = DoAll && !selection.byIndex;
        if (selection.byIndex) {
            selected = i == selection.index;
        } else if (entry.IsDirectory() && !RecreateDirs) {
            selected = false;
        } else if (!DoAll) {
            const std::string path = LowerAscii(entry.FullPath());
            for (const std::string& pattern : patterns) {
                if (MatchWildcard(pattern, path)) {
                    selected = true;
                    break;
                }
            }
        }
        entry.Selected = selected;
        if (selected) {
            const uint64_t size = entry.EffectiveUncompressedSize();
            totalBytes_ = size > UINT64_MAX - totalBytes_ ? UINT64_MAX : totalBytes_ + size;
        } else {
            --membersToDo_;
        }
    }

    bool stop = false;
    if (OnStartUnZipInfo)
        OnStartUnZipInfo(membersToDo_, stop, totalBytes_);
    if (membersToDo_ == 0 || stop)
        return 0;
    const bool all = DoAll && !selection.byIndex;
    for (size_t i = 0; i < count; ++i) {
        if (!all && !(*view)[i]->Selected)
            continue;
        while (ExtractEntry(i) == TEntryResult::Retry) {
        }
    }
    return static_cast<int>(std::min<size_t>(successCount_, INT32_MAX));
}

TZipReader::TEntryResult TZipReader::ExtractEntry(size_t index) {
    TSortedEntryList* view = View();
    workingHeader_.Assign(*(*view)[index]);
    TZipEntryInfo& header = workingHeader_;
    auto succeed = [this, index] {
        if (OnEndUnZip)
            OnEndUnZip(index);
        ++successCount_;
        return TEntryResult::Success;
    };
    auto skip = [this, index] {
        if (OnSkippingFile)
            OnSkippingFile(index);
        if (membersToDo_ > 0)
            --membersToDo_;
        return TEntryResult::Skipped;
    };
    if (header.FileName.empty())
        return succeed(); // a directory: nothing to write in stream mode
    if (header.EffectiveStartDisk() != currentDisk_)
        return skip(); // on another part of a set, which this reader cannot open

    // The local header is only used to find the data; the central directory is authoritative.
    TArchiveFileStream& stream = *archive_;
    const uint64_t localOffset = header.EffectiveLocalHeaderOffset();
    if (localOffset > static_cast<uint64_t>(INT64_MAX))
        throw EFatalUnzipError(ZipMessages::kPrematureEnd);
    uint8_t local[kLocalHeaderSize] = {};
    stream.Seek(static_cast<int64_t>(localOffset), TSeekOrigin::Begin);
    stream.Read(local, sizeof local);
    TByteReader localRecord(local, sizeof local);
    const uint64_t dataOffset =
        localOffset + kLocalHeaderSize + localRecord.U16(Local::kNameLength) + localRecord.U16(Local::kExtraLength);

    if (OnStartUnZip) {
        bool skipIt = false;
        OnStartUnZip(index, skipIt);
        if (skipIt)
            return TEntryResult::Skipped;
    }

    uint64_t compressed = header.EffectiveCompressedSize();
    std::optional<TZipCrypto> crypto;
    if (header.IsEncrypted()) {
        if (Password.empty() || compressed < kEncryptionHeaderSize)
            return skip();
        uint8_t encryptionHeader[kEncryptionHeaderSize];
        stream.Seek(static_cast<int64_t>(dataOffset), TSeekOrigin::Begin);
        if (stream.Read(encryptionHeader, sizeof encryptionHeader) != sizeof encryptionHeader)
            return skip();
        crypto.emplace(Password);
        const uint8_t check = header.HasDataDescriptor() ? static_cast<uint8_t>(header.DateTime >> 8)
                                                         : static_cast<uint8_t>(header.Crc32 >> 24);
        if (!crypto->CheckHeader(encryptionHeader, check)) {
            std::string newPassword = Password;
            if (OnBadPassword && OnBadPassword(index, newPassword) && newPassword != Password) {
                Password = newPassword;
                return TEntryResult::Retry;
            }
            return skip();
        }
        // The encryption header is part of the compressed size.
        compressed -= kEncryptionHeaderSize;
    }

    TStream& target = *target_;
    const uint64_t uncompressed = header.EffectiveUncompressedSize();
    if (target.Size() == 0 && KnownMethod(header.Method) && uncompressed <= PlausibleSize(compressed))
        target.SetSize(uncompressed); // a refusal only means the stream grows as it is written
    target.SetPosition(0);
    runningCrc_ = 0xFFFFFFFFu;
    const uint64_t dataStart = dataOffset + (crypto ? kEncryptionHeaderSize : 0);
    stream.Seek(dataStart > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(dataStart),
                TSeekOrigin::Begin);

    TMemberIo io(*this, compressed, uncompressed, crypto ? &*crypto : nullptr);
    bool known = true;
    try {
        switch (header.Method) {
        case kMethodStored:
            io.CopyStored();
            break;
        case kMethodShrunk:
            UnshrinkMember(io, io, uncompressed);
            break;
        case kMethodImploded:
            ExplodeMember(io, io, uncompressed, (header.Flags & kFlagImplode8KDictionary) != 0,
                          (header.Flags & kFlagImplodeLiteralTree) != 0);
            break;
        case kMethodDeflated:
            InflateMember(io, io);
            break;
        default:
            if (header.Method >= kMethodReduced1 && header.Method <= kMethodReduced4) {
                UnreduceMember(io, io, uncompressed, header.Method - kMethodReduced1 + 1);
            } else {
                known = false;
                platform_.MessageBox->ShowMessage(ZipMessages::kUnknownMethod, ZipMessages::kZipErrorCaption);
            }
            break;
        }
    } catch (const EBiggerThanUncompressed&) {
        // The bytes written so far stay; the CRC decides.
    }

    const uint32_t finalCrc = ~runningCrc_;
    if (known && (finalCrc == header.Crc32 || !VerifyCrc))
        return succeed();
    if (membersToDo_ > 0)
        --membersToDo_;
    if (header.IsEncrypted()) {
        std::string newPassword = Password;
        if (OnBadPassword && OnBadPassword(index, newPassword) && newPassword != Password) {
            Password = newPassword;
            return TEntryResult::Retry;
        }
    } else if (OnBadCRC) {
        OnBadCRC(finalCrc, header.Crc32, index);
    }
    return TEntryResult::Failed;
}

bool ExtractMemberToMemory(TZipReader& reader, const std::string& path, TMemoryStream& stream) {
    const std::ptrdiff_t index = reader.FindEntry(path);
    if (index < 0)
        return false;
    return reader.ExtractEntryToStream(static_cast<size_t>(index), stream);
}

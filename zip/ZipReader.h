#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zip/ArchiveFile.h"
#include "zip/SortedEntryList.h"
#include "zip/Streams.h"
#include "zip/ZipEntry.h"
#include "zip/ZipErrors.h"
#include "zip/ZipPlatform.h"

enum class TMultiDiskMode { None, RemovableDiskSet, SplitFiles };

// Reads ZIP archives (with the Zip64 extensions) and extracts members into streams.
//
//   TZipReader reader;                      // or TZipReader reader(platform)
//   reader.SetZipName(apkPath);
//   reader.LoadDirectory();                 // optional: extraction loads it when needed
//   TMemoryStream icon;
//   int count = reader.ExtractToStream(&icon, "res\\drawable-hdpi\\icon.png");
//
// Names inside the reader use '\' as separator. ExtractToStream takes a pattern (see
// MatchWildcard); FindEntry and ExtractEntryToStream work on one exact entry. Entries are listed by
// Count() and Entry(i), in archive order unless SortMode says otherwise.
//
// Long loops let the host run (the platform's message pump); the host may call Cancel() or
// SetPaused() from there. A reader is used from one thread.
class TZipReader {
public:
    TZipReader();
    explicit TZipReader(const TZipPlatform& platform);
    virtual ~TZipReader();
    TZipReader(const TZipReader&) = delete;
    TZipReader& operator=(const TZipReader&) = delete;

    // The archive path. Setting a different path (ignoring letter case) drops what was read.
    const std::string& ZipName() const { return zipName_; }
    virtual void SetZipName(const std::string& name);

    // Order of the view that Entry() and the extraction walk; ByNone is archive order.
    TZipSortMode SortMode() const { return sortMode_; }
    void SetSortMode(TZipSortMode mode);

    // Settings, with their defaults.
    TIncompleteZipMode IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    bool KeepZipOpen = false;
    bool DoProcessMessages = true;
    TOEMConvert OEMConvert = TOEMConvert::oemAlways;
    std::vector<std::string> FilesList; // names or patterns to extract; empty after each extraction
    bool DoAll = false;
    bool RecreateDirs = false;
    std::string Password; // for traditionally encrypted members; empty: they are skipped
    // False: members are not checked against their CRC-32 while they come out (and count as
    // extracted whatever it is), for a caller that checks the bytes itself later.
    bool VerifyCrc = true;

    // Events; all optional.
    std::function<void(TZipReader& reader, TIncompleteZipMode& mode)> OnInCompleteZip;
    std::function<void(size_t count, bool& stop, uint64_t totalBytes)> OnStartUnZipInfo;
    std::function<void(size_t index, bool& skip)> OnStartUnZip;
    std::function<void(size_t index)> OnEndUnZip;
    std::function<void(size_t index)> OnSkippingFile;
    std::function<void(uint32_t calculatedCrc, uint32_t storedCrc, size_t index)> OnBadCRC;
    // Offered a member whose password check or CRC failed; return true with a different password
    // in newPassword to try the member again.
    std::function<bool(size_t index, std::string& newPassword)> OnBadPassword;
    std::function<void(int percent)> OnFilePercentDone;
    std::function<void(int percent)> OnTotalPercentDone;
    std::function<void(size_t successCount)> OnUnZipComplete;

    // Reads the directory. An archive without an end record (in the default mode) raises nothing
    // here; the next operation that needs the directory raises EIncompleteZip. Other failures
    // clear the directory and the name, then raise. The file is closed afterwards unless
    // KeepZipOpen.
    void LoadDirectory();
    // Extracts every member whose path matches name into stream, each from position 0; returns
    // how many came out with a matching CRC. A blank name or no stream: 0, nothing read.
    int ExtractToStream(TStream* stream, const std::string& name);

    // For callers that want one exact member: the index (into the view) of the entry whose stored
    // path equals path ('/' or '\' as separator, letter case of A to Z ignored), or -1. Loads
    // the directory when needed.
    std::ptrdiff_t FindEntry(const std::string& path);
    // Extracts the entry at index into stream (from position 0); true when its CRC matched.
    bool ExtractEntryToStream(size_t index, TStream& stream);

    // The loaded directory, through the view (empty while none is loaded).
    size_t Count() const;
    const TZipEntryInfo& Entry(size_t index) const;
    const TEndOfCentralDir& EndOfCentral() const { return endOfCentral_; }
    bool Rebuilt() const { return rebuilt_; }   // the directory came from the local headers
    bool Repaired() const { return repaired_; } // the last LoadDirectory had to rebuild
    TMultiDiskMode MultiDiskMode() const { return multiDisk_; }
    bool Busy() const { return busy_ != 0 || busy2_ != 0; }

    // Host requests, seen at the next checkpoint of a long loop.
    void Cancel() { cancel_ = true; }
    void SetPaused(bool paused) { pause_ = paused; }
    bool Paused() const { return pause_; }

    void SetPlatform(const TZipPlatform& platform) { platform_ = platform; }
    const TZipPlatform& Platform() const { return platform_; }

    // Opens the archive and reads the directory unless it is loaded and the file is unchanged.
    void EnsureDirectory();
    // Closes the archive file unless KeepZipOpen.
    void CloseArchive();
    // Rebuilds the view for a sort mode.
    void ApplySortMode(TZipSortMode mode);

private:
    class TMemberIo;
    enum class TEntryResult { Success, Failed, Skipped, Retry };
    struct TSelection; // what ExtractSelected picks

    void ReadDirectory();
    bool RebuildFromLocalHeaders();
    void ClearDirectory();
    void FreeDirectory();
    void Checkpoint(bool allowPause);
    int ExtractSelected(const TSelection& selection);
    int ExtractSelectionToStream(TStream& stream, const TSelection& selection);
    TEntryResult ExtractEntry(size_t index);
    TSortedEntryList* View() const;
    void RefuseWhenBusy() const;

    TZipPlatform platform_;
    std::string zipName_;
    TZipSortMode sortMode_ = TZipSortMode::ByNone;
    std::unique_ptr<TArchiveFileStream> archive_;
    std::unique_ptr<TSortedEntryList> directory_;
    std::unique_ptr<TSortedEntryList> separateView_;
    TEndOfCentralDir endOfCentral_;
    TZipEntryInfo workingHeader_;
    int64_t archiveTime_ = 0;
    bool rebuilt_ = false;
    bool repaired_ = false;
    uint32_t currentDisk_ = 0;
    TMultiDiskMode multiDisk_ = TMultiDiskMode::None;
    bool cancel_ = false;
    bool pause_ = false;
    uint8_t busy_ = 0;
    uint8_t busy2_ = 0;

    // Extraction state, alive during ExtractToStream.
    TStream* target_ = nullptr;
    bool streamMode_ = false;
    uint32_t runningCrc_ = 0;
    uint64_t totalBytes_ = 0;
    uint64_t totalProduced_ = 0;
    size_t membersToDo_ = 0;
    size_t successCount_ = 0;
    std::unique_ptr<uint8_t[]> inputBuffer_; // one compressed piece, while extracting
    size_t inputBufferSize_ = 0;
};

// Extracts the member stored under path (exact, see FindEntry) into memory. False when there is
// no such member or its CRC did not match; errors of the archive raise as usual.
bool ExtractMemberToMemory(TZipReader& reader, const std::string& path, TMemoryStream& stream);

// Feeds arbitrary bytes to the reader as an archive file: directory load (normally and with the
// rebuild from local headers), listing, and extraction of every member.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "zip/ZipReader.h"

#ifdef _WIN32
#include <process.h>
#define VARNEL_GETPID _getpid
#else
#include <unistd.h>
#define VARNEL_GETPID getpid
#endif

namespace {

std::string ScratchPath() {
    static const std::string path = "/tmp/varnel-zip-fuzz-" + std::to_string(VARNEL_GETPID()) + ".zip";
    return path;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

void Exercise(const std::string& path, TIncompleteZipMode mode, const char* password) {
    TZipReader reader;
    reader.IncompleteZipMode = mode;
    reader.Password = password;
    try {
        reader.SetZipName(path);
        reader.LoadDirectory();
        size_t names = 0;
        for (size_t i = 0; i < reader.Count(); ++i)
            names += reader.Entry(i).FullPath().size();
        (void)names;
        TCountingStream sink;
        reader.ExtractToStream(&sink, "*");
        if (reader.Count() > 0) {
            TMemoryStream memory(uint64_t(16) << 20);
            reader.ExtractEntryToStream(0, memory);
        }
    } catch (const std::exception&) {
        // Every failure must arrive as one of the reader's exceptions; crashes and hangs are the bugs.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ScratchPath();
    if (!WriteFile(path, data, size))
        return 0;
    Exercise(path, TIncompleteZipMode::izAssumeMulti, "");
    // The seeds' encrypted archive uses this password, so decryption gets exercised too.
    Exercise(path, TIncompleteZipMode::izAssumeBad, "secret");
    std::remove(path.c_str());
    return 0;
}

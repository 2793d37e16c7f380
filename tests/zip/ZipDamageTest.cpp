// Damaged archives: every byte of a small archive with one member per method flipped, zeroed and
// inverted, and the archive cut at every length. The reader must end each time with a result or
// one of its exceptions (the sanitizers and the time-out catch the rest). Inputs that once broke
// the reader (fuzzing finds) stay in regressions/.
#include <doctest/doctest.h>

#include <filesystem>

#include "ZipTestSupport.h"
#include "zip/ZipReader.h"

namespace {

// Loads and extracts everything, in the default mode and with the rebuild from local headers;
// returns the number of members extracted.
int Exercise(const std::string& path) {
    int extracted = 0;
    for (TIncompleteZipMode mode : {TIncompleteZipMode::izAssumeMulti, TIncompleteZipMode::izAssumeBad}) {
        TZipReader reader;
        reader.IncompleteZipMode = mode;
        try {
            reader.SetZipName(path);
            reader.LoadDirectory();
            TCountingStream sink;
            extracted += reader.ExtractToStream(&sink, "*");
        } catch (const std::runtime_error& e) {
            CHECK(*e.what() != 0);
        }
    }
    return extracted;
}

} // namespace

TEST_CASE("the small archive of every method extracts completely") {
    TZipReader reader;
    reader.SetZipName(ZipData("small_methods.zip"));
    reader.LoadDirectory();
    const std::vector<uint8_t> expected = ReadBytes(ZipData("expected/small.txt"));
    REQUIRE(reader.Count() == 11);
    for (size_t i = 0; i < reader.Count(); ++i) {
        CAPTURE(reader.Entry(i).FullPath());
        TMemoryStream stream;
        CHECK(reader.ExtractEntryToStream(i, stream));
        CHECK(stream.Bytes() == expected);
    }
}

TEST_CASE("every byte changed, every length cut: the reader ends cleanly") {
    const std::vector<uint8_t> original = ReadBytes(ZipData("small_methods.zip"));
    REQUIRE(!original.empty());
    const std::string path = ZipData("damaged.tmp");
    for (size_t pos = 0; pos < original.size(); ++pos) {
        for (uint8_t change : {uint8_t(0x01), uint8_t(0xFF), uint8_t(0x00)}) {
            std::vector<uint8_t> damaged = original;
            damaged[pos] = change == 0 ? 0 : static_cast<uint8_t>(damaged[pos] ^ change);
            WriteBytes(path, damaged);
            CAPTURE(pos);
            Exercise(path);
        }
        std::vector<uint8_t> cut(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(pos));
        WriteBytes(path, cut);
        Exercise(path);
    }
    std::remove(path.c_str());
}

TEST_CASE("inputs that once broke the reader") {
    const std::string folder = TestPath(VARNEL_ZIP_REGRESSIONS);
    size_t count = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        if (!item.is_regular_file())
            continue;
        CAPTURE(item.path().filename().string());
        Exercise(item.path().string());
        ++count;
    }
    MESSAGE(count << " regression inputs");
}

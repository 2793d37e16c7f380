// The badging as a whole: each corpus package against what Debian's aapt printed for it at build
// time (so the Windows build is checked too, under Wine), the messages for packages that can't be
// read, and inputs that once broke the tool.
#include "AaptTestSupport.h"
#include "Badging.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// The lines of the kinds the tool prints (a last line cut short included).
std::vector<std::string> ComparedLines(const std::string& output) {
    static const char* const kPrefixes[] = {
        "package:",
        "sdkVersion:",
        "targetSdkVersion:",
        "uses-permission:",
        "uses-implied-permission:",
        "application-label",
        "application-icon-",
        "application:",
        "launchable-activity:",
    };
    std::vector<std::string> lines;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        for (const char* prefix : kPrefixes) {
            if (line.rfind(prefix, 0) == 0) {
                lines.push_back(line);
                break;
            }
        }
    }
    return lines;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST_CASE("every corpus package prints what Debian's aapt printed") {
    const std::string corpus = TestPath(VARNEL_AAPT_CORPUS);
    size_t packages = 0;
    for (const auto& item : std::filesystem::directory_iterator(corpus)) {
        if (item.path().extension() != ".badging")
            continue;
        const std::string name = item.path().stem().string();
        std::string package = CorpusPackage(name);
        if (name == "framework-res")
            package = TestPath(VARNEL_FRAMEWORK_RES_APK);
        else if (name == "sample")
            package = TestPath(VARNEL_SAMPLE_APK_FILE);
        CAPTURE(name);
        const std::string recorded = ReadFile(item.path().string());
        const size_t firstLine = recorded.find('\n');
        REQUIRE(firstLine != std::string::npos);
        const bool failed = recorded.substr(0, firstLine) != "exit 0";
        const TBadgingResult result = DumpBadgingOfFile(package);
        CHECK((result.exitCode != 0) == failed);
        CHECK(ComparedLines(result.out) == ComparedLines(recorded.substr(firstLine + 1)));
        CHECK(result.err.empty() == !failed);
        ++packages;
    }
    CHECK(packages >= 20);
}

TEST_CASE("packages that can't be read get the tool's messages and print nothing") {
    struct TCase {
        const char* name;
        std::string path;
        const char* message;
    };
    const TCase cases[] = {
        {"no such file", CorpusPackage("no-such-package"), "ERROR: dump failed because assets could not be loaded\n"},
        {"not a ZIP archive", CorpusPackage("damaged-not-a-zip"),
         "ERROR: dump failed because no AndroidManifest.xml found\n"},
        {"no manifest", CorpusPackage("damaged-no-manifest"),
         "ERROR: dump failed because no AndroidManifest.xml found\n"},
        {"manifest cut short", CorpusPackage("damaged-manifest-cut"), "ERROR: AndroidManifest.xml is corrupt\n"},
        {"table cut short", CorpusPackage("damaged-table-cut"),
         "ERROR: dump failed because the resource table is invalid/corrupt.\n"},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.name);
        const TBadgingResult result = DumpBadgingOfFile(c.path);
        CHECK(result.exitCode == 1);
        CHECK(result.out.empty());
        CHECK(result.err == c.message);
    }
    // A damaged table is reported before a missing manifest.
    const TBytes table = CorpusMember("full", "resources.arsc");
    const TByteSpan cut(table.data(), table.size() / 2);
    CHECK(DumpBadging(nullptr, &cut).err == "ERROR: dump failed because the resource table is invalid/corrupt.\n");
}

TEST_CASE("a failure leaves what was printed before it, and names the line") {
    const TBadgingResult result = DumpBadgingOfFile(CorpusPackage("broken-version"));
    CHECK(result.exitCode == 1);
    CHECK(result.out == "package: name='org.varnel.corpus.brokenversion' ");
    CHECK(result.err == "AndroidManifest.xml:4: error: ERROR getting 'android:versionCode' attribute: "
                        "attribute is not an integer value\n");
}

TEST_CASE("manifests changed at any byte, with their table, end in output or a clean failure") {
    const TBytes manifest = CorpusMember("activities", "AndroidManifest.xml");
    const TBytes table = CorpusMember("activities", "resources.arsc");
    const TByteSpan tableSpan = SpanOf(table);
    for (size_t pos = 0; pos < manifest.size(); ++pos) {
        for (uint8_t change : {uint8_t(0x01), uint8_t(0xFF)}) {
            TBytes damaged = manifest;
            damaged[pos] ^= change;
            const TByteSpan span = SpanOf(damaged);
            const TBadgingResult result = DumpBadging(&span, &tableSpan);
            CAPTURE(pos);
            CHECK((result.exitCode == 0) == result.err.empty());
        }
    }
}

TEST_CASE("inputs that once broke the tool stay harmless") {
    // Kept in the fuzzer's layout: [manifest length, 4 bytes little-endian][manifest][table].
    const std::string folder = TestPath(VARNEL_AAPT_REGRESSIONS);
    size_t inputs = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        CAPTURE(item.path().string());
        const std::string text = ReadFile(item.path().string());
        REQUIRE(text.size() >= 4);
        const size_t length = size_t(uint8_t(text[0])) | (size_t(uint8_t(text[1])) << 8) |
                              (size_t(uint8_t(text[2])) << 16) | (size_t(uint8_t(text[3])) << 24);
        const TBytes bytes(text.begin() + 4, text.end());
        const TByteSpan all = SpanOf(bytes);
        const TByteSpan manifest = all.Sub(0, length < bytes.size() ? length : bytes.size());
        const TByteSpan table = all.From(manifest.Size());
        const TBadgingResult result = DumpBadging(&manifest, length <= bytes.size() ? &table : nullptr);
        CHECK((result.exitCode == 0) == result.err.empty());
        ++inputs;
    }
    CHECK(inputs > 0);
}

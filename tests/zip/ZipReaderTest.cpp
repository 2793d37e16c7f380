// The reader on archives made by real tools, compared with Info-ZIP's unzip, and the directory and
// extraction rules on hand-made archives.
#include <doctest/doctest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

#include "ZipTestSupport.h"
#include "zip/ZipReader.h"

namespace {

struct TManifestRow {
    std::string archive;
    std::string name;
    std::string expected;
};

std::vector<TManifestRow> ReadManifest() {
    std::vector<TManifestRow> rows;
    std::ifstream in(ZipData("manifest.txt"), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        TManifestRow row;
        if (std::getline(fields, row.archive, '\t') && std::getline(fields, row.name, '\t') &&
            std::getline(fields, row.expected))
            rows.push_back(row);
    }
    return rows;
}

std::string Backslashes(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::vector<std::string> Paths(TZipReader& reader) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < reader.Count(); ++i)
        paths.push_back(reader.Entry(i).FullPath());
    return paths;
}

} // namespace

TEST_CASE("every member of the tool-made archives comes out as unzip -p gives it") {
    const std::vector<TManifestRow> rows = ReadManifest();
    REQUIRE(rows.size() > 60);
    std::map<std::string, std::unique_ptr<TZipReader>> readers;
    for (const TManifestRow& row : rows) {
        CAPTURE(row.archive);
        CAPTURE(row.name);
        auto& reader = readers[row.archive];
        if (!reader) {
            reader = std::make_unique<TZipReader>();
            reader->SetZipName(ZipData(row.archive));
            if (row.archive.find("encrypted") != std::string::npos)
                reader->Password = "secret";
        }
        const std::vector<uint8_t> expected = ReadBytes(ZipData("expected/" + row.expected));
        TMemoryStream stream;
        CHECK(reader->ExtractToStream(&stream, Backslashes(row.name)) == 1);
        CHECK(stream.Bytes() == expected);
        // The exact-name route for later users gives the same bytes.
        TMemoryStream exact;
        CHECK(ExtractMemberToMemory(*reader, row.name, exact));
        CHECK(exact.Bytes() == expected);
    }
}

TEST_CASE("traditionally encrypted members are skipped without the right password") {
    for (const char* password : {"", "wrong"}) {
        CAPTURE(password);
        TZipReader reader;
        reader.SetZipName(ZipData("izip_encrypted.zip"));
        reader.Password = password;
        int skipped = 0;
        reader.OnSkippingFile = [&](size_t) { ++skipped; };
        TMemoryStream stream;
        CHECK(reader.ExtractToStream(&stream, "binary.bin") == 0);
        // A wrong password passes the one-byte check now and then; the CRC still refuses it.
        if (*password == 0) {
            CHECK(skipped == 1);
            CHECK(stream.Size() == 0);
        }
    }
}

TEST_CASE("the system's icon path and the name rules of ExtractToStream") {
    struct TCase {
        const char* name;
        int count;
        const char* bytes;
    } cases[] = {
        {"res\\drawable-hdpi\\icon.png", 1, "icon"},
        {"RES\\Drawable-HDPI\\ICON.PNG", 1, "icon"},
        {"res/drawable-hdpi/icon.png", 0, ""},    // the stored '/' became '\'
        {" res\\drawable-hdpi\\icon.png", 0, ""}, // blanks are part of the pattern
        {"   ", 0, ""},
        {"raw\\a:\\b.png", 1, "colon"},
        {"assets\\", 0, ""}, // a directory entry is never extracted
        {"top.txt", 1, "top"},
        {"*.txt", 1, "top"},
        {"res\\*\\icon.png", 2, "other"}, // both, in archive order: the second overwrites
    };
    for (const TCase& c : cases) {
        CAPTURE(c.name);
        TZipReader reader;
        reader.SetZipName(ZipData("names.zip"));
        TMemoryStream stream;
        CHECK(reader.ExtractToStream(&stream, c.name) == c.count);
        CHECK(AsText(stream.Bytes()) == c.bytes);
    }
}

TEST_CASE("a blank name or no stream returns 0 without touching the archive") {
    TZipReader reader;
    reader.SetZipName(ZipData("no such archive.zip"));
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, " \t\r\n") == 0);
    CHECK(reader.ExtractToStream(nullptr, "x") == 0);
}

TEST_CASE("names split into directory and file name at the last backslash or colon") {
    TZipReader reader;
    reader.SetZipName(ZipData("names.zip"));
    reader.LoadDirectory();
    REQUIRE(reader.Count() == 5);
    const std::pair<std::string, std::string> expected[] = {{"raw\\a:\\", "b.png"},
                                                            {"assets\\", ""},
                                                            {"", "top.txt"},
                                                            {"res\\drawable-hdpi\\", "icon.png"},
                                                            {"RES\\Other\\", "ICON.PNG"}};
    for (size_t i = 0; i < reader.Count(); ++i) {
        CAPTURE(i);
        CHECK(reader.Entry(i).Directory == expected[i].first);
        CHECK(reader.Entry(i).FileName == expected[i].second);
        CHECK(reader.Entry(i).NameLength == expected[i].first.size() + expected[i].second.size());
    }
}

TEST_CASE("entries stand in the order of their local headers") {
    TZipReader reader;
    reader.SetZipName(ZipData("reversed_central.zip"));
    reader.LoadDirectory();
    CHECK(Paths(reader) == std::vector<std::string>{"c.txt", "a.txt", "b.txt"});
    CHECK_FALSE(reader.Repaired());
}

TEST_CASE("the other sort modes order the view") {
    struct TCase {
        TZipSortMode mode;
        std::vector<std::string> order;
    } cases[] = {
        {TZipSortMode::ByName,
         {"assets\\", "raw\\a:\\b.png", "res\\drawable-hdpi\\icon.png", "RES\\Other\\ICON.PNG", "top.txt"}},
        // Equal sizes: the entry added later stands first.
        {TZipSortMode::ByUnCompressedSize,
         {"assets\\", "top.txt", "res\\drawable-hdpi\\icon.png", "RES\\Other\\ICON.PNG", "raw\\a:\\b.png"}},
        {TZipSortMode::ByNone,
         {"raw\\a:\\b.png", "assets\\", "top.txt", "res\\drawable-hdpi\\icon.png", "RES\\Other\\ICON.PNG"}},
    };
    TZipReader reader;
    reader.SetZipName(ZipData("names.zip"));
    reader.LoadDirectory();
    for (const TCase& c : cases) {
        CAPTURE(static_cast<int>(c.mode));
        reader.SetSortMode(c.mode);
        CHECK(Paths(reader) == c.order);
    }
}

TEST_CASE("a central entry that declares extra bytes it lacks does not break the directory") {
    TZipReader reader;
    reader.SetZipName(ZipData("missing_extra.zip"));
    reader.LoadDirectory();
    REQUIRE(reader.Count() == 3);
    CHECK_FALSE(reader.Repaired());
    CHECK(reader.Entry(0).CentralExtraLength == 0);
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "third.txt") == 1);
    CHECK(AsText(stream.Bytes()) == "third");
}

TEST_CASE("Zip64 values come from the records where the fields hold the marker") {
    TZipReader reader;
    reader.SetZipName(ZipData("zip64_central.zip"));
    reader.LoadDirectory();
    const TEndOfCentralDir& end = reader.EndOfCentral();
    CHECK(end.TotalEntries == 0xFFFF);
    CHECK(end.HasZip64EndRecord());
    CHECK(end.EffectiveTotalEntries() == 2);
    REQUIRE(reader.Count() == 2);
    const TZipEntryInfo& entry = reader.Entry(0);
    CHECK(entry.UncompressedSize == 0xFFFFFFFF);
    CHECK(entry.EffectiveUncompressedSize() == 5000);
    CHECK(entry.EffectiveLocalHeaderOffset() == 0);
    CHECK(entry.EffectiveStartDisk() == 0);
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "deep\\zip64.txt") == 1);
    CHECK(stream.Size() == 5000);

    // The marker without a Zip64 record: the 32-bit value stands, and the CRC judges.
    TZipReader marker;
    marker.SetZipName(ZipData("marker_no_zip64.zip"));
    TMemoryStream out;
    CHECK(marker.ExtractToStream(&out, "marker.txt") == 1);
    CHECK(marker.Entry(0).EffectiveUncompressedSize() == 0xFFFFFFFF);
    CHECK(out.Bytes() == stream.Bytes());
}

TEST_CASE("more than 65535 entries through the Zip64 end record") {
    TZipReader reader;
    reader.SetZipName(ZipData("py_many.zip"));
    reader.LoadDirectory();
    CHECK(reader.Count() == 70000);
    CHECK(reader.EndOfCentral().EffectiveTotalEntries() == 70000);
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "many\\f69999.txt") == 1);
    CHECK(AsText(stream.Bytes()) == "69999");
}

TEST_CASE("damaged directories are rebuilt from the local headers") {
    struct TCase {
        const char* archive;
        std::vector<std::string> paths;
    } cases[] = {
        {"duplicate_offsets.zip", {"one.txt", "two.txt"}},
        {"bad_central_signature.zip", {"one.txt", "two.txt", "three.txt"}},
        {"eocd_in_comment.zip", {"real.txt"}}, // the signature nearest the end is the bogus one
    };
    for (const TCase& c : cases) {
        CAPTURE(c.archive);
        TZipReader reader;
        reader.SetZipName(ZipData(c.archive));
        reader.LoadDirectory();
        CHECK(reader.Repaired());
        CHECK(reader.Rebuilt());
        CHECK(Paths(reader) == c.paths);
        TMemoryStream stream;
        CHECK(reader.ExtractToStream(&stream, c.paths.back()) == 1);
    }
}

TEST_CASE("date-times are repaired on reading") {
    TZipReader reader;
    reader.SetZipName(ZipData("dates.zip"));
    reader.LoadDirectory();
    REQUIRE(reader.Count() == 3);
    CHECK(reader.Entry(0).DateTime == ((1u << 5 | 1u) << 16));            // 1980-01-01 00:00:00
    CHECK(reader.Entry(1).DateTime == ((23u << 11) | ((0x5A21u) << 16))); // hour 31 becomes 23
    CHECK(reader.Entry(2).DateTime == (0x6000u | (0x5A21u << 16)));       // unchanged
}

TEST_CASE("names from MS-DOS hosts are converted from the OEM code page") {
    struct TCase {
        TOEMConvert mode;
        bool gbk;
        std::vector<std::string> paths;
    } cases[] = {
        {TOEMConvert::oemAlways, false, {"dos\xFC.txt", "unix\x81.txt", "gbk\\\xFC\\.png"}},
        {TOEMConvert::oemNever, false, {"dos\x81.txt", "unix\x81.txt", "gbk\\\x81\\.png"}},
        {TOEMConvert::oemFlexible, false, {"dos\xFC.txt", "unix\x81.txt", "gbk\\\xFC\\.png"}},
        // GBK: no conversion, and the '\' that is a character's second byte does not split.
        {TOEMConvert::oemAlways, true, {"dos\x81.txt", "unix\x81.txt", "gbk\\\x81\\.png"}},
    };
    for (const TCase& c : cases) {
        CAPTURE(static_cast<int>(c.mode));
        CAPTURE(c.gbk);
        TGbkCodePage gbk;
        TZipPlatform platform = TZipPlatform::Portable();
        if (c.gbk)
            platform.CodePage = &gbk;
        TZipReader reader(platform);
        reader.OEMConvert = c.mode;
        reader.SetZipName(ZipData("oem_names.zip"));
        reader.LoadDirectory();
        CHECK(Paths(reader) == c.paths);
        if (c.gbk) {
            CHECK(reader.Entry(2).Directory == "gbk\\");
            CHECK(reader.Entry(2).FileName == "\x81\\.png");
        } else {
            CHECK(reader.Entry(2).FileName == ".png");
        }
    }
}

TEST_CASE("every match is written from position 0; the stream keeps its larger size") {
    TZipReader reader;
    reader.SetZipName(ZipData("same_name_twice.zip"));
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "dup.txt") == 2);
    CHECK(AsText(stream.Bytes()) == "shortr first member");
    CHECK(stream.Position() == 5);

    // A stream that already holds data is not resized: bytes past the member stay.
    TZipReader names;
    names.SetZipName(ZipData("names.zip"));
    TMemoryStream used;
    const std::string old = "0123456789";
    used.Write(old.data(), old.size());
    CHECK(names.ExtractToStream(&used, "top.txt") == 1);
    CHECK(AsText(used.Bytes()) == "top3456789");
}

TEST_CASE("failed members: wrong CRC, unknown method") {
    TRecordingMessageBox box;
    TZipPlatform platform = TZipPlatform::Portable();
    platform.MessageBox = &box;
    TZipReader reader(platform);
    reader.SetZipName(ZipData("bad_crc.zip"));
    std::vector<std::pair<uint32_t, uint32_t>> badCrcs;
    reader.OnBadCRC = [&](uint32_t calculated, uint32_t stored, size_t) { badCrcs.emplace_back(calculated, stored); };

    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "badcrc.txt") == 0);
    CHECK(AsText(stream.Bytes()) == "payload"); // what was produced stays
    REQUIRE(badCrcs.size() == 1);
    CHECK((badCrcs[0].first ^ badCrcs[0].second) == 1);

    TMemoryStream unknown;
    CHECK(reader.ExtractToStream(&unknown, "method7.txt") == 0);
    CHECK(box.shown == std::vector<std::string>{"Unknown Compression Method|Zip Error"});
    CHECK(unknown.Size() == 0);

    TMemoryStream all;
    CHECK(reader.ExtractToStream(&all, "*") == 1); // only ok.txt
}

TEST_CASE("errors raised out of ExtractToStream, with their messages") {
    struct TCase {
        const char* archive;
        const char* name;
        const char* message;
    } cases[] = {
        {"bad_deflate.zip", "cut.txt", "error"},
        {"bad_deflate.zip", "junk.txt", "error"},
        {"premature.zip", "premature.txt", "Premature end of file reached"},
        {"short.zip", "x", "Incomplete Zip File"},
        {"no_end_record.zip", "kept.txt", "Incomplete Zip File"},
    };
    for (const TCase& c : cases) {
        CAPTURE(c.archive);
        CAPTURE(c.name);
        TZipReader reader;
        reader.SetZipName(ZipData(c.archive));
        reader.LoadDirectory(); // swallows the missing end record
        TMemoryStream stream;
        try {
            reader.ExtractToStream(&stream, c.name);
            FAIL("no exception");
        } catch (const std::runtime_error& e) {
            CHECK(std::string(e.what()) == c.message);
        }
        CHECK_FALSE(reader.Busy());
    }
    // A target that cannot take the bytes.
    TZipReader reader;
    reader.SetZipName(ZipData("izip_deflated.zip"));
    TMemoryStream tiny(100);
    CHECK_THROWS_WITH_AS(reader.ExtractToStream(&tiny, "text.txt"), "Cant write uncompressed file", ECantWriteUCF);
}

TEST_CASE("a member's claimed size does not size the target beyond what its data can hold") {
    TZipReader reader;
    reader.SetZipName(ZipData("huge_claim.zip"));
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "claims.txt") == 1);
    CHECK(stream.Size() == 5);
}

TEST_CASE("archives without entries, and files without an end record") {
    for (const char* archive : {"empty_archive.zip", "zero_bytes.zip"}) {
        CAPTURE(archive);
        TZipReader reader;
        reader.SetZipName(ZipData(archive));
        reader.LoadDirectory();
        CHECK(reader.Count() == 0);
        TMemoryStream stream;
        CHECK(reader.ExtractToStream(&stream, "*") == 0);
    }
    struct TCase {
        TIncompleteZipMode mode;
        const char* message; // empty: loads
        size_t count;
    } cases[] = {
        {TIncompleteZipMode::izAssumeMulti, "", 0},
        {TIncompleteZipMode::izAssumeNotAZip, "Not a valid zip file!", 0},
        {TIncompleteZipMode::izAssumeBad, "", 2},
    };
    for (const TCase& c : cases) {
        CAPTURE(static_cast<int>(c.mode));
        TZipReader reader;
        reader.IncompleteZipMode = c.mode;
        reader.SetZipName(ZipData("no_end_record.zip"));
        if (*c.message != 0) {
            CHECK_THROWS_WITH(reader.LoadDirectory(), c.message);
            CHECK(reader.ZipName().empty());
            continue;
        }
        reader.LoadDirectory();
        CHECK(reader.Count() == c.count);
    }
    // The handler may choose another way; a file with no local header at all cannot be rebuilt.
    TZipReader handled;
    int asked = 0;
    handled.OnInCompleteZip = [&](TZipReader&, TIncompleteZipMode& mode) {
        ++asked;
        mode = TIncompleteZipMode::izAssumeBad;
    };
    handled.SetZipName(ZipData("no_end_record.zip"));
    handled.LoadDirectory();
    CHECK(asked == 1);
    TMemoryStream stream;
    CHECK(handled.ExtractToStream(&stream, "also.txt") == 1);

    TZipReader hopeless;
    hopeless.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    hopeless.SetZipName(ZipData("short.zip"));
    CHECK_THROWS_AS(hopeless.LoadDirectory(), EBadZipFile);
}

TEST_CASE("a file that cannot be opened: the open error, and the name is cleared") {
    TFixedErrors errors;
    TZipPlatform platform = TZipPlatform::Portable();
    platform.SystemErrors = &errors;
    TZipReader reader(platform);
    const std::string path = ZipData("missing.zip");
    reader.SetZipName(path);
    CHECK_THROWS_WITH_AS(reader.LoadDirectory(),
                         ("Cannot open file \"" + path + "\". The system cannot find the file specified").c_str(),
                         EFOpenError);
    CHECK(reader.ZipName().empty());
    reader.SetZipName(path);
    TMemoryStream stream;
    CHECK_THROWS_AS(reader.ExtractToStream(&stream, "x"), EFOpenError);
}

TEST_CASE("the directory is kept while the name and the file's time stay the same") {
    TCountingCodePage codePage;
    TZipPlatform platform = TZipPlatform::Portable();
    platform.CodePage = &codePage;
    TZipReader reader(platform);
    reader.SetZipName(ZipData("oem_names.zip"));
    reader.LoadDirectory();
    const int afterLoad = codePage.conversions;
    CHECK(afterLoad > 0);
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "unix\x81.txt") == 1);
    CHECK(codePage.conversions == afterLoad); // no second read
    reader.SetZipName(ZipData("OEM_NAMES.ZIP"));
    CHECK(reader.Count() == 3); // same path in other letter case: nothing dropped
    reader.SetZipName(ZipData("names.zip"));
    CHECK(reader.Count() == 0);
}

TEST_CASE("checkpoints dispatch messages and honour the cancel and pause flags") {
    TRecordingPump pump;
    TZipPlatform platform = TZipPlatform::Portable();
    platform.MessagePump = &pump;
    TZipReader reader(platform);
    pump.onDispatch = [&](int n) {
        if (n == 1000)
            reader.Cancel();
    };
    reader.SetZipName(ZipData("py_many.zip"));
    CHECK_THROWS_WITH_AS(reader.LoadDirectory(), "User Aborted Operation", EUserCanceled);
    CHECK(reader.ZipName().empty());

    // Pause: the reader sleeps and dispatches until the host lets it go on.
    TZipReader paused(platform);
    pump.dispatches = 0;
    pump.onDispatch = [&](int n) {
        if (n == 2)
            paused.SetPaused(true);
        if (n == 5)
            paused.SetPaused(false);
    };
    paused.SetZipName(ZipData("izip_deflated.zip"));
    TMemoryStream stream;
    CHECK(paused.ExtractToStream(&stream, "text.txt") == 1);
    CHECK(pump.sleeps == 3);

    // Cancelling during extraction.
    TZipReader cancelled(platform);
    cancelled.SetZipName(ZipData("izip_deflated.zip"));
    cancelled.LoadDirectory();
    pump.dispatches = 0;
    pump.onDispatch = [&](int n) {
        if (n == 10)
            cancelled.Cancel();
    };
    TMemoryStream partial;
    CHECK_THROWS_AS(cancelled.ExtractToStream(&partial, "*"), EUserCanceled);
    CHECK(cancelled.Count() > 0); // the loaded directory stays

    // No dispatching at all when switched off.
    TZipReader quiet(platform);
    quiet.DoProcessMessages = false;
    pump.dispatches = 0;
    pump.onDispatch = nullptr;
    quiet.SetZipName(ZipData("izip_deflated.zip"));
    TMemoryStream out;
    CHECK(quiet.ExtractToStream(&out, "*.txt") == 3);
    CHECK(pump.dispatches == 0);
}

TEST_CASE("the reader refuses to drop its state from inside its own loops") {
    TRecordingPump pump;
    TZipPlatform platform = TZipPlatform::Portable();
    platform.MessagePump = &pump;
    TZipReader reader(platform);
    bool refused = false;
    pump.onDispatch = [&](int n) {
        if (n != 3)
            return;
        try {
            reader.SetZipName(ZipData("names.zip"));
        } catch (const EZipReaderException&) {
            refused = true;
        }
    };
    reader.SetZipName(ZipData("izip_deflated.zip"));
    TMemoryStream stream;
    CHECK(reader.ExtractToStream(&stream, "text.txt") == 1);
    CHECK(refused);
}

TEST_CASE("a package built by aapt") {
    TZipReader reader;
    reader.SetZipName(ZipData("aapt_app.apk"));
    // aapt adds the implied version qualifier to density folders.
    TMemoryStream icon;
    CHECK(reader.ExtractToStream(&icon, "res\\drawable-hdpi-v4\\icon.png") == 1);
    REQUIRE(icon.Size() > 8);
    CHECK(AsText(std::vector<uint8_t>(icon.Bytes().begin(), icon.Bytes().begin() + 4)) == "\x89PNG");
    TMemoryStream manifest;
    REQUIRE(ExtractMemberToMemory(reader, "AndroidManifest.xml", manifest));
    CHECK(manifest.Bytes().at(0) == 0x03); // binary XML
    CHECK(reader.FindEntry("resources.arsc") >= 0);
    CHECK(reader.FindEntry("res/drawable-hdpi-v4/icon.png") >= 0);
    CHECK(reader.FindEntry("nothing.xml") == -1);
}

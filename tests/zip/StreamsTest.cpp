// CRC-32, the streams the reader writes to, and the buffered archive file.
#include <doctest/doctest.h>

#include <cstring>

#include "TestPaths.h"
#include "zip/ArchiveFile.h"
#include "zip/Crc32.h"
#include "zip/Streams.h"
#include "zip/ZipErrors.h"

TEST_CASE("CRC-32 of the ZIP format, whole and in pieces") {
    const char* check = "123456789";
    CHECK(Crc32(reinterpret_cast<const uint8_t*>(check), 9) == 0xCBF43926u);
    CHECK(Crc32(nullptr, 0) == 0);
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    const uint32_t whole = Crc32(data.data(), data.size());
    for (size_t split : {size_t(1), size_t(7), size_t(8), size_t(9), size_t(999)}) {
        CAPTURE(split);
        uint32_t crc = UpdateCrc32(0xFFFFFFFFu, data.data(), split);
        crc = UpdateCrc32(crc, data.data() + split, data.size() - split);
        CHECK(~crc == whole);
    }
}

TEST_CASE("the memory stream grows, keeps a gap as zeros and stays within its limit") {
    TMemoryStream stream(16);
    CHECK(stream.Write("abcd", 4) == 4);
    stream.SetPosition(6);
    CHECK(stream.Write("xy", 2) == 2);
    CHECK(std::memcmp(stream.Bytes().data(), "abcd\0\0xy", 8) == 0);
    stream.SetPosition(1);
    CHECK(stream.Write("Z", 1) == 1);
    CHECK(stream.Bytes()[1] == 'Z');
    CHECK(stream.Size() == 8);
    CHECK_FALSE(stream.SetSize(17));
    CHECK(stream.SetSize(16));
    stream.SetPosition(15);
    CHECK(stream.Write("12", 2) == 0); // would pass the limit
    CHECK(stream.SetSize(3));
    CHECK(stream.Position() == 3);
    char back[8] = {};
    stream.SetPosition(0);
    CHECK(stream.Read(back, 8) == 3);
    CHECK(std::string(back) == "aZc");
}

TEST_CASE("the counting stream counts and keeps nothing") {
    TCountingStream sink;
    sink.Write("abc", 3);
    sink.SetPosition(0);
    sink.Write("d", 1);
    CHECK(sink.BytesWritten() == 4);
    CHECK(sink.Size() == 3);
    CHECK(sink.Position() == 1);
}

TEST_CASE("the archive file stream: reads through its buffer, seeks from every origin") {
    const std::string path = TestPath(std::string(VARNEL_BINARY_DIR) + "/zip-stream-test.bin");
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        REQUIRE(file != nullptr);
        for (int i = 0; i < 20000; ++i)
            std::fputc(i % 251, file);
        std::fclose(file);
    }
    TPortableSystemErrors errors;
    TArchiveFileStream stream(path, errors, 64);
    CHECK(stream.Size() == 20000);
    uint8_t byte = 0;
    CHECK(stream.Seek(-10, TSeekOrigin::End) == 19990);
    CHECK(stream.Seek(10, TSeekOrigin::End) == 19990); // the sign is ignored from the end
    CHECK(stream.Read(&byte, 1) == 1);
    CHECK(byte == 19990 % 251);
    CHECK(stream.Seek(-1000, TSeekOrigin::Current) == 18991);
    std::vector<uint8_t> big(5000);
    CHECK(stream.Read(big.data(), big.size()) == 1009); // large reads bypass the buffer
    CHECK(big[0] == 18991 % 251);
    CHECK(stream.Seek(3, TSeekOrigin::Begin) == 3);
    CHECK(stream.Read(&byte, 1) == 1);
    CHECK(byte == 3);
    CHECK_THROWS_WITH_AS(stream.Seek(0, static_cast<TSeekOrigin>(7)), "Invalid seek origin (7)", EStreamError);
    std::remove(path.c_str());
}

TEST_CASE("the file stream writes through to disk, never sizes ahead and reports a full disk") {
    const std::string path = BinaryPath("tests/zip/file-stream-test.bin");
    {
        TFileWriteStream stream;
        REQUIRE(stream.Create(path));
        CHECK_FALSE(stream.SetSize(1 << 20)); // a claimed size buys no disk space
        CHECK(stream.Write("PK\x03\x04rest", 8) == 8);
        stream.SetPosition(2);
        CHECK(stream.Write("xy", 2) == 2); // overwrites in place
        stream.SetPosition(100);           // not past the end: no gap of bytes nobody wrote
        CHECK(stream.Position() == 8);
        CHECK(stream.Size() == 8);
        CHECK(std::memcmp(stream.Head(), "PKxy", 4) == 0);
        CHECK(stream.Close());
        CHECK(stream.Write("z", 1) == 0); // closed
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    REQUIRE(file != nullptr);
    char bytes[16] = {};
    CHECK(std::fread(bytes, 1, sizeof bytes, file) == 8);
    std::fclose(file);
    CHECK(std::memcmp(bytes, "PKxyrest", 8) == 0);
    std::remove(path.c_str());

    TFileWriteStream nowhere;
    CHECK_FALSE(nowhere.Create(BinaryPath("tests/zip/no-such-folder/file.bin")));
    CHECK(nowhere.Write("x", 1) == 0);
#ifndef _WIN32
    // Every write to /dev/full fails as on a full disk; the buffered ones show at the latest on closing.
    TFileWriteStream full;
    REQUIRE(full.Create("/dev/full"));
    std::vector<uint8_t> piece(32768, 0x5A);
    full.Write(piece.data(), piece.size());
    full.Write(piece.data(), piece.size());
    CHECK_FALSE(full.Close());
#endif
}

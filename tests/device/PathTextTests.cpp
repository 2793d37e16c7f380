#include "device/Errors.h"
#include "device/PathText.h"

#include <doctest/doctest.h>

namespace {
// GBK's lead bytes, as the ANSI code page 936 has them.
bool GbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
} // namespace

TEST_CASE("Extensions and file names, double-byte aware") {
    struct Case {
        const char* path;
        const char* extension;
        const char* fileName;
    };
    const Case cases[] = {
        {"D:\\apps\\game.apk", ".apk", "game.apk"},
        {"D:\\apps\\GAME.APK", ".APK", "GAME.APK"},
        {"D:\\apps\\readme", "", "readme"},
        {"D:\\old.files\\readme", "", "readme"},
        {"D:\\a.b\\c.tar.apk", ".apk", "c.tar.apk"},
        {"D:game.apk", ".apk", "game.apk"},
        {"game.", ".", "game."},
        {"", "", ""},
        // 0x5C is the second byte of this character (GBK 95 5C), not a folder separator.
        {"D:\\\x95\x5C.apk", ".apk", "\x95\x5C.apk"},
        {"D:\\x.apk\\\x95\x5C", "", "\x95\x5C"},
        // 0x2E as a second byte is not a dot either.
        {"D:\\a\\b\x81\x2E", "", "b\x81\x2E"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.path);
        CHECK(ExtractFileExt(c.path, GbkLeadByte) == c.extension);
        CHECK(ExtractFileName(c.path, GbkLeadByte) == c.fileName);
    }
    CHECK(SameTextAscii(".APK", ".apk"));
    CHECK(SameTextAscii(".Apk", ".apk"));
    CHECK_FALSE(SameTextAscii(".apkx", ".apk"));
    CHECK_FALSE(SameTextAscii(".ap\xCB", ".apk"));
}

TEST_CASE("System messages lose their line end and final full stop") {
    CHECK(TrimSystemMessage("The system cannot find the file specified.\r\n") ==
          "The system cannot find the file specified");
    CHECK(TrimSystemMessage("系统找不到指定的文件。\r\n") == "系统找不到指定的文件");
    CHECK(TrimSystemMessage("...") == "");
    CHECK(TrimSystemMessage("Access is denied") == "Access is denied");
}

// aapt: the package-facts tool that Varnel runs from its "adb" folder. Only "dump badging" is
// implemented; see Badging.h for what it prints.
#include <cstdio>
#include <cstring>
#include <string>

#include "PackageFile.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// Console text ends its lines with CR LF on Windows, LF elsewhere.
void Write(std::FILE* stream, const std::string& text) {
#ifdef _WIN32
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            converted += '\r';
        converted += c;
    }
    std::fwrite(converted.data(), 1, converted.size(), stream);
#else
    std::fwrite(text.data(), 1, text.size(), stream);
#endif
    std::fflush(stream);
}

const char* const kUsage = "Android Asset Packaging Tool (Varnel)\n"
                           "\n"
                           "Usage:\n"
                           " aapt d[ump] badging <package.apk>\n"
                           "   Print the package name, version, SDK levels, permissions, label, icon and\n"
                           "   launchable activity of the package.\n";

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Binary mode: the line ends are ours to choose, and UTF-8 text passes through unchanged.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    if (argc < 2) {
        Write(stderr, kUsage);
        return 2;
    }
    const std::string command = argv[1];
    if (command != "d" && command != "dump") {
        Write(stderr, "ERROR: Unknown command '" + command + "'\n" + kUsage);
        return 1;
    }
    if (argc < 3) {
        Write(stderr, "ERROR: no dump option specified\n");
        return 1;
    }
    if (std::strcmp(argv[2], "badging") != 0) {
        Write(stderr, std::string("ERROR: unknown dump option '") + argv[2] + "'\n");
        return 1;
    }
    if (argc < 4) {
        Write(stderr, "ERROR: no dump file specified\n");
        return 1;
    }
    const TBadgingResult result = DumpBadgingOfFile(argv[3]);
    Write(stdout, result.out);
    Write(stderr, result.err);
    return result.exitCode;
}

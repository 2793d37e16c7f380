// Stand-in for the SDK's aapt.exe. "aapt dump badging <package>" prints the output that the real
// tool printed for a package of the same file name, recorded in the folder "recordings" beside
// this program as "<file name>.txt"; VARNEL_FAKE_AAPT_OUTPUT names a file to print instead.
// Like aapt, it prints nothing to standard output for a package it can't read.
// VARNEL_FAKE_AAPT_DELAY_MS makes it take that long, as aapt does on a large package.
#include "StandinSupport.h"

#include <cstdlib>

int main(int argc, char** argv) {
    LogCommandLine("fake-aapt.log");
    if (argc != 4 || std::string(argv[1]) != "dump" || std::string(argv[2]) != "badging") {
        WriteErr("usage: aapt dump badging <package>\r\n");
        return 2;
    }
    const std::string delay = EnvironmentValue("VARNEL_FAKE_AAPT_DELAY_MS");
    if (!delay.empty())
        Sleep(static_cast<DWORD>(std::atoi(delay.c_str())));
    std::string output;
    const std::string forced = EnvironmentValue("VARNEL_FAKE_AAPT_OUTPUT");
    if (!forced.empty()) {
        if (!ReadWholeFile(forced, output))
            return 1;
        WriteOut(output); // verbatim: tests hand over odd bytes on purpose
        return 0;
    }
    const std::string package = argv[3];
    if (GetFileAttributesA(package.c_str()) == INVALID_FILE_ATTRIBUTES) {
        WriteErr("ERROR: dump failed because assets could not be loaded\r\n");
        return 1;
    }
    const auto slash = package.find_last_of("\\/:");
    const std::string name = slash == std::string::npos ? package : package.substr(slash + 1);
    if (!ReadWholeFile(OwnFolder() + "recordings\\" + name + ".txt", output)) {
        WriteErr("ERROR: dump failed because no AndroidManifest.xml found\r\n");
        return 1;
    }
    WriteOut(WithCrLf(output));
    return 0;
}

// Starts a program on a file the way Explorer's double-click does through the file association:
// the command line is the quoted program path, a blank and the quoted file path; several files,
// as a multiple selection gives them, each quoted after a blank.
//   shellopen.exe <program> <file> [<file>...]
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    std::string command = "\"" + std::string(argv[1]) + "\"";
    for (int i = 2; i < argc; ++i)
        command += " \"" + std::string(argv[i]) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

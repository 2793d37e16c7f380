// A console program with scripted output, for testing the command runner:
//   --text S        print S
//   --bytes N       print N bytes of a repeating alphabet pattern
//   --nul           print one NUL byte
//   --oem HEX       print the bytes given in hexadecimal
//   --stderr S      print S to the error stream
//   --sleep MS      wait
//   --linger MS     start a copy of this program that inherits standard output and sleeps for MS,
//                   as adb's background server does, then carry on without waiting for it
//   --stdin         print what standard input gives (nothing is expected)
//   --mark FILE     create FILE, so a test knows everything before it has been written
#include "StandinSupport.h"

#include <cstdlib>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--text") {
            WriteOut(value);
            ++i;
        } else if (option == "--bytes") {
            const long count = std::atol(value.c_str());
            std::string bytes(static_cast<std::size_t>(count), '\0');
            for (long k = 0; k < count; ++k)
                bytes[static_cast<std::size_t>(k)] = static_cast<char>('A' + k % 26);
            WriteOut(bytes);
            ++i;
        } else if (option == "--nul") {
            WriteOut(std::string(1, '\0'));
        } else if (option == "--oem") {
            std::string bytes;
            for (std::size_t k = 0; k + 1 < value.size(); k += 2)
                bytes += static_cast<char>(std::strtol(value.substr(k, 2).c_str(), nullptr, 16));
            WriteOut(bytes);
            ++i;
        } else if (option == "--stderr") {
            WriteErr(value);
            ++i;
        } else if (option == "--sleep") {
            Sleep(static_cast<DWORD>(std::atol(value.c_str())));
            ++i;
        } else if (option == "--linger") {
            char self[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, self, sizeof self);
            std::string command = "\"" + std::string(self) + "\" --sleep " + value;
            STARTUPINFOA startup = {};
            startup.cb = sizeof startup;
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
            PROCESS_INFORMATION info = {};
            if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &info)) {
                CloseHandle(info.hThread);
                CloseHandle(info.hProcess);
            }
            ++i;
        } else if (option == "--mark") {
            const HANDLE mark = CreateFileA(value.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (mark != INVALID_HANDLE_VALUE)
                CloseHandle(mark);
            ++i;
        } else if (option == "--stdin") {
            char buffer[256];
            DWORD read = 0;
            const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
            if (in != nullptr && in != INVALID_HANDLE_VALUE && ReadFile(in, buffer, sizeof buffer, &read, nullptr))
                WriteOut(std::string(buffer, read));
        }
    }
    return 0;
}

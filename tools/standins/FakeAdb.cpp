// Stand-in for the SDK's adb.exe, playing an attached phone. The scenario comes from the
// environment variable VARNEL_ADB_SCENARIO, else from the first line of "scenario.txt" beside this
// program, else it is "device":
//   device        one phone attached; install and uninstall print "Success"
//   nodevice      the listing has its heading only
//   empty         the listing is empty
//   unauthorized  a phone that has not accepted this computer
//   fail          a phone attached; install and uninstall fail
//   successword   a phone attached; the output holds "Success" inside a longer word
//   lowercase     a phone attached; the output says "success" in lower case
// Every call is logged in "fake-adb.log" beside this program; VARNEL_ADB_DELAY_MS makes install
// and uninstall take that long (default 1500, so the busy state can be seen).
#include "StandinSupport.h"

#include <cstdlib>

namespace {

std::string Scenario() {
    std::string scenario = EnvironmentValue("VARNEL_ADB_SCENARIO");
    if (scenario.empty()) {
        std::string content;
        if (ReadWholeFile(OwnFolder() + "scenario.txt", content))
            scenario = content.substr(0, content.find_first_of("\r\n"));
    }
    return scenario.empty() ? "device" : scenario;
}

void Wait() {
    const std::string delay = EnvironmentValue("VARNEL_ADB_DELAY_MS");
    Sleep(delay.empty() ? 1500 : static_cast<DWORD>(std::atoi(delay.c_str())));
}

} // namespace

int main(int argc, char** argv) {
    LogCommandLine("fake-adb.log");
    const std::string scenario = Scenario();
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "devices") {
        if (scenario == "empty")
            return 0;
        std::string listing = "List of devices attached\r\n";
        if (scenario == "unauthorized")
            listing += "R58M40ABCDE\tunauthorized\r\n";
        else if (scenario != "nodevice")
            listing += "R58M40ABCDE\tdevice\r\n";
        WriteOut(listing + "\r\n");
        return 0;
    }
    if (command == "install" || command == "uninstall") {
        if (command == "install") {
            // Recorded so tests can see which file the program handed over, and whether it existed.
            const std::string path = argc > 3 ? argv[3] : "";
            std::ofstream log(OwnFolder() + "fake-adb-files.log", std::ios::binary | std::ios::app);
            log << path << "\t" << (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? "exists" : "missing")
                << "\r\n";
        }
        Wait();
        if (command == "install")
            WriteOut("Performing Streamed Install\r\n");
        if (scenario == "fail")
            WriteOut("Failure [INSTALL_FAILED_VERSION_DOWNGRADE]\r\n");
        else if (scenario == "successword")
            WriteOut("Unsuccessful? No: PartialSuccessful\r\n");
        else if (scenario == "lowercase")
            WriteOut("success\r\n");
        else
            WriteOut("Success\r\n");
        return 0;
    }
    WriteErr("adb: unknown command " + command + "\r\n");
    return 1;
}

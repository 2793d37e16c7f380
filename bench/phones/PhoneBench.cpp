// Installs the sample onto phones played by the adb stand-in, whose installs take a fixed time
// each, through the program's own runner and install flow: the time for one phone beside the time
// for eight. adb serves phones independently, so eight should take about as long as one.
//   phone_bench <folder holding adb\adb.exe> <package> <ms per install>
#include "device/PhoneOperations.h"
#include "device/SystemWin.h"
#include "device/ToolRunnerWin.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

class QuietView : public IPhoneView {
public:
    std::string status;
    void ShowStatus(const std::string& text, StatusColor) override { status = text; }
    void ShowDriverHint(bool) override {}
    void ShowReason(const std::string&, const std::string&) override {}
    void SetBusy(bool) override {}
    void InstallSucceeded() override {}
    bool IsClosed() override { return false; }
};

// Seconds for one install onto `phones` phones, best of three.
double Measure(const std::string& folder, const std::string& apk, int phones, int ms) {
    const std::string script = folder + "bench-script.txt";
    {
        std::ofstream out(script, std::ios::binary);
        for (int i = 0; i < phones; ++i)
            out << "phone BENCH" << i << " device delay=" << ms << "\n";
    }
    SetEnvironmentVariableA("VARNEL_ADB_SCRIPT", script.c_str());
    WindowsToolRunner runner(nullptr, nullptr);
    PhoneTools tools{folder, runner, WindowsSystem()};
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        QuietView view;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        InstallPackage(apk, std::string(), tools, view);
        QueryPerformanceCounter(&end);
        if (view.status != "程序安装成功！") {
            std::fprintf(stderr, "the install did not succeed on %d phones\n", phones);
            std::exit(1);
        }
        const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        best = seconds < best ? seconds : best;
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: phone_bench <program folder> <package> <ms per install>\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    const int ms = std::atoi(argv[3]);
    const double one = Measure(folder, argv[2], 1, ms);
    const double eight = Measure(folder, argv[2], 8, ms);
    std::printf("install taking %d ms a phone, best of 3 (the device listing included)\n", ms);
    std::printf("  1 phone : %6.2f s\n", one);
    std::printf("  8 phones: %6.2f s\n", eight);
    std::printf("  8 phones take %.2fx the time of one (goal: at most 1.5x)\n", eight / one);
    return 0;
}

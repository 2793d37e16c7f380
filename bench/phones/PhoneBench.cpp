// Installs the sample onto phones played by the adb stand-in, whose installs take a fixed time
// each, through the program's own runner and install flow: one phone's plain install (the listing
// and the install, as before phones were asked anything) beside eight phones that are each first
// asked their name (getprop) and what they have of the package (dumpsys). adb serves phones
// independently, so eight should take little longer than one.
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
    bool AskDowngrade(const std::string&) override { return true; }
    bool AskReplace(const std::string&) override { return true; }
    bool AskNotIntact(const std::string&) override { return true; }
    void ShowResults(const InstallResults&) override {}
};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// The program's runner, timing each batch of tools it starts together.
class TimingRunner : public IToolRunner {
public:
    std::string batches;
    void RunAll(std::vector<ToolRun>& runs, const ToolProgress& progress) override {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        inner_.RunAll(runs, progress);
        QueryPerformanceCounter(&end);
        char text[64];
        std::snprintf(text, sizeof text, " %zux%.2fs", runs.size(), Seconds(start, end));
        batches += text;
    }

private:
    WindowsToolRunner inner_{nullptr, nullptr};
};

// Seconds for one install onto `phones` phones, best of three. `asked`: each round meets the
// phones anew, asks each its name and what it has, and the package is known; otherwise the phone
// is known from the round before and the package's facts are not, so nothing is asked.
double Measure(const std::string& folder, const std::string& apk, int phones, int ms, bool asked) {
    const std::string script = folder + "bench-script.txt";
    {
        std::ofstream out(script, std::ios::binary);
        out << "package 12:1.2.0\n";
        for (int i = 0; i < phones; ++i)
            out << "phone BENCH" << i << " device delay=" << ms << " brand=Xiaomi \"name=Redmi Note " << i
                << "\" installed=11:1.1.0\n";
    }
    SetEnvironmentVariableA("VARNEL_ADB_SCRIPT", script.c_str());
    TimingRunner runner;
    PhoneTools known{folder, runner, WindowsSystem()};
    double best = 1e9;
    std::string batchesOfBest;
    for (int round = 0; round < 3; ++round) {
        QuietView view;
        PhoneTools fresh{folder, runner, WindowsSystem()};
        PackageToInstall package;
        package.file = apk;
        if (asked) {
            package.packageName = "com.quorly.varnel.sample";
            package.versionCode = 12;
            package.versionName = "1.2.0";
        }
        LARGE_INTEGER start, end;
        runner.batches.clear();
        QueryPerformanceCounter(&start);
        InstallPackage(package, asked ? fresh : known, view);
        QueryPerformanceCounter(&end);
        if (view.status != "程序安装成功！") {
            std::fprintf(stderr, "the install did not succeed on %d phones\n", phones);
            std::exit(1);
        }
        const double seconds = Seconds(start, end);
        if (seconds < best) {
            best = seconds;
            batchesOfBest = runner.batches;
        }
    }
    std::printf("  %d phone(s)%s, tools started together and their seconds:%s\n", phones, asked ? ", asked" : "",
                batchesOfBest.c_str());
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
    const double one = Measure(folder, argv[2], 1, ms, false);
    const double oneAsked = Measure(folder, argv[2], 1, ms, true);
    const double eightPlain = Measure(folder, argv[2], 8, ms, false);
    const double eight = Measure(folder, argv[2], 8, ms, true);
    std::printf("install taking %d ms a phone, best of 3 (the device listing included)\n", ms);
    std::printf("  1 phone, plain install              : %6.2f s\n", one);
    std::printf("  1 phone, asked its name and version : %6.2f s\n", oneAsked);
    std::printf("  8 phones, plain install             : %6.2f s (%.2fx)\n", eightPlain, eightPlain / one);
    std::printf("  8 phones, asked their names and versions: %6.2f s\n", eight);
    std::printf("  8 phones asked take %.2fx the time of one plain install (goal: at most 1.5x)\n", eight / one);
    return 0;
}

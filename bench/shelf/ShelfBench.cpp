// Installs a list of packages onto phones played by the adb stand-in, whose installs take a fixed time
// each, through the program's own runner and list run: every phone takes the packages one at a time
// and all phones work at once, so the run should take little longer than one phone's installs back to
// back. Each phone is first asked its name and what it has of each package, as in the program.
//   shelf_bench <folder holding adb\adb.exe and package0.apk...> <packages> <phones> <ms per install>
#include "device/ShelfRun.h"
#include "device/SystemWin.h"
#include "device/ToolRunnerWin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

class QuietView : public IPhoneView {
public:
    std::string status;
    std::size_t rows = 0;
    void ShowStatus(const std::string& text, StatusColor) override { status = text; }
    void ShowDriverHint(bool) override {}
    void ShowReason(const std::string&, const std::string&) override {}
    void SetBusy(bool) override {}
    void InstallSucceeded() override {}
    bool IsClosed() override { return false; }
    bool AskDowngrade(const std::string&) override { return true; }
    bool AskReplace(const std::string&) override { return true; }
    bool AskNotIntact(const std::string&) override { return true; }
    void ShowResults(const InstallResults& results) override { rows = results.rows.size(); }
};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: shelf_bench <folder> <packages> <phones> <ms per install>\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    const int packages = std::atoi(argv[2]);
    const int phones = std::atoi(argv[3]);
    const int ms = std::atoi(argv[4]);
    const std::string script = folder + "bench-script.txt";
    {
        std::ofstream out(script, std::ios::binary);
        out << "package 12:1.2.0\n";
        for (int i = 0; i < phones; ++i)
            out << "phone BENCH" << i << " device delay=" << ms << " brand=Xiaomi \"name=Redmi Note " << i
                << "\" installed=11:1.1.0\n";
    }
    SetEnvironmentVariableA("VARNEL_ADB_SCRIPT", script.c_str());
    std::vector<ShelfPackage> shelf(static_cast<std::size_t>(packages));
    for (int k = 0; k < packages; ++k) {
        ShelfPackage& entry = shelf[static_cast<std::size_t>(k)];
        entry.package.file = folder + "package" + std::to_string(k) + ".apk";
        entry.package.packageName = "com.quorly.varnel.sample";
        entry.package.versionCode = 12;
        entry.package.versionName = "1.2.0";
        entry.label = "package" + std::to_string(k);
    }
    WindowsToolRunner runner(nullptr, nullptr);
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        // Each round meets the phones anew, as a fresh window would.
        DeleteFileA((folder + "adb\\fake-adb-state.txt").c_str());
        PhoneTools tools{folder, runner, WindowsSystem()};
        QuietView view;
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        InstallShelf(shelf, tools, view);
        QueryPerformanceCounter(&end);
        if (view.status != "程序安装成功！" || view.rows != std::size_t(packages) * std::size_t(phones)) {
            std::fprintf(stderr, "the run did not succeed everywhere: %zu rows\n", view.rows);
            return 1;
        }
        best = std::min(best, Seconds(start, end));
    }
    const double reference = packages * ms / 1000.0;
    std::printf("%d packages onto %d phones, installs taking %d ms each, best of 3\n", packages, phones, ms);
    std::printf("  the run (the listing and the questions to each phone included): %6.2f s\n", best);
    std::printf("  %d installs back to back (the reference):                       %6.2f s\n", packages, reference);
    std::printf("  ratio %.2fx (goal: at most 1.2x)\n", best / reference);
    return 0;
}

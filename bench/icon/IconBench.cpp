// icon_bench <aapt> <vector.apk> <png.apk>: the time from a package being chosen to its icon being
// drawn, as Varnel spends it: our aapt run as a program on the package, its lines read into the
// facts, then the icon loaded and drawn (or decoded) and fitted into the box. For a package whose
// icon is an adaptive icon of vector layers against the same package with PNG icons, at 96 and
// 192 DPI: the best of many rounds side by side with the ratio, and the icon step alone.
#include "apkinfo/PackageFacts.h"
#include "apkinfo/PackageIcon.h"
#include "FakeSystem.h"
#include "device/TextSplit.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

double Milliseconds(TClock::time_point since) {
    return std::chrono::duration<double, std::milli>(TClock::now() - since).count();
}

// What `aapt dump badging <apk>` prints, read through a pipe as the window reads it.
std::string RunAapt(const std::string& aapt, const std::string& apk) {
    int fds[2];
    if (pipe(fds) != 0)
        return std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const char* argv[] = {aapt.c_str(), "dump", "badging", apk.c_str(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, aapt.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, size_t(got));
    close(fds[0]);
    if (spawned == 0)
        waitpid(pid, nullptr, 0);
    return out;
}

struct TTimes {
    double total = 1e9; // chosen to drawn
    double icon = 1e9;  // the icon step alone
};

TTimes Time(const std::string& aapt, const std::string& apk, unsigned dpi, int rounds) {
    const auto box = static_cast<std::uint32_t>((72 * dpi + 48) / 96);
    FakeSystem system;
    TTimes best;
    for (int i = 0; i < rounds; ++i) {
        const auto start = TClock::now();
        const PackageFacts facts = ReadPackageFacts(SplitText(RunAapt(aapt, apk), "\n"), system);
        if (facts.iconMembers.empty()) {
            std::fprintf(stderr, "no icon line for %s\n", apk.c_str());
            std::exit(1);
        }
        const auto iconStart = TClock::now();
        RgbaImage icon;
        if (!LoadPackageIcon(apk, facts.iconMembers.back(), box, TZipPlatform::Portable(), icon, dpi)) {
            std::fprintf(stderr, "no icon for %s\n", apk.c_str());
            std::exit(1);
        }
        best.icon = std::min(best.icon, Milliseconds(iconStart));
        best.total = std::min(best.total, Milliseconds(start));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: icon_bench <aapt> <vector.apk> <png.apk>\n");
        return 2;
    }
    const char* env = std::getenv("ICON_BENCH_ROUNDS");
    const int rounds = env ? std::max(1, std::atoi(env)) : 200;
    std::printf("%-8s %-22s %12s %12s %7s\n", "display", "", "vector icon", "PNG icon", "ratio");
    for (const unsigned dpi : {96u, 192u}) {
        const TTimes vector = Time(argv[1], argv[2], dpi, rounds);
        const TTimes png = Time(argv[1], argv[3], dpi, rounds);
        std::printf("%3u DPI  %-22s %9.3f ms %9.3f ms %6.2fx\n", dpi, "chosen to icon drawn", vector.total, png.total,
                    vector.total / png.total);
        std::printf("%-8s %-22s %9.3f ms %9.3f ms %6.2fx\n", "", "the icon step alone", vector.icon, png.icon,
                    vector.icon / png.icon);
    }
    return 0;
}

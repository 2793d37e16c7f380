// Times our aapt against Debian's over a set of packages, as Varnel uses the tool: one process per
// "dump badging", output thrown away. Each package is run by both tools in turn, several rounds;
// the best round of each counts. Prints the times per package, the totals and the ratio.
//
//   aapt_bench <our aapt> <reference aapt> <rounds> <package or @list>...
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Seconds one run of tool on package takes, or a negative value when it could not be started.
double TimeOnce(const std::string& tool, const std::string& package) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>(tool.c_str()), const_cast<char*>("dump"), const_cast<char*>("badging"),
                               const_cast<char*>(package.c_str()), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: aapt_bench <our aapt> <reference aapt> <rounds> <package or @list>...\n");
        return 2;
    }
    const std::string ours = argv[1];
    const std::string reference = argv[2];
    const int rounds = std::max(1, std::atoi(argv[3]));
    std::vector<std::string> packages;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '@') {
            std::ifstream list(arg.substr(1));
            for (std::string line; std::getline(list, line);) {
                if (!line.empty())
                    packages.push_back(line);
            }
        } else {
            packages.push_back(arg);
        }
    }

    std::vector<double> bestOurs(packages.size(), 1e9);
    std::vector<double> bestReference(packages.size(), 1e9);
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < packages.size(); ++i) {
            const double a = TimeOnce(reference, packages[i]);
            const double b = TimeOnce(ours, packages[i]);
            if (a < 0 || b < 0) {
                std::fprintf(stderr, "could not start a tool\n");
                return 1;
            }
            bestReference[i] = std::min(bestReference[i], a);
            bestOurs[i] = std::min(bestOurs[i], b);
        }
    }
    double totalOurs = 0;
    double totalReference = 0;
    std::printf("%-32s %12s %12s %8s\n", "package", "aapt ms", "ours ms", "ratio");
    for (size_t i = 0; i < packages.size(); ++i) {
        std::printf("%-32s %12.2f %12.2f %7.1fx\n", BaseName(packages[i]).c_str(), bestReference[i] * 1e3,
                    bestOurs[i] * 1e3, bestReference[i] / bestOurs[i]);
        totalOurs += bestOurs[i];
        totalReference += bestReference[i];
    }
    std::printf("%-32s %12.2f %12.2f %7.1fx\n", "whole corpus", totalReference * 1e3, totalOurs * 1e3,
                totalReference / totalOurs);
    std::printf("\nours is %.1f times as fast as Debian's aapt over %zu packages (best of %d rounds)\n",
                totalReference / totalOurs, packages.size(), rounds);
    return 0;
}

// Runs our aapt and Debian's on every package given and compares what "dump badging" prints,
// line kind by line kind (the lines Varnel reads and their companions; the reference's other lines
// are left aside). Prints one row per package with matched/expected counts per kind, then the
// totals, and exits non-zero on any difference (a line, the order of lines, or whether the tool
// failed).
//
//   aapt_compare <our aapt> <reference aapt> <package or @list file>...
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kKinds = {
    "package",
    "sdkVersion",
    "targetSdkVersion",
    "uses-permission",
    "uses-implied-permission",
    "application-label",
    "application-label-<loc>",
    "application-icon-<dpi>",
    "application",
    "launchable-activity",
};

// The kind of a line, or "" for lines the comparison leaves out.
std::string KindOf(const std::string& line) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return std::string();
    const std::string head = line.substr(0, colon);
    if (head.rfind("application-label-", 0) == 0)
        return "application-label-<loc>";
    if (head.rfind("application-icon-", 0) == 0)
        return "application-icon-<dpi>";
    for (const std::string& kind : kKinds) {
        if (head == kind)
            return kind;
    }
    return std::string();
}

struct TRun {
    std::vector<std::string> lines; // the lines of the compared kinds, in order
    bool failed = false;
};

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TRun Run(const std::string& tool, const std::string& package) {
    TRun run;
    const std::string command = Quote(tool) + " dump badging " + Quote(package) + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        run.failed = true;
        return run;
    }
    std::string output;
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    run.failed = !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // A last line without its line end (the tool stopped inside it) is compared as well.
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        if (!KindOf(line).empty())
            run.lines.push_back(line);
        start = end + 1;
    }
    return run;
}

std::vector<std::string> OfKind(const std::vector<std::string>& lines, const std::string& kind) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        if (KindOf(line) == kind)
            out.push_back(line);
    }
    return out;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: aapt_compare <our aapt> <reference aapt> <package or @list>...\n";
        return 2;
    }
    const std::string ours = argv[1];
    const std::string reference = argv[2];
    std::vector<std::string> packages;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '@') {
            std::ifstream list(arg.substr(1));
            std::string line;
            while (std::getline(list, line)) {
                if (!line.empty())
                    packages.push_back(line);
            }
        } else {
            packages.push_back(arg);
        }
    }

    std::map<std::string, std::pair<size_t, size_t>> totals; // kind -> matched, expected
    size_t differing = 0;
    std::printf("%-32s", "package");
    for (const std::string& kind : kKinds)
        std::printf(" %s", kind.c_str());
    std::printf(" order exit\n");
    for (const std::string& package : packages) {
        const TRun expected = Run(reference, package);
        const TRun actual = Run(ours, package);
        bool same = expected.lines == actual.lines && expected.failed == actual.failed;
        std::printf("%-32s", BaseName(package).c_str());
        for (const std::string& kind : kKinds) {
            const std::vector<std::string> want = OfKind(expected.lines, kind);
            const std::vector<std::string> got = OfKind(actual.lines, kind);
            size_t matched = 0;
            for (size_t i = 0; i < want.size() && i < got.size(); ++i)
                matched += want[i] == got[i] ? 1 : 0;
            if (got.size() > want.size())
                same = false;
            totals[kind].first += matched;
            totals[kind].second += want.size();
            const std::string cell = std::to_string(matched) + "/" + std::to_string(want.size());
            std::printf(" %*s", static_cast<int>(kind.size()), cell.c_str());
        }
        std::printf(" %5s %4s\n", expected.lines == actual.lines ? "ok" : "DIFF",
                    expected.failed == actual.failed ? (expected.failed ? "fail" : "ok") : "DIFF");
        if (!same) {
            ++differing;
            for (const std::string& line : expected.lines)
                std::printf("    aapt: %s\n", line.c_str());
            for (const std::string& line : actual.lines)
                std::printf("    ours: %s\n", line.c_str());
        }
    }
    std::printf("%-32s", "total");
    for (const std::string& kind : kKinds) {
        const std::string cell = std::to_string(totals[kind].first) + "/" + std::to_string(totals[kind].second);
        std::printf(" %*s", static_cast<int>(kind.size()), cell.c_str());
    }
    std::printf("\n%zu of %zu packages identical\n", packages.size() - differing, packages.size());
    return differing == 0 ? 0 : 1;
}

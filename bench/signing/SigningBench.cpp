// Verifies one package as the window will, on this thread, and prints the verdict, the schemes and
// the time it took; run.sh compares the time with `openssl dgst -sha256` of the same file.
//   signing_bench <package.apk>
#include "signing/ApkSignature.h"

#include <atomic>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: signing_bench <package.apk>\n");
        return 2;
    }
    std::atomic<bool> cancel{false};
    const auto start = std::chrono::steady_clock::now();
    const TSignatureReport report = VerifyApkSignature(argv[1], cancel);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const char* verdict = report.verdict == TSignatureVerdict::Intact   ? "intact"
                          : report.verdict == TSignatureVerdict::Broken ? "broken"
                                                                        : "unsigned";
    std::printf("%s (%s) in %.3f s\n", verdict, report.SchemesText().c_str(), seconds);
    return report.verdict == TSignatureVerdict::Intact ? 0 : 1;
}

// Opens a bundle as the window does when it is chosen: reads it, extracts the base into the
// bundle's temporary folder and reads the base's facts with our aapt's core, then lets everything
// go. Prints the time of each step; run.sh compares the whole with copying the base's bytes.
//   bundle_bench <bundle.xapk> <scratch folder/>
#include "apkinfo/OpenedBundle.h"
#include "apkinfo/PackageFacts.h"

#include "PackageFile.h"
#include "RealSystem.h"

#include <chrono>
#include <cstdio>

namespace {
double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bundle_bench <bundle.xapk> <scratch folder/>\n");
        return 2;
    }
    RealSystem system(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    double extracted = 0;
    double facts = 0;
    std::size_t pieces = 0;
    std::string package;
    {
        OpenedBundle bundle(argv[1], PackageFileKind::Xapk, system, TZipPlatform::Portable());
        extracted = Since(start);
        const TBadgingResult badging = DumpBadgingOfFile(bundle.BasePath());
        const PackageFacts read = ReadPackageFacts(SplitText(badging.out, "\n"), system);
        facts = Since(start);
        pieces = bundle.Info().pieces.size();
        package = read.packageName.value_or("?");
    }
    const double total = Since(start);
    std::printf("%s: %zu pieces; base out %.3f s, facts %.3f s, folder gone %.3f s\n", package.c_str(), pieces,
                extracted, facts, total);
    return 0;
}

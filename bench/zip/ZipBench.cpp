// Times the reader on one archive:
//   zip_bench extract <archive> <member>   one member into a stream that only counts
//   zip_bench list <archive>               the directory load
// Prints one line: the operation, its result and the wall time in seconds.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "zip/ZipReader.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zip_bench extract <archive> <member> | list <archive>\n");
        return 2;
    }
    const std::string mode = argv[1];
    try {
        const auto start = std::chrono::steady_clock::now();
        TZipReader reader;
        reader.SetZipName(argv[2]);
        if (mode == "extract" && argc >= 4) {
            TCountingStream sink;
            const int count = reader.ExtractToStream(&sink, argv[3]);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("extract members=%d bytes=%llu seconds=%.3f\n", count,
                        static_cast<unsigned long long>(sink.BytesWritten()), seconds);
            return count == 1 ? 0 : 1;
        }
        if (mode == "list") {
            reader.LoadDirectory();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("list entries=%zu seconds=%.3f\n", reader.Count(), seconds);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zip_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "zip_bench: unknown mode %s\n", mode.c_str());
    return 2;
}

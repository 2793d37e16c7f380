// Feeds arbitrary bytes to the badging as a manifest and a resource table. The input is
// [manifest length, 4 bytes little-endian][manifest][table]; when the length does not fit, the
// whole input is the manifest and there is no table. Seeds are real packages' members
// (make_seeds.py), so mutations start from the structures the parsers expect.
#include <cstddef>
#include <cstdint>

#include "Badging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const size_t manifestLength =
        size_t(data[0]) | (size_t(data[1]) << 8) | (size_t(data[2]) << 16) | (size_t(data[3]) << 24);
    const uint8_t* rest = data + 4;
    const size_t restSize = size - 4;
    if (manifestLength > restSize) {
        const TByteSpan manifest(rest, restSize);
        DumpBadging(&manifest, nullptr);
        return 0;
    }
    const TByteSpan manifest(rest, manifestLength);
    const TByteSpan table(rest + manifestLength, restSize - manifestLength);
    DumpBadging(&manifest, &table);
    return 0;
}

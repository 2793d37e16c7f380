#pragma once
#include "signing/Crypto.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <set>

class TFileHandle;

// The digests v2 and later schemes take over a package's contents: the entries (everything before
// the signing block), the central directory, and the end record with its directory offset pointing
// at the signing block instead, as if the block were not there.
enum class TContentDigest {
    ChunkedSha256, // 1 MiB chunks, each digested with its length, then the digests digested
    ChunkedSha512,
};

struct TContentSections {
    uint64_t entriesSize = 0;     // bytes 0 .. entriesSize-1: the entries, up to the signing block
    uint64_t directoryOffset = 0; // the central directory, up to the end record
    uint64_t directorySize = 0;
    TBytes endRecord; // with the directory offset already replaced
};

// Reads the sections once, in large pieces, and computes every digest asked for. Returns false
// when the file could not be read or cancel was set (checked between pieces).
bool ComputeContentDigests(TFileHandle& file, const TContentSections& sections, const std::set<TContentDigest>& kinds,
                           const std::atomic<bool>& cancel, std::map<TContentDigest, TBytes>& digests);

// The same over bytes in memory (the sections laid end to end), for tests and the fuzz target.
std::map<TContentDigest, TBytes> ContentDigestsOfBytes(TByteView entries, TByteView directory, TByteView endRecord,
                                                       const std::set<TContentDigest>& kinds);

#include "signing/ContentDigest.h"

#include "zip/ArchiveFile.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

constexpr size_t kChunkSize = 1 << 20;
// A read of 8 chunks: large enough that the system's per-call cost disappears, small enough that a
// cancel is seen within milliseconds.
constexpr size_t kPieceSize = 8 * kChunkSize;

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The 1 MiB chunk framing of one digest: a digest per chunk, then one over all of them.
class TChunked {
public:
    TChunked(TDigestKind kind, uint64_t chunkCount) : kind_(kind), top_(kind), ctx_(EVP_MD_CTX_new()) {
        if (!ctx_)
            throw std::bad_alloc();
        uint8_t head[5] = {0x5a};
        PutLe32(head + 1, static_cast<uint32_t>(chunkCount));
        top_.Update(head, sizeof head);
    }
    void Chunk(const uint8_t* data, size_t size) {
        uint8_t head[5] = {0xa5};
        PutLe32(head + 1, static_cast<uint32_t>(size));
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestInit_ex(ctx_.get(), DigestMd(kind_), nullptr) != 1 ||
            EVP_DigestUpdate(ctx_.get(), head, sizeof head) != 1 || EVP_DigestUpdate(ctx_.get(), data, size) != 1 ||
            EVP_DigestFinal_ex(ctx_.get(), out, &length) != 1)
            throw std::runtime_error("digest failed");
        top_.Update(out, length);
    }
    TBytes Final() { return top_.Final(); }

private:
    TDigestKind kind_;
    THasher top_;
    TMdCtxPtr ctx_;
};

uint64_t Chunks(uint64_t size) {
    return (size + kChunkSize - 1) / kChunkSize;
}

// Feeds every digest the same bytes, a piece of whole chunks at a time (only a section's last chunk
// may be short).
class TDigests {
public:
    TDigests(const std::set<TContentDigest>& kinds, uint64_t chunkCount) {
        if (kinds.count(TContentDigest::ChunkedSha256))
            chunked_.emplace(TContentDigest::ChunkedSha256, TChunked(TDigestKind::Sha256, chunkCount));
        if (kinds.count(TContentDigest::ChunkedSha512))
            chunked_.emplace(TContentDigest::ChunkedSha512, TChunked(TDigestKind::Sha512, chunkCount));
    }
    void Piece(const uint8_t* data, size_t size) {
        for (auto& [kind, chunked] : chunked_) {
            for (size_t at = 0; at < size; at += kChunkSize)
                chunked.Chunk(data + at, std::min(kChunkSize, size - at));
        }
    }
    std::map<TContentDigest, TBytes> Final() {
        std::map<TContentDigest, TBytes> out;
        for (auto& [kind, chunked] : chunked_)
            out[kind] = chunked.Final();
        return out;
    }

private:
    std::map<TContentDigest, TChunked> chunked_;
};

} // namespace

bool ComputeContentDigests(TFileHandle& file, const TContentSections& sections, const std::set<TContentDigest>& kinds,
                           const std::atomic<bool>& cancel, std::map<TContentDigest, TBytes>& digests) {
    const uint64_t chunkCount =
        Chunks(sections.entriesSize) + Chunks(sections.directorySize) + Chunks(sections.endRecord.size());
    TDigests state(kinds, chunkCount);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceSize]);
    const struct {
        uint64_t offset, size;
    } ranges[] = {{0, sections.entriesSize}, {sections.directoryOffset, sections.directorySize}};
    for (const auto& range : ranges) {
        if (range.size > 0 && (range.offset > INT64_MAX || !file.Seek(static_cast<int64_t>(range.offset))))
            return false;
        for (uint64_t done = 0; done < range.size;) {
            if (cancel.load(std::memory_order_relaxed))
                return false;
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kPieceSize, range.size - done));
            if (file.Read(buffer.get(), n) != n)
                return false;
            state.Piece(buffer.get(), n);
            done += n;
        }
    }
    state.Piece(sections.endRecord.data(), sections.endRecord.size());
    digests = state.Final();
    return true;
}

std::map<TContentDigest, TBytes> ContentDigestsOfBytes(TByteView entries, TByteView directory, TByteView endRecord,
                                                       const std::set<TContentDigest>& kinds) {
    TDigests state(kinds, Chunks(entries.size) + Chunks(directory.size) + Chunks(endRecord.size));
    for (const TByteView& section : {entries, directory, endRecord})
        state.Piece(section.data, section.size);
    return state.Final();
}

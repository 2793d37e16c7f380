#include "signing/SigningBlock.h"

#include "zip/ByteReader.h"

#include <cstring>

namespace {

const char kMagic[] = "APK Sig Block 42";

const char* const kDamaged = "签名块已损坏";

// Reads the little-endian fields of a record front to back; the first read past the end makes it
// fail for good, so a parser checks once at the end of each record.
class TCursor {
public:
    explicit TCursor(TByteView bytes) : bytes_(bytes) {}
    uint32_t U32() {
        TByteReader reader(bytes_.data, bytes_.size);
        const uint32_t value = reader.U32(position_);
        Advance(reader.Ok(), 4);
        return value;
    }
    uint64_t U64() {
        TByteReader reader(bytes_.data, bytes_.size);
        const uint64_t value = reader.U64(position_);
        Advance(reader.Ok(), 8);
        return value;
    }
    // A record whose length comes first as a 32-bit number.
    TByteView Prefixed() { return Take(U32()); }
    TByteView Take(uint64_t length) {
        if (!ok_ || length > Remaining()) {
            ok_ = false;
            return {};
        }
        TByteView slice(bytes_.data + position_, static_cast<size_t>(length));
        position_ += static_cast<size_t>(length);
        return slice;
    }
    size_t Remaining() const { return ok_ ? bytes_.size - position_ : 0; }
    bool AtEnd() const { return Remaining() == 0; }
    bool Ok() const { return ok_; }

private:
    void Advance(bool fits, size_t width) {
        if (!ok_ || !fits)
            ok_ = false;
        else
            position_ += width;
    }
    TByteView bytes_;
    size_t position_ = 0;
    bool ok_ = true;
};

// A list of length-prefixed records inside a length-prefixed record.
bool ReadList(TCursor& outer, std::vector<TByteView>& items) {
    TCursor list(outer.Prefixed());
    while (outer.Ok() && list.Ok() && !list.AtEnd()) {
        if (items.size() == kMaxRecordsPerList)
            return false;
        items.push_back(list.Prefixed());
    }
    return outer.Ok() && list.Ok();
}

// A list of records that are a 32-bit id and then a length-prefixed value.
bool ReadIdValues(TCursor& outer, std::vector<TIdValue>& items) {
    std::vector<TByteView> records;
    if (!ReadList(outer, records))
        return false;
    for (const TByteView& record : records) {
        TCursor cursor(record);
        TIdValue item;
        item.id = cursor.U32();
        item.value = cursor.Prefixed();
        if (!cursor.Ok())
            return false;
        items.push_back(item);
    }
    return true;
}

// The same, with the value being the rest of the record (attributes).
bool ReadAttributes(TCursor& outer, std::vector<TIdValue>& items) {
    std::vector<TByteView> records;
    if (!ReadList(outer, records))
        return false;
    for (const TByteView& record : records) {
        TCursor cursor(record);
        TIdValue item;
        item.id = cursor.U32();
        item.value = cursor.Take(cursor.Remaining());
        if (!cursor.Ok())
            return false;
        items.push_back(item);
    }
    return true;
}

bool Fail(std::string& problem, const char* text) {
    problem = text;
    return false;
}

} // namespace

TBlockFooter ReadBlockFooter(TByteView footer, uint64_t centralDirectoryOffset) {
    TBlockFooter result;
    if (footer.size != kSigningBlockFooterSize || std::memcmp(footer.data + 8, kMagic, 16) != 0)
        return result;
    TByteReader reader(footer.data, footer.size);
    const uint64_t size = reader.U64(0);
    // The size counts everything but its own field; the smallest block is both sizes and the magic.
    if (size < kSigningBlockFooterSize || size > kMaxSigningBlockSize || size + 8 > centralDirectoryOffset) {
        result.found = -1;
        return result;
    }
    result.found = 1;
    result.blockSize = size + 8;
    result.blockOffset = centralDirectoryOffset - result.blockSize;
    return result;
}

bool ParseSigningBlock(TByteView block, std::vector<TBlockPair>& pairs, std::string& problem) {
    pairs.clear();
    if (block.size < kSigningBlockFooterSize + 8)
        return Fail(problem, kDamaged);
    TByteReader reader(block.data, block.size);
    const uint64_t leading = reader.U64(0);
    const uint64_t trailing = reader.U64(block.size - kSigningBlockFooterSize);
    if (leading != trailing || leading != block.size - 8 || std::memcmp(block.data + block.size - 16, kMagic, 16) != 0)
        return Fail(problem, "签名块已损坏（前后记录的长度不一致）");
    TCursor cursor(TByteView(block.data + 8, block.size - 8 - kSigningBlockFooterSize));
    while (!cursor.AtEnd()) {
        const uint64_t length = cursor.U64();
        // Each pair holds at least its 32-bit id.
        if (!cursor.Ok() || length < 4 || length > cursor.Remaining())
            return Fail(problem, kDamaged);
        TCursor pair(cursor.Take(length));
        TBlockPair item;
        item.id = pair.U32();
        item.value = pair.Take(pair.Remaining());
        pairs.push_back(item);
        if (pairs.size() > 4096)
            return Fail(problem, kDamaged);
    }
    return true;
}

bool ParseSigners(TByteView schemeBlock, bool v3, std::vector<TRawSigner>& signers, std::string& problem) {
    signers.clear();
    TCursor block(schemeBlock);
    std::vector<TByteView> records;
    if (!ReadList(block, records) || !block.AtEnd())
        return Fail(problem, "签名块里的签名者记录已损坏");
    if (records.empty())
        return Fail(problem, "签名块里没有签名者");
    if (records.size() > kMaxSigners)
        return Fail(problem, "签名块里的签名者多得离谱");
    for (const TByteView& record : records) {
        TRawSigner signer;
        TCursor cursor(record);
        signer.signedData = cursor.Prefixed();
        TCursor signedData(signer.signedData);
        bool ok = cursor.Ok() && ReadIdValues(signedData, signer.digests) && ReadList(signedData, signer.certificates);
        if (ok && v3) {
            signer.signedMinSdk = signedData.U32();
            signer.signedMaxSdk = signedData.U32();
        }
        ok = ok && ReadAttributes(signedData, signer.attributes);
        // What follows the signed data's fields is ignored, as phones ignore it.
        if (v3) {
            signer.minSdk = cursor.U32();
            signer.maxSdk = cursor.U32();
        }
        ok = ok && signedData.Ok() && ReadIdValues(cursor, signer.signatures);
        signer.publicKey = cursor.Prefixed();
        if (!ok || !cursor.Ok())
            return Fail(problem, "签名块里的签名者记录已损坏");
        signers.push_back(signer);
    }
    return true;
}

bool ParseLineage(TByteView attribute, std::vector<TLineageNode>& nodes, std::string& problem) {
    nodes.clear();
    TCursor cursor(attribute);
    const uint32_t version = cursor.U32();
    if (!cursor.Ok() || version != 1)
        return Fail(problem, "换过签名密钥的记录已损坏");
    while (!cursor.AtEnd()) {
        if (nodes.size() == kMaxLineageNodes)
            return Fail(problem, "换过签名密钥的记录多得离谱");
        TCursor node(cursor.Prefixed());
        TLineageNode item;
        item.signedData = node.Prefixed();
        item.flags = node.U32();
        item.algorithm = node.U32();
        item.signature = node.Prefixed();
        TCursor signedData(item.signedData);
        item.certificate = signedData.Prefixed();
        item.signedAlgorithm = signedData.U32();
        if (!cursor.Ok() || !node.Ok() || !signedData.Ok())
            return Fail(problem, "换过签名密钥的记录已损坏");
        nodes.push_back(item);
    }
    if (nodes.empty())
        return Fail(problem, "换过签名密钥的记录是空的");
    return true;
}

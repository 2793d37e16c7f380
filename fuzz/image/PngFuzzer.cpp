// Feeds the PNG decoder, and the downscaler after it, with mutated files. Random bytes rarely get
// past a chunk CRC or a zlib stream, so the first input byte picks how the rest is used:
//   mode 0: the rest is the file as it stands (CRC and signature checks see the damage);
//   mode 1: chunk CRCs are recomputed first, so damage reaches the chunk and header logic;
//   mode 2: as 1, and the IDAT contents are taken as uncompressed scanlines and compressed here,
//           so damage reaches the filters and the pixel conversion.
// Anything but a normal return or an ImageError is a finding.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/ImageScale.h"
#include "image/PngDecoder.h"

namespace {

uint32_t ReadBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void AppendChunk(std::vector<uint8_t>& out, const uint8_t* type, const uint8_t* body, size_t length) {
    PutBe32(out, uint32_t(length));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body, body + length);
    PutBe32(out, uint32_t(crc32(0L, out.data() + start, uInt(4 + length))));
}

// Rebuilds the file chunk by chunk with correct CRCs; bytes that do not form a whole chunk are
// kept as they are. With recompress, all IDAT bodies become one compressed IDAT.
std::vector<uint8_t> Repair(const uint8_t* data, size_t size, bool recompress) {
    std::vector<uint8_t> out;
    if (size < 8)
        return std::vector<uint8_t>(data, data + size);
    out.insert(out.end(), data, data + 8);
    std::vector<uint8_t> scanlines;
    bool idatWritten = false;
    size_t pos = 8;
    while (size - pos >= 12) {
        uint32_t length = ReadBe32(data + pos);
        if (length > size - pos - 12)
            break;
        const uint8_t* type = data + pos + 4;
        const uint8_t* body = data + pos + 8;
        bool isIdat = std::memcmp(type, "IDAT", 4) == 0;
        if (recompress && isIdat) {
            scanlines.insert(scanlines.end(), body, body + length);
        } else {
            if (recompress && !isIdat && !scanlines.empty() && !idatWritten) {
                std::vector<uint8_t> packed(compressBound(uLong(scanlines.size())));
                uLongf packedSize = uLongf(packed.size());
                compress2(packed.data(), &packedSize, scanlines.data(), uLong(scanlines.size()), 1);
                AppendChunk(out, reinterpret_cast<const uint8_t*>("IDAT"), packed.data(), packedSize);
                idatWritten = true;
            }
            AppendChunk(out, type, body, length);
        }
        pos += 12 + size_t(length);
    }
    out.insert(out.end(), data + pos, data + size);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    uint8_t mode = data[0] % 3;
    std::vector<uint8_t> file =
        mode == 0 ? std::vector<uint8_t>(data + 1, data + size) : Repair(data + 1, size - 1, mode == 2);
    // Smaller limits than the program's keep each run fast; the limit checks themselves are the same.
    PngLimits limits;
    limits.maxWidth = 4096;
    limits.maxHeight = 4096;
    limits.maxPixelBytes = 4 * 1024 * 1024;
    try {
        RgbaImage image = DecodePng(file.data(), file.size(), limits);
        if (image.pixels.size() != size_t(image.width) * image.height * 4)
            std::abort();
        RgbaImage icon = ScaleToFit(image, 72, 72);
        if (icon.width > 72 || icon.height > 72 || icon.width == 0 || icon.height == 0 ||
            icon.pixels.size() != size_t(icon.width) * icon.height * 4)
            std::abort();
    } catch (const ImageError&) {
    }
    return 0;
}

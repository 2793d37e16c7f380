#include "image/PngDecoder.h"

#include <zlib.h>

#include <climits>
#include <cstring>
#include <istream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "image/PngFilters.h"

PngHeaderError::PngHeaderError()
    : ImageError("The file being readed is not a valid \"Portable Network Graphics\" image because it contains an "
                 "invalid header. This file may be corruped, try obtaining it again.") {}

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const size_t kSignatureSize = sizeof(kSignature);
// The PNG standard limits chunk lengths and image dimensions to 2^31 - 1.
const uint32_t kMaxPngValue = 0x7FFFFFFF;

constexpr uint32_t ChunkType(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 | uint32_t(uint8_t(c)) << 8 | uint32_t(uint8_t(d));
}
const uint32_t kIhdr = ChunkType('I', 'H', 'D', 'R');
const uint32_t kPlte = ChunkType('P', 'L', 'T', 'E');
const uint32_t kIdat = ChunkType('I', 'D', 'A', 'T');
const uint32_t kIend = ChunkType('I', 'E', 'N', 'D');
const uint32_t kTrns = ChunkType('t', 'R', 'N', 'S');

const uint8_t kGrey = 0, kTruecolour = 2, kIndexed = 3, kGreyAlpha = 4, kTruecolourAlpha = 6;

// The standard's table of allowed colour type / bit depth pairs, as a bit mask of depths per type.
struct ColourTypeRule {
    uint8_t colourType;
    uint8_t channels;
    uint32_t depths;
};
const ColourTypeRule kColourTypeRules[] = {
    {kGrey, 1, 1u << 1 | 1u << 2 | 1u << 4 | 1u << 8 | 1u << 16},
    {kTruecolour, 3, 1u << 8 | 1u << 16},
    {kIndexed, 1, 1u << 1 | 1u << 2 | 1u << 4 | 1u << 8},
    {kGreyAlpha, 2, 1u << 8 | 1u << 16},
    {kTruecolourAlpha, 4, 1u << 8 | 1u << 16},
};

[[noreturn]] void Fail(const std::string& message) {
    throw PngFormatError("The PNG image " + message);
}

uint32_t ReadBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
unsigned ReadBe16(const uint8_t* p) {
    return unsigned(p[0]) << 8 | p[1];
}

bool IsChunkLetter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string ChunkName(uint32_t type) {
    std::string name(4, ' ');
    for (int i = 0; i < 4; ++i)
        name[i] = char(type >> (24 - 8 * i));
    return name;
}

// Reads the byte stream; every access is checked against the end of the data.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Remaining() const { return size_ - position_; }
    const uint8_t* Take(size_t count) {
        if (count > Remaining())
            Fail("is truncated: the data ends in the middle of a chunk.");
        const uint8_t* p = data_ + position_;
        position_ += count;
        return p;
    }
    uint32_t TakeBe32() { return ReadBe32(Take(4)); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Owns a zlib inflate stream that writes into one caller-owned buffer of exactly the size the
// header promises. Output beyond that is caught with a one-byte spill area, so a bomb stops there.
class Inflater {
public:
    Inflater(uint8_t* out, size_t size) : out_(out), size_(size) {
        std::memset(&stream_, 0, sizeof(stream_));
        if (inflateInit(&stream_) != Z_OK)
            throw std::bad_alloc();
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    void Feed(const uint8_t* data, size_t size) {
        // Compressed bytes after the end of the stream are ignored, as most decoders do.
        if (ended_)
            return;
        stream_.next_in = const_cast<Bytef*>(data); // older zlib headers lack const
        stream_.avail_in = uInt(size);              // chunk lengths are below 2^31
        while (stream_.avail_in > 0) {
            size_t room = size_ - produced_;
            uInt given = room > UINT_MAX ? UINT_MAX : uInt(room);
            uint8_t spill = 0;
            stream_.next_out = given > 0 ? out_ + produced_ : &spill;
            stream_.avail_out = given > 0 ? given : 1;
            int status = inflate(&stream_, Z_NO_FLUSH);
            if (given == 0 && stream_.avail_out == 0)
                Fail("holds more image data than its dimensions allow.");
            produced_ += given - (given > 0 ? stream_.avail_out : 0);
            if (status == Z_STREAM_END) {
                ended_ = true;
                return;
            }
            if (status == Z_BUF_ERROR)
                return; // no progress possible; cannot happen with input and room, but never spin
            if (status != Z_OK)
                Fail(std::string("has damaged compressed data (") + (stream_.msg ? stream_.msg : "zlib error") + ").");
        }
    }

    void Finish() const {
        if (produced_ < size_)
            Fail("holds less image data than its dimensions need.");
        if (!ended_)
            Fail("has compressed data without a proper end (the checksum is missing).");
    }

private:
    z_stream stream_;
    uint8_t* out_;
    size_t size_;
    size_t produced_ = 0;
    bool ended_ = false;
};

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t bitDepth = 0;
    uint8_t colourType = 0;
    uint8_t channels = 0;
    bool interlaced = false;
};

// One reduced image of Adam7, or the whole image when not interlaced.
struct Pass {
    uint32_t x0, y0, dx, dy;
    uint32_t width, height;
    size_t rowBytes; // without the filter-type byte
    size_t offset;   // of the pass's first filter-type byte in the inflated data
};

struct Layout {
    Pass passes[7];
    int passCount = 0;
    size_t rawSize = 0;     // all scanlines with their filter-type bytes
    size_t maxRowBytes = 0; // longest scanline, for the zero row above each pass
};

std::string SizeText(uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

Header ParseHeader(const uint8_t* data, uint32_t length, const PngLimits& limits) {
    if (length != 13)
        Fail("has an IHDR chunk of the wrong size.");
    Header header;
    header.width = ReadBe32(data);
    header.height = ReadBe32(data + 4);
    header.bitDepth = data[8];
    header.colourType = data[9];
    if (header.width == 0 || header.height == 0 || header.width > kMaxPngValue || header.height > kMaxPngValue)
        Fail("has invalid dimensions (" + std::to_string(header.width) + " x " + std::to_string(header.height) + ").");
    const ColourTypeRule* rule = nullptr;
    for (const ColourTypeRule& candidate : kColourTypeRules) {
        if (candidate.colourType == header.colourType)
            rule = &candidate;
    }
    if (rule == nullptr || header.bitDepth > 16 || (rule->depths & (1u << header.bitDepth)) == 0)
        Fail("has an unsupported combination of colour type " + std::to_string(header.colourType) + " and bit depth " +
             std::to_string(header.bitDepth) + ".");
    header.channels = rule->channels;
    if (data[10] != 0)
        Fail("uses an unknown compression method (" + std::to_string(data[10]) + ").");
    if (data[11] != 0)
        Fail("uses an unknown filter method (" + std::to_string(data[11]) + ").");
    if (data[12] > 1)
        Fail("uses an unknown interlace method (" + std::to_string(data[12]) + ").");
    header.interlaced = data[12] == 1;

    uint64_t pixelBytes = uint64_t(header.width) * header.height * 4;
    if (header.width > limits.maxWidth || header.height > limits.maxHeight || pixelBytes > limits.maxPixelBytes ||
        pixelBytes > SIZE_MAX)
        throw PngTooLargeError("The PNG image is too large to show: " + std::to_string(header.width) + " x " +
                               std::to_string(header.height) + " pixels (the limit is " +
                               std::to_string(limits.maxWidth) + " x " + std::to_string(limits.maxHeight) +
                               " pixels and " + SizeText(limits.maxPixelBytes) + " of pixels).");
    return header;
}

// Sizes come from dimensions already checked against the limits, so at most 8 bytes a pixel plus a
// byte per row: far inside 64 bits. The total is checked against size_t for 32-bit builds.
Layout MakeLayout(const Header& header) {
    static const uint32_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const uint32_t kWhole[1][4] = {{0, 0, 1, 1}};
    const uint32_t(*grid)[4] = header.interlaced ? kAdam7 : kWhole;
    int gridCount = header.interlaced ? 7 : 1;
    uint64_t bitsPerPixel = uint64_t(header.channels) * header.bitDepth;
    Layout layout;
    uint64_t offset = 0;
    for (int i = 0; i < gridCount; ++i) {
        Pass pass;
        pass.x0 = grid[i][0];
        pass.y0 = grid[i][1];
        pass.dx = grid[i][2];
        pass.dy = grid[i][3];
        pass.width = header.width > pass.x0 ? (header.width - pass.x0 + pass.dx - 1) / pass.dx : 0;
        pass.height = header.height > pass.y0 ? (header.height - pass.y0 + pass.dy - 1) / pass.dy : 0;
        if (pass.width == 0 || pass.height == 0)
            continue; // an empty pass has no scanlines, not even filter-type bytes
        uint64_t rowBytes = (uint64_t(pass.width) * bitsPerPixel + 7) / 8;
        pass.rowBytes = size_t(rowBytes);
        pass.offset = size_t(offset);
        offset += (rowBytes + 1) * pass.height;
        if (offset > SIZE_MAX)
            throw PngTooLargeError("The PNG image is too large to show.");
        if (pass.rowBytes > layout.maxRowBytes)
            layout.maxRowBytes = pass.rowBytes;
        layout.passes[layout.passCount++] = pass;
    }
    layout.rawSize = size_t(offset);
    return layout;
}

// Colour data gathered from PLTE and tRNS. Grey images of up to 8 bits go through the same lookup
// table as palette images, so both expand with one indexed loop.
struct ColourTable {
    uint8_t rgba[256][4];
    bool hasPalette = false;
    bool hasTransparency = false;
    unsigned transparent[3] = {0, 0, 0}; // grey or RGB sample that tRNS makes transparent

    ColourTable() {
        for (auto& entry : rgba) {
            entry[0] = entry[1] = entry[2] = 0;
            entry[3] = 255;
        }
    }
};

void ReadPalette(const Header& header, const uint8_t* data, uint32_t length, ColourTable& table) {
    if (header.colourType == kGrey || header.colourType == kGreyAlpha)
        Fail("has a PLTE chunk, which a grey image must not have.");
    if (length == 0 || length % 3 != 0 || length / 3 > 256)
        Fail("has a PLTE chunk of invalid size.");
    // For truecolour a palette is only a suggestion for limited displays; we ignore it.
    if (header.colourType != kIndexed)
        return;
    for (uint32_t i = 0; i < length / 3; ++i) {
        table.rgba[i][0] = data[3 * i];
        table.rgba[i][1] = data[3 * i + 1];
        table.rgba[i][2] = data[3 * i + 2];
    }
    table.hasPalette = true;
}

// tRNS is ancillary: one that is misplaced, repeated or of the wrong size is ignored.
void ReadTransparency(const Header& header, const uint8_t* data, uint32_t length, ColourTable& table) {
    if (table.hasTransparency)
        return;
    if (header.colourType == kIndexed) {
        if (!table.hasPalette || length > 256)
            return;
        for (uint32_t i = 0; i < length; ++i)
            table.rgba[i][3] = data[i];
        table.hasTransparency = true;
    } else if (header.colourType == kGrey && length == 2) {
        table.transparent[0] = ReadBe16(data);
        table.hasTransparency = true;
    } else if (header.colourType == kTruecolour && length == 6) {
        for (int i = 0; i < 3; ++i)
            table.transparent[i] = ReadBe16(data + 2 * i);
        table.hasTransparency = true;
    }
}

// Grey samples of 1 to 8 bits become table entries: value scaled to 0..255, alpha from tRNS.
void FillGreyTable(const Header& header, ColourTable& table) {
    unsigned maxValue = (1u << header.bitDepth) - 1;
    for (unsigned v = 0; v <= maxValue; ++v) {
        uint8_t grey = uint8_t(v * 255 / maxValue);
        table.rgba[v][0] = table.rgba[v][1] = table.rgba[v][2] = grey;
        table.rgba[v][3] = table.hasTransparency && v == table.transparent[0] ? 0 : 255;
    }
}

// 16 to 8 bits: the exact inverse of the widening v * 257. Colour rounds down and alpha rounds up, so a
// faintly opaque pixel never vanishes; this is also ImageMagick's rule, so its 8-bit dumps serve as
// test references.
inline uint8_t Reduce16(unsigned value) {
    return uint8_t(value / 257);
}
inline uint8_t Reduce16Alpha(unsigned value) {
    return uint8_t((value + 256) / 257);
}

inline void Put(uint8_t* dst, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    dst[0] = r;
    dst[1] = g;
    dst[2] = b;
    dst[3] = a;
}

// Converts one reconstructed scanline of count pixels to RGBA, writing a pixel every step bytes
// (4 for a whole row, more for the sparse pixels of an Adam7 pass).
void ExpandRow(const Header& header, const ColourTable& table, const uint8_t* row, uint32_t count, uint8_t* dst,
               size_t step) {
    const unsigned depth = header.bitDepth;
    const bool keyed = table.hasTransparency;
    const unsigned* key = table.transparent;
    switch (header.colourType) {
    case kGrey:
        if (depth == 16) {
            for (uint32_t i = 0; i < count; ++i, row += 2, dst += step) {
                unsigned v = ReadBe16(row);
                uint8_t g = Reduce16(v);
                Put(dst, g, g, g, keyed && v == key[0] ? 0 : 255);
            }
            return;
        }
        break; // through the table below
    case kTruecolour:
        if (depth == 8) {
            for (uint32_t i = 0; i < count; ++i, row += 3, dst += step) {
                bool clear = keyed && row[0] == key[0] && row[1] == key[1] && row[2] == key[2];
                Put(dst, row[0], row[1], row[2], clear ? 0 : 255);
            }
        } else {
            for (uint32_t i = 0; i < count; ++i, row += 6, dst += step) {
                unsigned r = ReadBe16(row), g = ReadBe16(row + 2), b = ReadBe16(row + 4);
                bool clear = keyed && r == key[0] && g == key[1] && b == key[2];
                Put(dst, Reduce16(r), Reduce16(g), Reduce16(b), clear ? 0 : 255);
            }
        }
        return;
    case kGreyAlpha:
        if (depth == 8) {
            for (uint32_t i = 0; i < count; ++i, row += 2, dst += step)
                Put(dst, row[0], row[0], row[0], row[1]);
        } else {
            for (uint32_t i = 0; i < count; ++i, row += 4, dst += step) {
                uint8_t g = Reduce16(ReadBe16(row));
                Put(dst, g, g, g, Reduce16Alpha(ReadBe16(row + 2)));
            }
        }
        return;
    case kTruecolourAlpha:
        if (depth == 8) {
            for (uint32_t i = 0; i < count; ++i, row += 4, dst += step)
                std::memcpy(dst, row, 4);
        } else {
            for (uint32_t i = 0; i < count; ++i, row += 8, dst += step)
                Put(dst, Reduce16(ReadBe16(row)), Reduce16(ReadBe16(row + 2)), Reduce16(ReadBe16(row + 4)),
                    Reduce16Alpha(ReadBe16(row + 6)));
        }
        return;
    default:
        break; // indexed
    }
    // Grey up to 8 bits and palette indices: samples packed from the most significant bit.
    if (depth == 8) {
        for (uint32_t i = 0; i < count; ++i, dst += step)
            std::memcpy(dst, table.rgba[row[i]], 4);
        return;
    }
    const unsigned perByte = 8 / depth;
    const unsigned mask = (1u << depth) - 1;
    for (uint32_t i = 0; i < count; ++i, dst += step) {
        unsigned shift = 8 - depth * (i % perByte + 1);
        std::memcpy(dst, table.rgba[(row[i / perByte] >> shift) & mask], 4);
    }
}

// Undoes the filters pass by pass and expands each scanline into the picture.
void Reconstruct(const Header& header, const Layout& layout, const ColourTable& table, uint8_t* raw, RgbaImage& image) {
    const unsigned bytesPerPixel = (unsigned(header.channels) * header.bitDepth + 7) / 8;
    const size_t stride = image.Stride();
    std::vector<uint8_t> zeroRow(layout.maxRowBytes, 0);
    for (int p = 0; p < layout.passCount; ++p) {
        const Pass& pass = layout.passes[p];
        const uint8_t* prior = zeroRow.data();
        uint8_t* scanline = raw + pass.offset;
        for (uint32_t y = 0; y < pass.height; ++y, scanline += pass.rowBytes + 1) {
            uint8_t* pictureRow = image.pixels.data() + (size_t(pass.y0) + size_t(y) * pass.dy) * stride;
            if (!UnfilterRow(scanline[0], scanline + 1, prior, scanline + 1, pass.rowBytes, bytesPerPixel))
                Fail("has an invalid filter type (" + std::to_string(scanline[0]) + ") in a scanline.");
            ExpandRow(header, table, scanline + 1, pass.width, pictureRow + size_t(pass.x0) * 4, size_t(pass.dx) * 4);
            prior = scanline + 1;
        }
    }
}

// 8-bit RGBA without interlacing, the usual icon, needs no conversion: its scanlines are inflated
// into the picture's own buffer and each row is reconstructed into its final place, which lies
// before its filtered bytes (row y moves back by y + 1 bytes), so a forward pass never overwrites
// bytes it has yet to read. One buffer instead of two saves a copy and the page faults of a second.
void ReconstructInPlace(RgbaImage& image) {
    const size_t stride = image.Stride();
    std::vector<uint8_t> zeroRow(stride, 0);
    const uint8_t* prior = zeroRow.data();
    uint8_t* base = image.pixels.data();
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* scanline = base + size_t(y) * (stride + 1);
        uint8_t* row = base + size_t(y) * stride;
        if (!UnfilterRow(scanline[0], scanline + 1, prior, row, stride, 4))
            Fail("has an invalid filter type (" + std::to_string(scanline[0]) + ") in a scanline.");
        prior = row;
    }
    image.pixels.resize(stride * image.height);
}

} // namespace

RgbaImage DecodePng(const uint8_t* data, size_t size, const PngLimits& limits) {
    if (size < kSignatureSize || std::memcmp(data, kSignature, kSignatureSize) != 0)
        throw PngHeaderError();
    ByteReader reader(data + kSignatureSize, size - kSignatureSize);

    Header header;
    Layout layout;
    ColourTable table;
    RgbaImage image;
    std::unique_ptr<uint8_t[]> raw; // inflated scanlines; filled completely before it is read
    bool inPlace = false;
    std::unique_ptr<Inflater> inflater;
    bool seenHeader = false, seenPalette = false, idatEnded = false;
    for (;;) {
        if (reader.Remaining() == 0)
            Fail("is truncated: it ends before its IEND chunk.");
        uint32_t length = reader.TakeBe32();
        const uint8_t* typeBytes = reader.Take(4);
        uint32_t type = ReadBe32(typeBytes);
        if (!IsChunkLetter(typeBytes[0]) || !IsChunkLetter(typeBytes[1]) || !IsChunkLetter(typeBytes[2]) ||
            !IsChunkLetter(typeBytes[3]))
            Fail("is damaged: it holds a chunk with an invalid type.");
        const std::string name = ChunkName(type);
        if (length > kMaxPngValue)
            Fail("is damaged: chunk " + name + " has an invalid length.");
        if (length + size_t(4) > reader.Remaining())
            Fail("is truncated: the data ends inside chunk " + name + ".");
        const uint8_t* body = reader.Take(length);
        uint32_t storedCrc = reader.TakeBe32();
        // The CRC covers the type and the data, which lie next to each other.
        if (uint32_t(crc32(0L, typeBytes, 4 + uInt(length))) != storedCrc)
            Fail("is damaged: CRC error in chunk " + name + ".");

        if (!seenHeader) {
            if (type != kIhdr)
                Fail("is damaged: it does not begin with an IHDR chunk.");
            header = ParseHeader(body, length, limits);
            layout = MakeLayout(header);
            seenHeader = true;
            continue;
        }
        if (inflater && type != kIdat)
            idatEnded = true;
        if (type == kIdat) {
            if (idatEnded)
                Fail("is damaged: its IDAT chunks are not consecutive.");
            if (!inflater) {
                if (header.colourType == kIndexed && !seenPalette)
                    Fail("is damaged: a palette image needs a PLTE chunk before its image data.");
                inPlace = header.colourType == kTruecolourAlpha && header.bitDepth == 8 && !header.interlaced;
                uint8_t* target;
                if (inPlace) {
                    image.pixels.resize(layout.rawSize);
                    target = image.pixels.data();
                } else {
                    raw.reset(new uint8_t[layout.rawSize]);
                    target = raw.get();
                }
                inflater.reset(new Inflater(target, layout.rawSize));
            }
            inflater->Feed(body, length);
        } else if (type == kIend) {
            if (!inflater)
                Fail("is damaged: it has no image data (IDAT chunk).");
            inflater->Finish();
            break;
        } else if (type == kPlte) {
            if (seenPalette || inflater)
                Fail("is damaged: its PLTE chunk is repeated or comes after the image data.");
            ReadPalette(header, body, length, table);
            seenPalette = true;
        } else if (type == kTrns) {
            if (!inflater)
                ReadTransparency(header, body, length, table);
        } else if (type == kIhdr) {
            Fail("is damaged: it has a second IHDR chunk.");
        } else if ((typeBytes[0] & 0x20) == 0) {
            Fail("uses an unknown critical chunk " + name + ".");
        }
        // Other ancillary chunks (text, colour management, times) are of no use for showing an icon.
    }

    image.width = header.width;
    image.height = header.height;
    if (inPlace) {
        ReconstructInPlace(image);
        return image;
    }
    if (header.colourType == kGrey && header.bitDepth <= 8)
        FillGreyTable(header, table);
    image.pixels.resize(size_t(header.width) * header.height * 4);
    Reconstruct(header, layout, table, raw.get(), image);
    return image;
}

RgbaImage DecodePng(std::istream& stream, const PngLimits& limits) {
    std::vector<uint8_t> data;
    std::vector<char> buffer(64 * 1024);
    while (stream.read(buffer.data(), std::streamsize(buffer.size())) || stream.gcount() > 0)
        data.insert(data.end(), buffer.begin(), buffer.begin() + size_t(stream.gcount()));
    return DecodePng(data.data(), data.size(), limits);
}

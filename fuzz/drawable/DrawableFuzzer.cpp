// The drawable reader and painter on arbitrary input: a resource table and a compiled XML drawable,
// as [table length, 4 bytes little-endian][table][document]. Every file the drawable names reads as
// the same document, so references to other files exercise nesting, loops and the caps.
#include "drawable/DrawableReader.h"
#include "drawable/DrawableRender.h"

#include <cstddef>
#include <cstdint>

namespace {

class TSameDocument : public IResourceFiles {
public:
    TSameDocument(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Read(const std::string&, size_t maxSize, std::vector<uint8_t>& bytes) override {
        if (size_ > maxSize)
            return false;
        bytes.assign(data_, data_ + size_);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const size_t tableSize = data[0] | (size_t(data[1]) << 8) | (size_t(data[2]) << 16) | (size_t(data[3]) << 24);
    if (tableSize > size - 4)
        return 0;
    const uint8_t* table = data + 4;
    TSameDocument files(table + tableSize, size - 4 - tableSize);
    TResourceTable resources;
    const bool haveTable = resources.Load(TByteSpan(table, tableSize));
    TResConfig request;
    request.density = 160;
    request.sdkVersion = 10000;
    TDrawableReader reader({TResourceSource{haveTable ? &resources : nullptr, &files}}, request);
    if (const TDrawablePtr drawable = reader.ReadFile("res/drawable/fuzz.xml")) {
        RgbaImage icon;
        RenderIcon(*drawable, 48, icon);
    }
    return 0;
}

#include "image/WebpDecoder.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "image/Bitmap.h"

namespace {

[[noreturn]] void Fail(const std::string& message) {
    throw WebpFormatError("The WebP image " + message);
}

[[noreturn]] void FailWith(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        throw std::bad_alloc();
    case VP8_STATUS_NOT_ENOUGH_DATA:
        Fail("is truncated.");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        Fail("uses a feature the decoder does not know.");
    default:
        Fail("is damaged.");
    }
}

std::string SizeText(uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

void CheckLimits(uint32_t width, uint32_t height, const PngLimits& limits) {
    uint64_t pixelBytes = uint64_t(width) * height * 4;
    if (width > limits.maxWidth || height > limits.maxHeight || pixelBytes > limits.maxPixelBytes ||
        pixelBytes > SIZE_MAX)
        throw WebpTooLargeError("The WebP image is too large to show: " + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels (the limit is " + std::to_string(limits.maxWidth) +
                                " x " + std::to_string(limits.maxHeight) + " pixels and " +
                                SizeText(limits.maxPixelBytes) + " of pixels).");
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

class FirstFrame {
public:
    explicit FirstFrame(const WebPDemuxer* demux) : found_(WebPDemuxGetFrame(demux, 1, &iter_) != 0) {}
    ~FirstFrame() { WebPDemuxReleaseIterator(&iter_); }
    FirstFrame(const FirstFrame&) = delete;
    FirstFrame& operator=(const FirstFrame&) = delete;
    bool Found() const { return found_; }
    const WebPIterator& Get() const { return iter_; }

private:
    WebPIterator iter_{};
    bool found_;
};

// Decodes one picture of exactly width x height straight into the caller's pixels; out points at
// its top left pixel and outSize counts the bytes from there to the end of the buffer.
void DecodeInto(const uint8_t* data, size_t size, uint32_t width, uint32_t height, uint8_t* out, size_t outSize,
                size_t stride) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        Fail("cannot be decoded: the decoder library does not match its headers.");
    VP8StatusCode status = WebPGetFeatures(data, size, &config.input);
    if (status != VP8_STATUS_OK)
        FailWith(status);
    if (uint32_t(config.input.width) != width || uint32_t(config.input.height) != height)
        Fail("has a frame whose size disagrees with its header.");
    config.output.colorspace = MODE_RGBA; // straight alpha; MODE_rgbA would premultiply
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out;
    config.output.u.RGBA.stride = int(stride);
    config.output.u.RGBA.size = outSize;
    status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        FailWith(status);
}

} // namespace

RgbaImage DecodeWebp(const uint8_t* data, size_t size, const PngLimits& limits) {
    if (!LooksLikeWebp(data, size))
        Fail("does not begin with a WebP header.");
    // For an animation these are the canvas's dimensions.
    WebPBitstreamFeatures features;
    VP8StatusCode status = WebPGetFeatures(data, size, &features);
    if (status != VP8_STATUS_OK)
        FailWith(status);
    if (features.width <= 0 || features.height <= 0)
        Fail("has no pixels.");
    RgbaImage image;
    image.width = uint32_t(features.width);
    image.height = uint32_t(features.height);
    CheckLimits(image.width, image.height, limits);
    size_t stride = image.Stride();

    if (!features.has_animation) {
        image.pixels.resize(stride * image.height);
        DecodeInto(data, size, image.width, image.height, image.pixels.data(), image.pixels.size(), stride);
        return image;
    }

    WebPData file = {data, size};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&file));
    if (!demux)
        Fail("is a damaged or truncated animation.");
    FirstFrame frame(demux.get());
    if (!frame.Found())
        Fail("is an animation without frames.");
    const WebPIterator& iter = frame.Get();
    if (iter.x_offset < 0 || iter.y_offset < 0 || iter.width <= 0 || iter.height <= 0 ||
        uint64_t(iter.x_offset) + uint64_t(iter.width) > image.width ||
        uint64_t(iter.y_offset) + uint64_t(iter.height) > image.height)
        Fail("has a first frame outside its canvas.");
    // The first frame starts from a transparent canvas, whatever its blending and disposal say.
    image.pixels.assign(stride * image.height, 0);
    size_t offset = size_t(iter.y_offset) * stride + size_t(iter.x_offset) * 4;
    DecodeInto(iter.fragment.bytes, iter.fragment.size, uint32_t(iter.width), uint32_t(iter.height),
               image.pixels.data() + offset, image.pixels.size() - offset, stride);
    return image;
}

#pragma once
#include <stdexcept>
#include <string>

// Every fault the image code reports derives from ImageError, so a caller can tell a bad icon apart
// from other failures and show what() as it stands. Messages are plain 8-bit (ASCII) text.
class ImageError : public std::runtime_error {
public:
    explicit ImageError(const std::string& message) : std::runtime_error(message) {}
};

// The data does not begin with the PNG signature: an empty stream, an XML file, a JPEG picture.
class PngHeaderError : public ImageError {
public:
    PngHeaderError();
};

// A PNG file that is damaged, truncated or uses a form the standard does not allow.
class PngFormatError : public ImageError {
public:
    explicit PngFormatError(const std::string& message) : ImageError(message) {}
};

// A PNG file whose dimensions or pixel data exceed the decoder's limits (see PngLimits).
class PngTooLargeError : public ImageError {
public:
    explicit PngTooLargeError(const std::string& message) : ImageError(message) {}
};

// A WebP file that is damaged, truncated or holds no picture libwebp can decode.
class WebpFormatError : public ImageError {
public:
    explicit WebpFormatError(const std::string& message) : ImageError(message) {}
};

// A WebP file whose picture or animation canvas exceeds the decoder's limits (see PngLimits).
class WebpTooLargeError : public ImageError {
public:
    explicit WebpTooLargeError(const std::string& message) : ImageError(message) {}
};

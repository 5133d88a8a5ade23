#include "picture_import/image_readers.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace varkit {

bool start_image(DecodedImage& decoded, std::uint64_t width, std::uint64_t height,
                 const ImageBounds& bounds, bool holds_all_rows) {
    constexpr std::uint64_t kLargestSide = std::numeric_limits<std::uint32_t>::max();
    decoded.image.width = static_cast<std::uint32_t>(std::min(width, kLargestSide));
    decoded.image.height = static_cast<std::uint32_t>(std::min(height, kLargestSide));
    if (width == 0 || height == 0) {
        decoded.status = DecodeStatus::Unsupported;
        return false;
    }
    if (!image_size_allowed(width, height) || width > bounds.columns || height > bounds.rows) {
        decoded.status = DecodeStatus::TooLarge;
        return false;
    }
    if (!holds_all_rows) {
        decoded.status = DecodeStatus::EndsEarly;
        return false;
    }
    decoded.image.pixels.assign(width * height, 255);
    decoded.status = DecodeStatus::Decoded;
    return true;
}

std::optional<ImageFormat> image_format_of(std::span<const std::uint8_t> first_bytes) {
    const std::string_view bytes(reinterpret_cast<const char*>(first_bytes.data()),
                                 first_bytes.size());
    if (bytes.starts_with("BM")) {
        return ImageFormat::Bmp;
    }
    if (bytes.starts_with("\x89")) {
        return ImageFormat::Png;
    }
    if (bytes.starts_with("P")) {
        return ImageFormat::Pnm;
    }
    // A JPEG file begins with its start-of-image marker and a further marker.
    if (bytes.starts_with("\xFF\xD8\xFF")) {
        return ImageFormat::Jpeg;
    }
    if (bytes.starts_with("GIF8")) {
        return ImageFormat::Gif;
    }
    if (bytes.starts_with("RIFF") && bytes.size() >= 12 && bytes.substr(8).starts_with("WEBP")) {
        return ImageFormat::Webp;
    }
    // Either byte order's signature.
    if (bytes.starts_with(std::string_view("II*\0", 4)) ||
        bytes.starts_with(std::string_view("MM\0*", 4))) {
        return ImageFormat::Tiff;
    }
    return std::nullopt;
}

DecodedImage decode_image(std::span<const std::uint8_t> file, const ImageBounds& bounds) {
    const std::optional<ImageFormat> format = image_format_of(file);
    if (!format) {
        return DecodedImage{};
    }
    switch (*format) {
        case ImageFormat::Bmp:
            return decode_bmp(file, bounds);
        case ImageFormat::Png:
            return decode_png(file, bounds);
        case ImageFormat::Pnm:
            return decode_pnm(file, bounds);
        case ImageFormat::Jpeg:
            return decode_jpeg(file, bounds);
        case ImageFormat::Gif:
            return decode_gif(file, bounds);
        case ImageFormat::Webp:
            return decode_webp(file, bounds);
        case ImageFormat::Tiff:
            break;
    }
    return decode_tiff(file, bounds);
}

}  // namespace varkit

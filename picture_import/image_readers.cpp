#include "picture_import/image_readers.h"

#include <algorithm>
#include <limits>

namespace varkit {

bool start_image(DecodedImage& decoded, std::uint64_t width, std::uint64_t height,
                 bool holds_all_rows) {
    constexpr std::uint64_t kLargestSide = std::numeric_limits<std::uint32_t>::max();
    decoded.image.width = static_cast<std::uint32_t>(std::min(width, kLargestSide));
    decoded.image.height = static_cast<std::uint32_t>(std::min(height, kLargestSide));
    if (width == 0 || height == 0) {
        decoded.status = DecodeStatus::Unsupported;
        return false;
    }
    if (width > kLargestImagePixels || height > kLargestImagePixels ||
        width * height > kLargestImagePixels) {
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

DecodedImage decode_image(std::span<const std::uint8_t> file) {
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') {
        return decode_bmp(file);
    }
    if (file.size() >= 1 && file[0] == 0x89) {
        return decode_png(file);
    }
    if (file.size() >= 1 && file[0] == 'P') {
        return decode_pnm(file);
    }
    return DecodedImage{};
}

}  // namespace varkit

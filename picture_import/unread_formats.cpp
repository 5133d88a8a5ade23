// The formats Linux builds know by their first bytes but read no pixels of:
// JPEG, GIF, WebP and TIFF files are no image the program takes there.
#include "picture_import/image_readers.h"

namespace varkit {
namespace {

DecodedImage not_read(ImageFormat format) {
    DecodedImage decoded;
    decoded.status = DecodeStatus::NotImage;
    decoded.format = format;
    return decoded;
}

}  // namespace

DecodedImage decode_jpeg(std::span<const std::uint8_t>, const ImageBounds&) {
    return not_read(ImageFormat::Jpeg);
}

DecodedImage decode_gif(std::span<const std::uint8_t>, const ImageBounds&) {
    return not_read(ImageFormat::Gif);
}

DecodedImage decode_webp(std::span<const std::uint8_t>, const ImageBounds&) {
    return not_read(ImageFormat::Webp);
}

DecodedImage decode_tiff(std::span<const std::uint8_t>, const ImageBounds&) {
    return not_read(ImageFormat::Tiff);
}

}  // namespace varkit

// Builds without Debian's libjpeg-turbo, giflib and libwebp (the Windows
// one) read no JPEG, GIF or WebP files: they count as no image the program
// knows.
#include "picture_import/image_readers.h"

namespace varkit {
namespace {

DecodedImage unknown_image(ImageFormat format) {
    DecodedImage decoded;
    decoded.status = DecodeStatus::NotImage;
    decoded.format = format;
    return decoded;
}

}  // namespace

DecodedImage decode_jpeg(std::span<const std::uint8_t>, const ImageBounds&) {
    return unknown_image(ImageFormat::Jpeg);
}

DecodedImage decode_gif(std::span<const std::uint8_t>, const ImageBounds&) {
    return unknown_image(ImageFormat::Gif);
}

DecodedImage decode_webp(std::span<const std::uint8_t>, const ImageBounds&) {
    return unknown_image(ImageFormat::Webp);
}

}  // namespace varkit

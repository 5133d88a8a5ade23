// The PNG reader: every colour type and bit depth, interlaced or not, through
// libpng's simplified interface (no longjmp crosses our code; failures come
// back as a zero result with libpng's message).
#include <png.h>

#include <cstring>

#include "picture_import/image_readers.h"
#include "platform/png_image.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// The simplified interface does not report the file's own bit depth and
// colour type: they sit in the IHDR chunk right after the signature.
constexpr std::size_t kBitDepthAt = 24;
constexpr std::size_t kColourTypeAt = 25;
constexpr std::uint8_t kGreyType = 0;
constexpr std::uint8_t kPaletteType = 3;

void damaged(DecodedImage& decoded, PngImage& png) {
    decoded.status = DecodeStatus::Damaged;
    decoded.detail = png->message;
}

std::uint8_t rgba_grey(const std::uint8_t* rgba) {
    return over_white(luminance(rgba[0], rgba[1], rgba[2]), rgba[3]);
}

// A 1-bit palette image: of its two colours the darker one is on, at equal
// lightness colour 0; a palette of one colour has white for its second.
void read_two_colour_palette(PngImage& png, DecodedImage& decoded) {
    GreyImage& image = decoded.image;
    std::vector<std::uint8_t> colormap(256 * 4, 255);
    std::vector<std::uint8_t> indices(image.pixels.size());
    png->format = PNG_FORMAT_RGBA | PNG_FORMAT_FLAG_COLORMAP;
    if (!png_image_finish_read(png.get(), nullptr, indices.data(), 0, colormap.data())) {
        damaged(decoded, png);
        return;
    }
    const bool colour0_lighter = rgba_grey(colormap.data()) > rgba_grey(colormap.data() + 4);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const bool dark = (indices[i] == 0) != colour0_lighter;
        image.pixels[i] = dark ? 0 : 255;
    }
    image.two_coloured = true;
}

void read_any(PngImage& png, bool one_bit_grey, DecodedImage& decoded) {
    GreyImage& image = decoded.image;
    std::vector<std::uint8_t> rgba(image.pixels.size() * 4);
    png->format = PNG_FORMAT_RGBA;
    if (!png_image_finish_read(png.get(), nullptr, rgba.data(), 0, nullptr)) {
        damaged(decoded, png);
        return;
    }
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] = rgba_grey(rgba.data() + 4 * i);
    }
    // 1-bit grey is black and white already: 0 and 255, or a transparent
    // pixel over white.
    image.two_coloured = one_bit_grey;
}

}  // namespace

DecodedImage decode_png(Bytes file) {
    DecodedImage decoded;
    decoded.format = ImageFormat::Png;
    if (file.size() <= kColourTypeAt || std::memcmp(file.data(), kSignature, 8) != 0) {
        return decoded;
    }
    PngImage png;
    if (!png_image_begin_read_from_memory(png.get(), file.data(), file.size())) {
        damaged(decoded, png);
        return decoded;
    }
    if (!start_image(decoded, png->width, png->height)) {
        return decoded;
    }
    const bool one_bit = file[kBitDepthAt] == 1;
    if (one_bit && file[kColourTypeAt] == kPaletteType) {
        read_two_colour_palette(png, decoded);
    } else {
        read_any(png, one_bit && file[kColourTypeAt] == kGreyType, decoded);
    }
    return decoded;
}

}  // namespace varkit

// The PNG reader: every colour type and bit depth, interlaced or not, through
// the suite's libpng reader, which keeps its limits.
#include <png.h>

#include <cstring>

#include "picture_import/image_readers.h"
#include "platform/png_image.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void damaged(DecodedImage& decoded, const PngReader& png) {
    decoded.status = DecodeStatus::Damaged;
    decoded.detail = png.message();
}

std::uint8_t rgba_grey(const std::uint8_t* rgba) {
    return over_white(luminance(rgba[0], rgba[1], rgba[2]), rgba[3]);
}

// A 1-bit palette image: of its two colours the darker one is on, at equal
// lightness colour 0; a palette of one colour has white for its second.
void read_two_colour_palette(PngReader& png, DecodedImage& decoded) {
    GreyImage& image = decoded.image;
    std::vector<std::uint8_t> palette = png.palette_rgba();
    palette.resize(2 * 4, 255);
    std::vector<std::uint8_t> indices;
    if (!png.read_image(PngReader::Pixels::PaletteIndex, indices)) {
        damaged(decoded, png);
        return;
    }
    const bool colour0_lighter = rgba_grey(palette.data()) > rgba_grey(palette.data() + 4);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const bool dark = (indices[i] == 0) != colour0_lighter;
        image.pixels[i] = dark ? 0 : 255;
    }
    image.two_coloured = true;
}

void read_any(PngReader& png, DecodedImage& decoded) {
    GreyImage& image = decoded.image;
    std::vector<std::uint8_t> rgba;
    if (!png.read_image(PngReader::Pixels::Rgba, rgba)) {
        damaged(decoded, png);
        return;
    }
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] = rgba_grey(rgba.data() + 4 * i);
    }
    // 1-bit grey is black and white already: 0 and 255, or a transparent
    // pixel over white.
    image.two_coloured = png.bit_depth() == 1 && png.colour_type() == PNG_COLOR_TYPE_GRAY;
}

}  // namespace

DecodedImage decode_png(Bytes file, const ImageBounds& bounds) {
    DecodedImage decoded;
    decoded.format = ImageFormat::Png;
    if (file.size() < sizeof kSignature || std::memcmp(file.data(), kSignature, 8) != 0) {
        return decoded;
    }
    PngReader png(file);
    if (!png.read_header()) {
        damaged(decoded, png);
        return decoded;
    }
    // Refused by the size the header declares before any image data is read.
    if (!start_image(decoded, png.width(), png.height(), bounds)) {
        return decoded;
    }
    if (png.bit_depth() == 1 && png.colour_type() == PNG_COLOR_TYPE_PALETTE) {
        read_two_colour_palette(png, decoded);
    } else {
        read_any(png, decoded);
    }
    return decoded;
}

}  // namespace varkit

#include "platform/image_formats.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "platform/dib.h"
#include "platform/image_limits.h"
#include "platform/png_image.h"
#include "varfile/byte_order.h"

namespace varkit {
namespace {

// A block the image formats take: a header they know, a positive width,
// some rows, and a size within the suite's image limits.
std::optional<DibHeader> image_dib_header(const std::vector<std::uint8_t>& dib) {
    const DibHeader header = read_dib_header(dib);
    if (!is_known_dib_header(header, dib.size()) || header.width <= 0 || header.height == 0 ||
        !image_size_allowed(static_cast<std::uint64_t>(header.width), header.rows())) {
        return std::nullopt;
    }
    return header;
}

bool holds_all_rows(const DibHeader& header, std::size_t size) {
    return header.rows_offset() <= size && dib_holds_rows(header, size - header.rows_offset());
}

const std::uint8_t* row_from_top(const std::vector<std::uint8_t>& dib, const DibHeader& header,
                                 std::uint32_t y) {
    return dib.data() + header.rows_offset() + dib_stored_row(header, y) * header.stride();
}

std::optional<std::string> write_png(PngImage& image, const std::vector<std::uint8_t>& pixels,
                                     const std::vector<std::uint8_t>& colormap) {
    png_alloc_size_t size = 0;
    const void* map = colormap.empty() ? nullptr : colormap.data();
    if (!png_image_write_to_memory(image.get(), nullptr, &size, 0, pixels.data(), 0, map)) {
        return std::nullopt;
    }
    std::string png(size, '\0');
    if (!png_image_write_to_memory(image.get(), png.data(), &size, 0, pixels.data(), 0, map)) {
        return std::nullopt;
    }
    png.resize(size);
    return png;
}

std::optional<std::string> png_from_palette_dib(const std::vector<std::uint8_t>& dib,
                                                const DibHeader& header) {
    const auto width = static_cast<std::uint32_t>(header.width);
    const auto height = static_cast<std::uint32_t>(header.rows());
    std::vector<DibColour> table =
        dib_colour_table(header, std::span(dib).subspan(header.table_offset));
    table.resize(header.colour_count);
    PngImage image;
    image->width = width;
    image->height = height;
    image->format = PNG_FORMAT_RGB | PNG_FORMAT_FLAG_COLORMAP;
    image->colormap_entries = static_cast<png_uint_32>(table.size());
    std::vector<std::uint8_t> colormap;
    for (const DibColour& colour : table) {
        colormap.insert(colormap.end(), {colour.red, colour.green, colour.blue});
    }
    std::vector<std::uint8_t> indices(std::size_t{width} * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = row_from_top(dib, header, y);
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned index = dib_colour_index(row, x, header.bits_per_pixel);
            indices[std::size_t{y} * width + x] =
                static_cast<std::uint8_t>(std::min<std::size_t>(index, table.size() - 1));
        }
    }
    return write_png(image, indices, colormap);
}

std::optional<std::string> png_from_true_colour_dib(const std::vector<std::uint8_t>& dib,
                                                    const DibHeader& header) {
    const auto width = static_cast<std::uint32_t>(header.width);
    const auto height = static_cast<std::uint32_t>(header.rows());
    PngImage image;
    image->width = width;
    image->height = height;
    image->format = PNG_FORMAT_BGR;
    const std::size_t step = header.bits_per_pixel / 8;
    std::vector<std::uint8_t> pixels;
    pixels.reserve(std::size_t{width} * height * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = row_from_top(dib, header, y);
        for (std::uint32_t x = 0; x < width; ++x) {
            pixels.insert(pixels.end(), row + x * step, row + x * step + 3);
        }
    }
    return write_png(image, pixels, {});
}

// A palette of at most two colours gives 1 bit per pixel, larger ones 4 or 8.
std::vector<std::uint8_t> dib_from_palette_png(PngReader& png) {
    std::vector<std::uint8_t> indices;
    const std::vector<std::uint8_t> palette = png.palette_rgba();
    if (palette.empty() || !png.read_image(PngReader::Pixels::PaletteIndex, indices)) {
        return {};
    }
    std::vector<DibColour> table;
    for (std::size_t i = 0; i < palette.size(); i += 4) {
        table.push_back({palette[i], palette[i + 1], palette[i + 2]});
    }
    const unsigned bits = table.size() <= 2 ? 1 : table.size() <= 16 ? 4 : 8;
    DibBuilder builder(png.width(), png.height(), bits, table);
    for (std::uint32_t y = 0; y < png.height(); ++y) {
        for (std::uint32_t x = 0; x < png.width(); ++x) {
            const std::size_t index = indices[std::size_t{y} * png.width() + x];
            builder.put_index(x, y, static_cast<unsigned>(std::min(index, table.size() - 1)));
        }
    }
    return builder.take();
}

// Grey of 1 bit stays 1 bit, any other grey is 8 bits; colour is 24 bits,
// anything with transparency 32.
std::vector<std::uint8_t> dib_from_direct_png(PngReader& png) {
    std::vector<std::uint8_t> rgba;
    if (!png.read_image(PngReader::Pixels::Rgba, rgba)) {
        return {};
    }
    const bool alpha = png.has_transparency();
    const bool grey = (png.colour_type() & PNG_COLOR_MASK_COLOR) == 0 && !alpha;
    const bool two_levels = grey && png.bit_depth() == 1;
    const unsigned bits = alpha ? 32 : !grey ? 24 : two_levels ? 1 : 8;
    DibBuilder builder(png.width(), png.height(), bits,
                       grey ? dib_grey_steps(two_levels ? 2 : 256) : std::vector<DibColour>{});
    for (std::uint32_t y = 0; y < png.height(); ++y) {
        std::uint8_t* row = builder.row_from_top(y);
        for (std::uint32_t x = 0; x < png.width(); ++x) {
            const std::uint8_t* pixel = rgba.data() + 4 * (std::size_t{y} * png.width() + x);
            if (grey) {
                builder.put_index(x, y, two_levels ? pixel[0] >= 128 : pixel[0]);
            } else {
                const std::size_t step = alpha ? 4 : 3;
                const std::uint8_t bgra[4] = {pixel[2], pixel[1], pixel[0], pixel[3]};
                std::memcpy(row + x * step, bgra, step);
            }
        }
    }
    return builder.take();
}

}  // namespace

std::optional<std::vector<std::uint8_t>> dib_from_bmp_file(std::string_view file) {
    if (file.size() <= kBmpFileHeaderSize || !file.starts_with("BM")) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    std::vector<std::uint8_t> dib(bytes + kBmpFileHeaderSize, bytes + file.size());
    const DibHeader header = read_dib_header(dib);
    const std::uint64_t rows_at = read_le32(bytes + 10);
    if (is_known_dib_header(header, dib.size()) &&
        rows_at > kBmpFileHeaderSize + header.rows_offset() && rows_at < file.size()) {
        dib.resize(header.rows_offset());
        dib.insert(dib.end(), bytes + rows_at, bytes + file.size());
    }
    return dib;
}

std::optional<std::string> png_from_dib(const std::vector<std::uint8_t>& dib) {
    const std::optional<DibHeader> header = image_dib_header(dib);
    if (!header || header->compression != kDibRgb || !holds_all_rows(*header, dib.size())) {
        return std::nullopt;
    }
    switch (header->bits_per_pixel) {
        case 1:
        case 4:
        case 8:
            return png_from_palette_dib(dib, *header);
        case 24:
        case 32:
            return png_from_true_colour_dib(dib, *header);
        default:
            return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> dib_from_png(std::string_view png) {
    PngReader reader(std::span(reinterpret_cast<const std::uint8_t*>(png.data()), png.size()));
    if (!reader.read_header() || !image_size_allowed(reader.width(), reader.height())) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> dib =
        reader.colour_type() == PNG_COLOR_TYPE_PALETTE && !reader.has_transparency()
            ? dib_from_palette_png(reader)
            : dib_from_direct_png(reader);
    if (dib.empty()) {
        return std::nullopt;
    }
    return dib;
}

}  // namespace varkit

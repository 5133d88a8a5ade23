#include "platform/image_formats.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <span>

#include "platform/dib.h"
#include "platform/image_limits.h"
#include "platform/png_image.h"
#include "varfile/byte_order.h"

namespace varkit {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

using Bgr = std::array<std::uint8_t, 3>;

std::size_t stride_for(std::uint32_t width, unsigned bits_per_pixel) {
    return ((static_cast<std::size_t>(width) * bits_per_pixel + 31) / 32) * 4;
}

// Where things are in a packed DIB with an information header of at least
// 40 bytes.
struct DibLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;  // rows, whichever way they run
    bool bottom_up = true;
    unsigned bits_per_pixel = 0;
    std::uint32_t compression = 0;
    std::size_t colours = 0;
    std::size_t table_offset = 0;
    std::size_t rows_offset = 0;
    std::size_t stride = 0;
};

std::optional<DibLayout> parse_dib(const std::uint8_t* data, std::size_t size) {
    if (size < kDibInfoHeaderSize) {
        return std::nullopt;
    }
    const std::uint32_t header_size = read_le32(data);
    const auto width = static_cast<std::int32_t>(read_le32(data + 4));
    const auto height = static_cast<std::int32_t>(read_le32(data + 8));
    DibLayout layout;
    layout.bits_per_pixel = read_le16(data + 14);
    layout.compression = read_le32(data + 16);
    const std::uint32_t colours_used = read_le32(data + 32);
    if (header_size < kDibInfoHeaderSize || header_size > size || width <= 0 || height == 0 ||
        height == INT32_MIN || layout.bits_per_pixel == 0 || layout.bits_per_pixel > 32) {
        return std::nullopt;
    }
    layout.width = static_cast<std::uint32_t>(width);
    layout.bottom_up = height > 0;
    layout.height = static_cast<std::uint32_t>(height > 0 ? height : -height);
    if (layout.bits_per_pixel <= 8) {
        const std::size_t most = std::size_t{1} << layout.bits_per_pixel;
        layout.colours = colours_used != 0 && colours_used < most ? colours_used : most;
    } else {
        layout.colours = colours_used;
    }
    // Old-style bit-field blocks keep their three masks after a 40-byte header.
    const std::size_t masks =
        layout.compression == kBiBitfields && header_size == kDibInfoHeaderSize ? 12 : 0;
    layout.table_offset = header_size + masks;
    layout.rows_offset = layout.table_offset + layout.colours * 4;
    layout.stride = stride_for(layout.width, layout.bits_per_pixel);
    return layout;
}

bool holds_all_rows(const DibLayout& layout, std::size_t size) {
    return image_size_allowed(layout.width, layout.height) && layout.rows_offset <= size &&
           (size - layout.rows_offset) / layout.stride >= layout.height;
}

const std::uint8_t* row_from_top(const std::vector<std::uint8_t>& dib, const DibLayout& layout,
                                 std::uint32_t y) {
    const std::uint32_t stored = layout.bottom_up ? layout.height - 1 - y : y;
    return dib.data() + layout.rows_offset + stored * layout.stride;
}

unsigned palette_index(const std::uint8_t* row, std::uint32_t x, unsigned bits_per_pixel) {
    switch (bits_per_pixel) {
        case 1:
            return (row[x / 8] >> (7 - x % 8)) & 1;
        case 4:
            return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15;
        default:
            return row[x];
    }
}

// A new bottom-up DIB with a 40-byte header and its colour table, rows zeroed.
class DibBuilder {
  public:
    DibBuilder(std::uint32_t width, std::uint32_t height, unsigned bits_per_pixel,
               const std::vector<Bgr>& table)
        : width_(width),
          height_(height),
          bits_(bits_per_pixel),
          stride_(stride_for(width, bits_per_pixel)),
          rows_offset_(kDibInfoHeaderSize + table.size() * 4),
          dib_(rows_offset_ + stride_ * height, 0) {
        std::uint8_t* h = dib_.data();
        write_le32(h + 0, kDibInfoHeaderSize);
        write_le32(h + 4, width);
        write_le32(h + 8, height);
        write_le16(h + 12, 1);
        write_le16(h + 14, static_cast<std::uint16_t>(bits_per_pixel));
        write_le32(h + 20, static_cast<std::uint32_t>(stride_ * height));
        write_le32(h + 32, static_cast<std::uint32_t>(table.size()));
        for (std::size_t i = 0; i < table.size(); ++i) {
            std::memcpy(h + kDibInfoHeaderSize + 4 * i, table[i].data(), 3);
        }
    }

    std::uint8_t* row_from_top(std::uint32_t y) {
        return dib_.data() + rows_offset_ + (height_ - 1 - y) * stride_;
    }

    void put_index(std::uint32_t x, std::uint32_t y, unsigned index) {
        std::uint8_t* row = row_from_top(y);
        switch (bits_) {
            case 1:
                row[x / 8] |= static_cast<std::uint8_t>((index & 1) << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= static_cast<std::uint8_t>((index & 15) << (x % 2 == 0 ? 4 : 0));
                break;
            default:
                row[x] = static_cast<std::uint8_t>(index);
        }
    }

    std::vector<std::uint8_t> take() { return std::move(dib_); }
    std::uint32_t width() const { return width_; }

  private:
    std::uint32_t width_;
    std::uint32_t height_;
    unsigned bits_;
    std::size_t stride_;
    std::size_t rows_offset_;
    std::vector<std::uint8_t> dib_;
};

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
                                                const DibLayout& layout) {
    PngImage image;
    image->width = layout.width;
    image->height = layout.height;
    image->format = PNG_FORMAT_RGB | PNG_FORMAT_FLAG_COLORMAP;
    image->colormap_entries = static_cast<png_uint_32>(layout.colours);
    std::vector<std::uint8_t> colormap;
    for (std::size_t i = 0; i < layout.colours; ++i) {
        const std::uint8_t* entry = dib.data() + layout.table_offset + 4 * i;
        colormap.insert(colormap.end(), {entry[2], entry[1], entry[0]});
    }
    std::vector<std::uint8_t> indices(std::size_t{layout.width} * layout.height);
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        const std::uint8_t* row = row_from_top(dib, layout, y);
        for (std::uint32_t x = 0; x < layout.width; ++x) {
            unsigned index = palette_index(row, x, layout.bits_per_pixel);
            indices[std::size_t{y} * layout.width + x] =
                static_cast<std::uint8_t>(index < layout.colours ? index : layout.colours - 1);
        }
    }
    return write_png(image, indices, colormap);
}

std::optional<std::string> png_from_true_colour_dib(const std::vector<std::uint8_t>& dib,
                                                    const DibLayout& layout) {
    PngImage image;
    image->width = layout.width;
    image->height = layout.height;
    image->format = PNG_FORMAT_BGR;
    const std::size_t step = layout.bits_per_pixel / 8;
    std::vector<std::uint8_t> pixels;
    pixels.reserve(std::size_t{layout.width} * layout.height * 3);
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        const std::uint8_t* row = row_from_top(dib, layout, y);
        for (std::uint32_t x = 0; x < layout.width; ++x) {
            pixels.insert(pixels.end(), row + x * step, row + x * step + 3);
        }
    }
    return write_png(image, pixels, {});
}

std::vector<Bgr> grey_table(std::size_t levels) {
    std::vector<Bgr> table;
    for (std::size_t i = 0; i < levels; ++i) {
        auto v = static_cast<std::uint8_t>(i * 255 / (levels - 1));
        table.push_back({v, v, v});
    }
    return table;
}

// A palette of at most two colours gives 1 bit per pixel, larger ones 4 or 8.
std::vector<std::uint8_t> dib_from_palette_png(PngReader& png) {
    std::vector<std::uint8_t> indices;
    const std::vector<std::uint8_t> palette = png.palette_rgba();
    if (palette.empty() || !png.read_image(PngReader::Pixels::PaletteIndex, indices)) {
        return {};
    }
    std::vector<Bgr> table;
    for (std::size_t i = 0; i < palette.size(); i += 4) {
        table.push_back({palette[i + 2], palette[i + 1], palette[i]});
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
                       grey ? grey_table(two_levels ? 2 : 256) : std::vector<Bgr>{});
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

std::string bmp_file_from_dib(const std::vector<std::uint8_t>& dib) {
    auto header = bmp_file_header(dib);
    if (auto layout = parse_dib(dib.data(), dib.size())) {
        write_le32(header.data() + 10,
                   static_cast<std::uint32_t>(kBmpFileHeaderSize + layout->rows_offset));
    }
    std::string file(header.begin(), header.end());
    file.append(dib.begin(), dib.end());
    return file;
}

std::optional<std::vector<std::uint8_t>> dib_from_bmp_file(std::string_view file) {
    if (file.size() <= kBmpFileHeaderSize || !file.starts_with("BM")) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    std::vector<std::uint8_t> dib(bytes + kBmpFileHeaderSize, bytes + file.size());
    auto layout = parse_dib(dib.data(), dib.size());
    const std::size_t rows_at = read_le32(bytes + 10);
    if (layout && rows_at > kBmpFileHeaderSize + layout->rows_offset && rows_at < file.size()) {
        dib.resize(layout->rows_offset);
        dib.insert(dib.end(), bytes + rows_at, bytes + file.size());
    }
    return dib;
}

std::optional<std::string> png_from_dib(const std::vector<std::uint8_t>& dib) {
    auto layout = parse_dib(dib.data(), dib.size());
    if (!layout || layout->compression != kBiRgb || !holds_all_rows(*layout, dib.size())) {
        return std::nullopt;
    }
    switch (layout->bits_per_pixel) {
        case 1:
        case 4:
        case 8:
            return png_from_palette_dib(dib, *layout);
        case 24:
        case 32:
            return png_from_true_colour_dib(dib, *layout);
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

#include "platform/dib.h"

#include <algorithm>

#include "varfile/byte_order.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint32_t le32_at(Bytes block, std::uint64_t at) {
    return at + 4 <= block.size() ? read_le32(block.data() + at) : 0;
}

std::uint16_t le16_at(Bytes block, std::uint64_t at) {
    return at + 2 <= block.size() ? read_le16(block.data() + at) : 0;
}

std::uint64_t packed_row_bytes(std::uint64_t width, unsigned bits_per_pixel) {
    return (width * bits_per_pixel + 7) / 8;
}

void default_masks(DibHeader& header) {
    if (header.bits_per_pixel == 16) {
        header.masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else {
        header.masks = {0xFF0000, 0xFF00, 0xFF, 0};
    }
}

// Bit-field masks sit in the header from its version 2 (52 bytes) on, and
// after a shorter header otherwise; alpha has one from version 3 (56 bytes)
// or with alpha bit fields.
void read_masks(Bytes block, DibHeader& header) {
    const bool with_alpha = header.compression == kDibAlphaBitfields || header.size >= 56;
    const std::uint64_t count = with_alpha ? 4 : 3;
    const bool inside = header.size >= 52;
    const std::uint64_t at = inside ? kDibInfoHeaderSize : header.size;
    for (std::uint64_t i = 0; i < count; ++i) {
        header.masks[i] = le32_at(block, at + 4 * i);
    }
    if (!inside) {
        header.table_offset += 4 * count;
    }
}

std::uint64_t colour_count(const DibHeader& header, std::uint32_t colours_used) {
    if (header.bits_per_pixel > 8) {
        return colours_used;
    }
    const std::uint64_t most = std::uint64_t{1} << header.bits_per_pixel;
    return colours_used != 0 && colours_used < most ? colours_used : most;
}

}  // namespace

std::uint64_t dib_stride(std::uint64_t width, unsigned bits_per_pixel) {
    return (width * bits_per_pixel + 31) / 32 * 4;
}

std::uint64_t DibHeader::stride() const {
    return dib_stride(columns(), bits_per_pixel);
}

DibHeader read_dib_header(Bytes block) {
    DibHeader header;
    header.size = le32_at(block, 0);
    std::uint32_t colours_used = 0;
    if (header.is_core()) {
        header.width = le16_at(block, 4);
        header.height = le16_at(block, 6);
        header.bits_per_pixel = le16_at(block, 10);
    } else {
        header.width = static_cast<std::int32_t>(le32_at(block, 4));
        header.height = static_cast<std::int32_t>(le32_at(block, 8));
        header.bits_per_pixel = le16_at(block, 14);
        header.compression = le32_at(block, 16);
        colours_used = le32_at(block, 32);
    }
    header.table_offset = header.size;
    default_masks(header);
    if (header.compression == kDibBitfields || header.compression == kDibAlphaBitfields) {
        read_masks(block, header);
    }
    header.colour_count = colour_count(header, colours_used);
    return header;
}

bool is_known_dib_header(const DibHeader& header, std::size_t block_size) {
    return (header.is_core() || header.size >= kDibInfoHeaderSize) && header.size <= block_size;
}

std::uint64_t dib_stored_row(const DibHeader& header, std::uint64_t row) {
    return header.height > 0 ? header.rows() - 1 - row : row;
}

bool dib_holds_rows(const DibHeader& header, std::uint64_t available) {
    const std::uint64_t stride = header.stride();
    const std::uint64_t used = packed_row_bytes(header.columns(), header.bits_per_pixel);
    if (header.rows() == 0 || stride == 0) {
        return true;
    }
    return available >= used && (available - used) / stride >= header.rows() - 1;
}

unsigned dib_colour_index(const std::uint8_t* row, std::uint64_t x, unsigned bits_per_pixel) {
    const std::uint64_t bit = x * bits_per_pixel;
    return (row[bit / 8] >> (8 - bits_per_pixel - bit % 8)) & ((1u << bits_per_pixel) - 1);
}

std::vector<DibColour> dib_grey_steps(std::size_t levels) {
    std::vector<DibColour> steps;
    for (std::size_t i = 0; i < levels; ++i) {
        const auto v = static_cast<std::uint8_t>(levels > 1 ? i * 255 / (levels - 1) : 0);
        steps.push_back({v, v, v});
    }
    return steps;
}

std::vector<DibColour> dib_colour_table(const DibHeader& header, Bytes table) {
    if (header.bits_per_pixel > 8) {
        return {};
    }
    std::vector<DibColour> colours = dib_grey_steps(std::size_t{1} << header.bits_per_pixel);
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(header.colour_count, colours.size());
         ++i) {
        const std::uint64_t at = i * header.colour_size();
        if (at + 3 <= table.size()) {
            colours[i] = {table[at + 2], table[at + 1], table[at]};
        }
    }
    return colours;
}

DibBuilder::DibBuilder(std::uint32_t width, std::uint32_t height, unsigned bits_per_pixel,
                       const std::vector<DibColour>& table) {
    header_.size = kDibInfoHeaderSize;
    header_.width = width;
    header_.height = height;
    header_.bits_per_pixel = bits_per_pixel;
    header_.table_offset = kDibInfoHeaderSize;
    header_.colour_count = table.size();
    const std::uint64_t image_size = header_.stride() * height;
    dib_.assign(header_.rows_offset() + image_size, 0);
    std::uint8_t* h = dib_.data();
    write_le32(h + 0, kDibInfoHeaderSize);
    write_le32(h + 4, width);
    write_le32(h + 8, height);
    write_le16(h + 12, 1);  // planes
    write_le16(h + 14, static_cast<std::uint16_t>(bits_per_pixel));
    write_le32(h + 16, kDibRgb);
    write_le32(h + 20, static_cast<std::uint32_t>(image_size));
    write_le32(h + 32, static_cast<std::uint32_t>(table.size()));
    // Each entry blue, green, red and a zero.
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::uint8_t* entry = h + kDibInfoHeaderSize + 4 * i;
        entry[0] = table[i].blue;
        entry[1] = table[i].green;
        entry[2] = table[i].red;
    }
}

std::uint8_t* DibBuilder::row_from_top(std::uint32_t y) {
    return dib_.data() + header_.rows_offset() + dib_stored_row(header_, y) * header_.stride();
}

void DibBuilder::put_index(std::uint32_t x, std::uint32_t y, unsigned index) {
    const unsigned bits = header_.bits_per_pixel;
    const std::uint64_t bit = std::uint64_t{x} * bits;
    const unsigned mask = (1u << bits) - 1;
    row_from_top(y)[bit / 8] |= static_cast<std::uint8_t>((index & mask) << (8 - bits - bit % 8));
}

bool is_valid_monochrome(const DeviceBitmap& bitmap) {
    if (bitmap.type != 0 || bitmap.width <= 0 || bitmap.height <= 0 || bitmap.planes != 1 ||
        bitmap.bits_per_pixel != 1 || bitmap.row_length <= 0 || bitmap.row_length % 2 != 0) {
        return false;
    }
    std::size_t row_length = static_cast<std::size_t>(bitmap.row_length);
    return row_length >= packed_row_bytes(static_cast<std::uint64_t>(bitmap.width), 1) &&
           bitmap.bits.size() / row_length >= static_cast<std::size_t>(bitmap.height);
}

std::vector<std::uint8_t> synthesize_dib(const DeviceBitmap& bitmap) {
    const auto width = static_cast<std::uint32_t>(bitmap.width);
    const auto height = static_cast<std::uint32_t>(bitmap.height);
    DibBuilder builder(width, height, 1, {{0, 0, 0}, {0xFF, 0xFF, 0xFF}});
    const std::size_t copy = packed_row_bytes(width, 1);
    const std::size_t row_length = static_cast<std::size_t>(bitmap.row_length);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::copy_n(bitmap.bits.data() + y * row_length, copy, builder.row_from_top(y));
    }
    return builder.take();
}

std::array<std::uint8_t, kBmpFileHeaderSize> bmp_file_header(const std::vector<std::uint8_t>& dib) {
    const DibHeader header = read_dib_header(dib);
    std::array<std::uint8_t, kBmpFileHeaderSize> file_header{};
    file_header[0] = 'B';
    file_header[1] = 'M';
    write_le32(file_header.data() + 2, static_cast<std::uint32_t>(dib.size() + kBmpFileHeaderSize));
    write_le32(file_header.data() + 10,
               static_cast<std::uint32_t>(kBmpFileHeaderSize + header.rows_offset()));
    return file_header;
}

std::string bmp_file_from_dib(const std::vector<std::uint8_t>& dib) {
    const auto header = bmp_file_header(dib);
    std::string file(header.begin(), header.end());
    file.append(dib.begin(), dib.end());
    return file;
}

}  // namespace varkit

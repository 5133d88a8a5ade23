#include "picture_import/bmp_reader.h"

#include <climits>
#include <cstdlib>

#include "platform/dib.h"

namespace varkit {
namespace {

// The perceived lightness of a colour table entry (blue, green, red, 0).
unsigned lightness(const std::uint8_t* entry) {
    return 114u * entry[0] + 587u * entry[1] + 299u * entry[2];
}

// With no readable colour table the usual one applies: 0 black, 1 white.
bool colour0_is_lighter(std::FILE* file, std::uint64_t table_offset) {
    std::uint8_t table[8];
    if (table_offset > static_cast<std::uint64_t>(LONG_MAX) ||
        std::fseek(file, static_cast<long>(table_offset), SEEK_SET) != 0 ||
        std::fread(table, 1, sizeof table, file) != sizeof table) {
        return false;
    }
    return lightness(table) > lightness(table + 4);
}

bool fits_picture(const BmpLayout& layout) {
    std::int64_t rows = std::llabs(static_cast<std::int64_t>(layout.height));
    return layout.width > 0 && layout.width <= static_cast<std::int32_t>(kMaxPictureColumns) &&
           rows > 0 && rows <= kMaxPictureRows && layout.bits_per_pixel == 1 &&
           layout.compression == 0;
}

}  // namespace

BmpCheck read_bmp_layout(std::FILE* file, BmpLayout& layout) {
    std::uint8_t header[kBmpFileHeaderSize + kDibInfoHeaderSize];
    std::rewind(file);
    if (std::fread(header, 1, sizeof header, file) != sizeof header || header[0] != 'B' ||
        header[1] != 'M') {
        return BmpCheck::NotBitmap;
    }
    const std::uint8_t* info = header + kBmpFileHeaderSize;
    const std::uint64_t info_size = read_le32(info);
    layout.rows_offset = read_le32(header + 10);
    // An older, shorter information header lays its fields out otherwise, and
    // rows cannot begin inside the headers.
    if (info_size < kDibInfoHeaderSize || layout.rows_offset < kBmpFileHeaderSize + info_size) {
        return BmpCheck::NotBitmap;
    }
    layout.width = static_cast<std::int32_t>(read_le32(info + 4));
    layout.height = static_cast<std::int32_t>(read_le32(info + 8));
    layout.bits_per_pixel = read_le16(info + 14);
    layout.compression = read_le32(info + 16);
    if (!fits_picture(layout)) {
        return BmpCheck::NotMonochrome;
    }
    layout.colour0_lighter = colour0_is_lighter(file, kBmpFileHeaderSize + info_size);
    return BmpCheck::Monochrome;
}

Dimensions bmp_picture_size(const BmpLayout& layout) {
    return Dimensions{static_cast<std::uint16_t>(std::abs(layout.height)),
                      static_cast<std::uint16_t>(layout.width)};
}

bool read_bmp_rows(std::FILE* file, const BmpLayout& layout, std::vector<std::uint8_t>& rows) {
    const Dimensions size = bmp_picture_size(layout);
    const std::size_t row_bytes = picture_row_bytes(size.columns);
    // BMP rows are padded to whole 32-bit words.
    const std::size_t stored_row = (row_bytes + 3) / 4 * 4;
    // The bits past the last column become pixels that are off.
    const std::uint8_t last_mask =
        static_cast<std::uint8_t>(0xFF << (8 * row_bytes - size.columns));
    // A 0 bit is normally the dark colour, a pixel that is on.
    const std::uint8_t flip = layout.colour0_lighter ? 0x00 : 0xFF;
    const bool bottom_up = layout.height > 0;

    rows.assign(picture_rows_size(size), 0);
    std::vector<std::uint8_t> row(row_bytes);
    for (std::size_t i = 0; i < size.rows; ++i) {
        long offset = static_cast<long>(layout.rows_offset + i * stored_row);
        if (std::fseek(file, offset, SEEK_SET) != 0 ||
            std::fread(row.data(), 1, row_bytes, file) != row_bytes) {
            return false;
        }
        std::size_t picture_row = bottom_up ? size.rows - 1 - i : i;
        for (std::size_t b = 0; b < row_bytes; ++b) {
            rows[picture_row * row_bytes + b] = static_cast<std::uint8_t>(row[b] ^ flip);
        }
        rows[picture_row * row_bytes + row_bytes - 1] &= last_mask;
    }
    return true;
}

}  // namespace varkit

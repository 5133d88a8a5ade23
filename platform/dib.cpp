#include "platform/dib.h"

#include <algorithm>

#include "varfile/byte_order.h"

namespace varkit {
namespace {

std::size_t dib_stride(int width) {
    return ((static_cast<std::size_t>(width) + 31) / 32) * 4;
}

std::size_t packed_row_bytes(int width) {
    return (static_cast<std::size_t>(width) + 7) / 8;
}

// A block of up to 8 bits per pixel has 2^(bits per pixel) colours unless
// it names fewer in use; a deeper one has only the colours it names, after
// the three bit-field masks that follow a 40-byte header.
std::uint64_t colour_table_size(const std::vector<std::uint8_t>& dib, std::uint32_t info_size,
                                unsigned bits_per_pixel) {
    constexpr std::uint32_t kBitfields = 3;
    std::uint32_t compression = dib.size() >= 20 ? read_le32(dib.data() + 16) : 0;
    std::uint64_t colours_used = dib.size() >= 36 ? read_le32(dib.data() + 32) : 0;
    if (bits_per_pixel <= 8) {
        std::uint64_t most = 1ull << bits_per_pixel;
        return 4 * (colours_used != 0 && colours_used < most ? colours_used : most);
    }
    bool masks = compression == kBitfields && info_size == kDibInfoHeaderSize;
    return 4 * colours_used + (masks ? 12 : 0);
}

}  // namespace

bool is_valid_monochrome(const DeviceBitmap& bitmap) {
    if (bitmap.type != 0 || bitmap.width <= 0 || bitmap.height <= 0 || bitmap.planes != 1 ||
        bitmap.bits_per_pixel != 1 || bitmap.row_length <= 0 || bitmap.row_length % 2 != 0) {
        return false;
    }
    std::size_t row_length = static_cast<std::size_t>(bitmap.row_length);
    return row_length >= packed_row_bytes(bitmap.width) &&
           bitmap.bits.size() / row_length >= static_cast<std::size_t>(bitmap.height);
}

std::vector<std::uint8_t> synthesize_dib(const DeviceBitmap& bitmap) {
    const std::size_t stride = dib_stride(bitmap.width);
    const std::size_t rows = static_cast<std::size_t>(bitmap.height);
    const std::size_t image_size = stride * rows;
    std::vector<std::uint8_t> dib(kDibInfoHeaderSize + 8 + image_size, 0);

    std::uint8_t* h = dib.data();
    write_le32(h + 0, kDibInfoHeaderSize);
    write_le32(h + 4, static_cast<std::uint32_t>(bitmap.width));
    write_le32(h + 8, static_cast<std::uint32_t>(bitmap.height));
    write_le16(h + 12, 1);  // planes
    write_le16(h + 14, 1);  // bits per pixel
    write_le32(h + 16, 0);  // no compression
    write_le32(h + 20, static_cast<std::uint32_t>(image_size));
    write_le32(h + 32, 2);  // colours used
    // Colour table: entry 0 black, entry 1 white (blue, green, red, 0).
    std::uint8_t* table = h + kDibInfoHeaderSize;
    table[4] = table[5] = table[6] = 0xFF;

    std::uint8_t* pixels = table + 8;
    const std::size_t copy = packed_row_bytes(bitmap.width);
    const std::size_t row_length = static_cast<std::size_t>(bitmap.row_length);
    for (std::size_t y = 0; y < rows; ++y) {
        const std::uint8_t* from = bitmap.bits.data() + y * row_length;
        std::copy_n(from, copy, pixels + (rows - 1 - y) * stride);
    }
    return dib;
}

std::array<std::uint8_t, kBmpFileHeaderSize> bmp_file_header(const std::vector<std::uint8_t>& dib) {
    std::uint32_t info_size = dib.size() >= 4 ? read_le32(dib.data()) : 0;
    unsigned bits_per_pixel = dib.size() >= 16 ? read_le16(dib.data() + 14) : 0;
    std::uint64_t table_size = colour_table_size(dib, info_size, bits_per_pixel);
    std::uint32_t rows_offset =
        static_cast<std::uint32_t>(kBmpFileHeaderSize + info_size + table_size);

    std::array<std::uint8_t, kBmpFileHeaderSize> header{};
    header[0] = 'B';
    header[1] = 'M';
    write_le32(header.data() + 2, static_cast<std::uint32_t>(dib.size() + kBmpFileHeaderSize));
    write_le32(header.data() + 10, rows_offset);
    return header;
}

}  // namespace varkit

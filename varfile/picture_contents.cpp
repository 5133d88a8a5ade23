// Picture rows in and out of a variable file, and picture rows to device
// bitmap bits.
#include "varfile/picture_contents.h"

namespace varkit {

int vf_read_picture_rows(long offset, const Dimensions& size, std::vector<std::uint8_t>& rows,
                         std::FILE* stream) {
    rows.clear();
    if (vf_seek(offset, stream) != 0) {
        return 0;
    }
    // Row by row, so a stored size far beyond what the file holds costs no
    // more memory than the file itself.
    const std::size_t row_bytes = picture_row_bytes(size.columns);
    std::vector<std::uint8_t> row(row_bytes);
    for (unsigned r = 0; r < size.rows; ++r) {
        if (std::fread(row.data(), 1, row_bytes, stream) != row_bytes) {
            return 0;
        }
        rows.insert(rows.end(), row.begin(), row.end());
    }
    return 1;
}

int vf_write_picture(const Dimensions& size, const std::vector<std::uint8_t>& rows,
                     std::FILE* stream) {
    if (rows.size() != picture_rows_size(size) || vf_write_dimensions(&size, stream) != 1) {
        return 0;
    }
    // The size words end where the rows begin.
    if (!rows.empty() && std::fwrite(rows.data(), rows.size(), 1, stream) != 1) {
        return 0;
    }
    return std::fputc(kPictureTag, stream) == EOF ? 0 : 1;
}

PictureBitmapBits vf_picture_bitmap_bits(const Dimensions& size,
                                         const std::vector<std::uint8_t>& rows) {
    const std::size_t row_bytes = picture_row_bytes(size.columns);
    const std::size_t row_length = row_bytes + row_bytes % 2;
    PictureBitmapBits bitmap;
    bitmap.width = size.columns;
    bitmap.height = size.rows;
    bitmap.row_length = static_cast<int>(row_length);
    bitmap.bits.assign(row_length * size.rows, 0);
    for (std::size_t r = 0; r < size.rows; ++r) {
        for (std::size_t b = 0; b < row_bytes; ++b) {
            bitmap.bits[r * row_length + b] = static_cast<std::uint8_t>(~rows[r * row_bytes + b]);
        }
    }
    return bitmap;
}

}  // namespace varkit

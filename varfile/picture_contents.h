// Picture variable contents: the rows of a monochrome picture and the one rule
// that turns them into the bits of a monochrome device bitmap, shared by the
// picture exporter and the rich text exporter.
//
// After the 88-byte header a picture holds its height (rows) and width
// (columns) as big-endian words, then the rows from offset 92, top row
// first, each of ceil(columns / 8) bytes, most significant bit leftmost,
// 1 for a pixel that is on (dark). The tag 0xDF follows the last row.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "varfile/container.h"

namespace varkit {

inline constexpr long kPictureRowsOffset = 92;
inline constexpr std::uint8_t kPictureTag = 0xDF;
// The largest picture the calculator's graph screen gives and the importer
// accepts.
inline constexpr unsigned kMaxPictureColumns = 239;
inline constexpr unsigned kMaxPictureRows = 103;
// Data bytes beside the rows: the two size words and the tag.
inline constexpr unsigned kPictureDataOverhead = 5;

// Bytes of one picture row.
inline std::size_t picture_row_bytes(unsigned columns) {
    return (columns + 7u) / 8u;
}

// Bytes of all rows of a picture of that size.
inline std::size_t picture_rows_size(const Dimensions& size) {
    return static_cast<std::size_t>(size.rows) * picture_row_bytes(size.columns);
}

// Reads the rows of a picture of `size` whose first row byte is at `offset`,
// replacing what `rows` held. 0 when positioning fails or the file ends
// before the last row (`rows` then holds what was read); 1 otherwise.
int vf_read_picture_rows(long offset, const Dimensions& size, std::vector<std::uint8_t>& rows,
                         std::FILE* stream);

// Writes the picture data after the header: the size words at offset 88, the
// rows from offset 92 and the tag. `rows` must hold picture_rows_size(size)
// bytes. 0 when positioning or a write fails, else 1.
int vf_write_picture(const Dimensions& size, const std::vector<std::uint8_t>& rows,
                     std::FILE* stream);

// The bits of a monochrome device bitmap made from picture rows: each byte
// complemented (a pixel that is on becomes a 0 bit, shown black), each row
// padded with a zero byte to a whole number of 16-bit words.
struct PictureBitmapBits {
    int width = 0;
    int height = 0;
    int row_length = 0;  // bytes per scan line: row bytes rounded up to even
    std::vector<std::uint8_t> bits;
};

PictureBitmapBits vf_picture_bitmap_bits(const Dimensions& size,
                                         const std::vector<std::uint8_t>& rows);

// Whether the pixel at (row, column) of picture rows is on.
inline bool picture_pixel_on(const std::vector<std::uint8_t>& rows, std::size_t row_bytes,
                             std::size_t row, std::size_t column) {
    std::uint8_t byte = rows[row * row_bytes + column / 8];
    return ((byte >> (7 - column % 8)) & 1u) != 0;
}

}  // namespace varkit

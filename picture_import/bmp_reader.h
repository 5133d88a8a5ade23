// The one BMP reader of the picture importer: a BMP file, or a clipboard
// bitmap saved as one, read as picture rows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "varfile/varfile.h"

namespace varkit {

// The header fields the reader goes by.
struct BmpLayout {
    std::uint32_t rows_offset = 0;  // where the pixel rows begin
    std::int32_t width = 0;
    std::int32_t height = 0;  // positive: bottom row first; negative: top row first
    unsigned bits_per_pixel = 0;
    std::uint32_t compression = 0;
    bool colour0_lighter = false;  // the colour table makes a 0 bit the light colour
};

enum class BmpCheck {
    Monochrome,     // 1 bit per pixel, uncompressed, 1 to 239 by 1 to 103 pixels
    NotBitmap,      // no "BM" file header and 40-byte information header
    NotMonochrome,  // any other kind or size of bitmap
};

// Reads the file header, the information header and the colour table.
BmpCheck read_bmp_layout(std::FILE* file, BmpLayout& layout);

// Reads the rows of a bitmap that passed the check as picture rows: top row
// first, 1 for a pixel in the darker colour, bits past the last column 0.
// False when the file ends before the last row.
bool read_bmp_rows(std::FILE* file, const BmpLayout& layout, std::vector<std::uint8_t>& rows);

// The picture size of a bitmap that passed the check.
Dimensions bmp_picture_size(const BmpLayout& layout);

}  // namespace varkit

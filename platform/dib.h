// The packed device-independent form of a monochrome device bitmap, as the
// clipboard hands it out (CF_DIB), and the BMP file header put ahead of such a
// block. Every backend and the fake platform build the block here, so the
// bytes are the same whichever clipboard carried the bitmap.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "varfile/picture_contents.h"

namespace varkit {

inline constexpr std::uint32_t kDibInfoHeaderSize = 40;
inline constexpr std::uint32_t kBmpFileHeaderSize = 14;

// The device bitmap description of picture rows turned into bitmap bits:
// type 0, 1 plane, 1 bit per pixel.
inline DeviceBitmap device_bitmap_of(PictureBitmapBits bits) {
    DeviceBitmap bitmap;
    bitmap.width = bits.width;
    bitmap.height = bits.height;
    bitmap.row_length = bits.row_length;
    bitmap.bits = std::move(bits.bits);
    return bitmap;
}

// True when the description is one a device bitmap can be made from: type 0,
// a positive size, 1 plane, 1 bit per pixel, a row length that holds the
// width and is a whole number of 16-bit words, and bits for every row.
bool is_valid_monochrome(const DeviceBitmap& bitmap);

// A 40-byte information header (width, positive height, 1 plane, 1 bit per
// pixel, no compression), the colour table black then white, and the rows
// bottom-up, each padded with zeros to a multiple of 4 bytes. A 0 bit of the
// device bitmap (a pixel that is on) is colour 0, black.
std::vector<std::uint8_t> synthesize_dib(const DeviceBitmap& bitmap);

// The 14-byte BMP file header for a packed DIB block: "BM", the block's size
// + 14, two reserved zeros, and the offset of the rows, 14 + the information
// header's size + 4 x 2^(bits per pixel mod 32) (or 4 x the colours in use
// when the block names fewer), all little-endian; past 8 bits per pixel the
// colours in use and any bit-field masks. A block too short to hold those
// fields reads them as zeros.
std::array<std::uint8_t, kBmpFileHeaderSize> bmp_file_header(const std::vector<std::uint8_t>& dib);

}  // namespace varkit

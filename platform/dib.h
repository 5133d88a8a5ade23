// The packed device-independent bitmap (the clipboard's CF_DIB, and a BMP
// file after its 14-byte file header): its information header, colour table
// and row layout, read and written here alone. The BMP reader, the desktop
// clipboards' image formats, the clipboard-to-BMP writer and every backend
// go through this file, so a block means the same wherever it travels.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "varfile/picture_contents.h"

namespace varkit {

inline constexpr std::uint32_t kDibCoreHeaderSize = 12;  // OS/2 1.x: 16-bit sizes, 3-byte colours
inline constexpr std::uint32_t kDibInfoHeaderSize = 40;
inline constexpr std::uint32_t kBmpFileHeaderSize = 14;

enum DibCompression : std::uint32_t {
    kDibRgb = 0,
    kDibRle8 = 1,
    kDibRle4 = 2,
    kDibBitfields = 3,
    kDibAlphaBitfields = 6,
};

struct DibColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The bytes of one stored row of `width` pixels: whole 32-bit words.
std::uint64_t dib_stride(std::uint64_t width, unsigned bits_per_pixel);

// The information header at the start of a block, and where the colour table
// and the rows lie behind it. A field the block is too short to hold reads as
// zero.
struct DibHeader {
    std::uint32_t size = 0;  // of the information header
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive: the bottom row is stored first
    unsigned bits_per_pixel = 0;
    std::uint32_t compression = kDibRgb;
    // Red, green, blue and alpha: the block's bit fields, else the usual
    // layout of its depth (5-5-5 for 16 bits, 8-8-8 above).
    std::array<std::uint32_t, 4> masks{};
    // From the block's start: after the header and the bit-field masks that
    // follow a header too short to hold them.
    std::uint64_t table_offset = 0;
    // Entries of the colour table: 2^(bits per pixel) up to 8 bits, unless
    // the header names fewer in use; deeper blocks only those it names.
    std::uint64_t colour_count = 0;

    bool is_core() const { return size == kDibCoreHeaderSize; }
    std::uint64_t colour_size() const { return is_core() ? 3 : 4; }
    std::uint64_t rows_offset() const { return table_offset + colour_count * colour_size(); }
    std::uint64_t columns() const { return static_cast<std::uint64_t>(width > 0 ? width : 0); }
    std::uint64_t rows() const { return static_cast<std::uint64_t>(height < 0 ? -height : height); }
    std::uint64_t stride() const;
};

DibHeader read_dib_header(std::span<const std::uint8_t> block);

// A header of a size the readers know (the OS/2 one, or 40 bytes and more)
// that the block holds whole.
bool is_known_dib_header(const DibHeader& header, std::size_t block_size);

// The stored row of the image's row `row` counted from the top, and the
// other way round.
std::uint64_t dib_stored_row(const DibHeader& header, std::uint64_t row);

// Whether `available` bytes from the first stored row hold every row (the
// last one without its padding).
bool dib_holds_rows(const DibHeader& header, std::uint64_t available);

// The colour index of pixel `x` of a stored row of 1, 2, 4 or 8 bits per
// pixel, most significant bits first.
unsigned dib_colour_index(const std::uint8_t* row, std::uint64_t x, unsigned bits_per_pixel);

// The grey steps of the usual colour table of `levels` entries, from black
// to white.
std::vector<DibColour> dib_grey_steps(std::size_t levels);

// The colour table of a block of up to 8 bits per pixel, 2^(bits per pixel)
// entries: those the header counts and `table` (the bytes from the table's
// start) holds, the grey steps of the usual table for the rest. Empty for a
// deeper block.
std::vector<DibColour> dib_colour_table(const DibHeader& header,
                                        std::span<const std::uint8_t> table);

// A new bottom-up block with a 40-byte information header, its colour table
// and zeroed rows, filled pixel by pixel or row by row.
class DibBuilder {
  public:
    DibBuilder(std::uint32_t width, std::uint32_t height, unsigned bits_per_pixel,
               const std::vector<DibColour>& table);

    std::uint8_t* row_from_top(std::uint32_t y);
    void put_index(std::uint32_t x, std::uint32_t y, unsigned index);
    std::vector<std::uint8_t> take() { return std::move(dib_); }

  private:
    DibHeader header_;
    std::vector<std::uint8_t> dib_;
};

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
// pixel, no compression, 2 colours in use), the colour table black then
// white, and the rows bottom-up, each padded with zeros to a multiple of 4
// bytes. A 0 bit of the device bitmap (a pixel that is on) is colour 0, black.
std::vector<std::uint8_t> synthesize_dib(const DeviceBitmap& bitmap);

// The 14-byte BMP file header for a packed DIB block: "BM", the block's size
// + 14, two reserved zeros, and the offset of the rows, 14 + the block's
// offset of its rows (after its header, masks and colour table), all
// little-endian.
std::array<std::uint8_t, kBmpFileHeaderSize> bmp_file_header(const std::vector<std::uint8_t>& dib);

// The BMP file of a block: that header, then the block byte for byte.
std::string bmp_file_from_dib(const std::vector<std::uint8_t>& dib);

}  // namespace varkit

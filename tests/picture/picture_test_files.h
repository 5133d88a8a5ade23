// Pictures and bitmaps for the picture tests, built byte by byte without the
// code under test, and a real image reader for the BMP files the programs
// write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace varkit::testing {

// A picture as rows of '#' (on, dark) and '.' (off), top row first.
using Pixels = std::vector<std::string>;

// Picture rows of a TI-89/92 file or an older calculator's file: row bytes of
// ceil(width / 8), most significant bit leftmost, 1 for '#'.
Bytes pack_rows(const Pixels& pixels);
Pixels unpack_rows(const Bytes& rows, std::size_t height, std::size_t width);

// A whole TI-89/92 picture variable file holding `rows` and `columns` words.
Bytes picture_file(const std::string& signature, std::uint16_t rows, std::uint16_t columns,
                   const Bytes& row_bytes);
Bytes picture_file(const Pixels& pixels, const std::string& signature = "**TI89**");

// An older calculator's file: the signature, the 16-bit entry header length
// at 55, the type code at 59 (0x07 a TI-82/83 picture, 0x11 a TI-85/86 one),
// the rows from `first_row`, and two checksum bytes.
Bytes older_picture_file(const std::string& signature, std::uint16_t word_at_55,
                         std::size_t first_row, const Bytes& rows, std::uint8_t type_at_59 = 0x07);

struct BmpSpec {
    bool top_down = false;  // stored top row first, with a negative height
    std::optional<std::int32_t> width = std::nullopt;  // header values other than the pixels'
    std::optional<std::int32_t> height = std::nullopt;
    unsigned bits_per_pixel = 1;
    unsigned compression = 0;
    bool white_first = false;        // colour table entry 0 white, 1 black
    std::uint32_t rows_offset = 62;  // what the header says; the rows are at 62
};

// A monochrome BMP file of `pixels` as `spec` describes it ('#' is black):
// headers, colour table, rows padded to 4 bytes with zeros.
Bytes bmp_file(const Pixels& pixels, BmpSpec spec = {});

// A raw netpbm image ('#' is black in a PBM): "P4" with packed rows, or
// "P5" with one grey byte a pixel.
Bytes pbm_file(const Pixels& pixels);
Bytes pgm_file(std::size_t width, std::size_t height, const Bytes& grey);

// The pixels of a packed DIB block (information header, colour table, rows)
// as the clipboard holds it; '#' for the darker colour.
Pixels dib_pixels(const Bytes& dib);

// The image in a file read by netpbm (anytopnm, pnmtoplainpnm); empty when
// netpbm is missing or cannot read it.
Pixels read_with_netpbm(const std::string& path);

// The image in a file read by Python's PIL (/usr/bin/python3): '#' for a dark
// pixel. Empty when PIL is missing (`available` false) or cannot read it.
Pixels read_image(const std::string& path, bool* available = nullptr);

// Writes `pixels` as a 1-bit image with PIL, a BMP or PNG as the name ends;
// false when PIL is missing.
bool write_image(const std::string& path, const Pixels& pixels);

// A patterned picture of the given size.
Pixels pattern(std::size_t height, std::size_t width);

// A zero-padded text field of a variable file.
std::string text_field(const Bytes& file, std::size_t offset, std::size_t width);

}  // namespace varkit::testing

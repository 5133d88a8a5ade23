// The bitmap forms a desktop clipboard carries besides the packed DIB itself:
// a BMP file (image/bmp; written by bmp_file_from_dib of platform/dib.h) and
// a PNG image (image/png).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkit {

// The packed DIB inside a BMP file (a gap the file leaves before its rows is
// dropped); nothing when the bytes are not a BMP file.
std::optional<std::vector<std::uint8_t>> dib_from_bmp_file(std::string_view file);

// A PNG image of an uncompressed DIB of 1, 4, 8, 24 or 32 bits per pixel:
// palette images keep their colour table (a monochrome one becomes a 1-bit
// PNG). Nothing for any other kind of block.
std::optional<std::string> png_from_dib(const std::vector<std::uint8_t>& dib);

// The PNG image as a packed DIB of its own depth: a 1-bit grey or a palette
// of at most two colours gives 1 bit per pixel, larger palettes 4 or 8 bits,
// grey 8 bits, colour 24 bits, anything with transparency 32 bits. Nothing
// when the bytes are not a PNG image or it is unreasonably large.
std::optional<std::vector<std::uint8_t>> dib_from_png(std::string_view png);

}  // namespace varkit

// The bitmap synthesis over any description: the first 24 bytes give type,
// width, height, row length, planes and bits per pixel (32-bit little-endian
// each), the rest are the bits. is_valid_monochrome judges every
// description; one that passes becomes a CF_DIB block and a BMP file, which
// must hold each pixel where the description had it and read back through
// the picture importer's BMP reader as the same picture. The raw input also
// goes through bmp_file_header as a block of its own.
#include "fuzz/support/fuzz_support.h"
#include "picture_import/picture_reduction.h"
#include "platform/dib.h"
#include "varfile/varfile.h"

namespace {

using namespace varkit;
using fuzzing::require;

constexpr std::size_t kDescriptionSize = 24;

DeviceBitmap description_from(const std::uint8_t* data, std::size_t size) {
    auto field = [&](std::size_t index) { return static_cast<int>(read_le32(data + 4 * index)); };
    DeviceBitmap bitmap;
    bitmap.type = field(0);
    bitmap.width = field(1);
    bitmap.height = field(2);
    bitmap.row_length = field(3);
    bitmap.planes = field(4);
    bitmap.bits_per_pixel = field(5);
    bitmap.bits.assign(data + kDescriptionSize, data + size);
    return bitmap;
}

bool bit_at(const std::uint8_t* row, std::size_t column) {
    return ((row[column / 8] >> (7 - column % 8)) & 1u) != 0;
}

// The block's layout: header fields, colour table, and every pixel in its
// bottom-up row.
void check_block(const DeviceBitmap& bitmap, const std::vector<std::uint8_t>& dib) {
    const std::size_t width = static_cast<std::size_t>(bitmap.width);
    const std::size_t height = static_cast<std::size_t>(bitmap.height);
    const std::size_t stride = (width + 31) / 32 * 4;
    require(dib.size() == kDibInfoHeaderSize + 8 + stride * height, "block size");
    require(read_le32(dib.data()) == kDibInfoHeaderSize && read_le32(dib.data() + 4) == width &&
                read_le32(dib.data() + 8) == height && read_le16(dib.data() + 14) == 1,
            "information header");
    const std::uint8_t* rows = dib.data() + kDibInfoHeaderSize + 8;
    const std::size_t row_length = static_cast<std::size_t>(bitmap.row_length);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* from = bitmap.bits.data() + y * row_length;
        const std::uint8_t* to = rows + (height - 1 - y) * stride;
        for (std::size_t x = 0; x < width; ++x) {
            require(bit_at(from, x) == bit_at(to, x), "a pixel moved or changed");
        }
    }
}

// The same bitmap as the BMP reader sees it: a pixel on is a 0 bit.
void check_read_back(const DeviceBitmap& bitmap, const std::vector<std::uint8_t>& dib) {
    auto header = bmp_file_header(dib);
    std::vector<std::uint8_t> file(header.begin(), header.end());
    file.insert(file.end(), dib.begin(), dib.end());
    require(read_le32(header.data() + 2) == file.size(), "BMP file size field");
    require(read_le32(header.data() + 10) == kBmpFileHeaderSize + kDibInfoHeaderSize + 8,
            "BMP rows offset");

    const bool fits = bitmap.width <= static_cast<int>(kMaxPictureColumns) &&
                      bitmap.height <= static_cast<int>(kMaxPictureRows);
    std::optional<ImagePicture> picture = picture_of_image_file(file);
    require(picture.has_value() == fits, "BMP check");
    if (!fits) {
        return;
    }
    const std::vector<std::uint8_t>& rows = picture->rows;
    const std::size_t width = static_cast<std::size_t>(bitmap.width);
    const std::size_t row_bytes = picture_row_bytes(bitmap.width);
    const std::size_t row_length = static_cast<std::size_t>(bitmap.row_length);
    for (std::size_t y = 0; y < static_cast<std::size_t>(bitmap.height); ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            require(picture_pixel_on(rows, row_bytes, y, x) !=
                        bit_at(bitmap.bits.data() + y * row_length, x),
                    "a pixel read back differs");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> raw(data, data + size);
    bmp_file_header(raw);
    if (size < kDescriptionSize) {
        return 0;
    }
    const DeviceBitmap bitmap = description_from(data, size);
    if (!is_valid_monochrome(bitmap)) {
        return 0;
    }
    const std::vector<std::uint8_t> dib = synthesize_dib(bitmap);
    check_block(bitmap, dib);
    check_read_back(bitmap, dib);
    return 0;
}

// The BMP reader: Windows and OS/2 headers, 1 to 32 bits per pixel, colour
// tables, bit fields, RLE4 and RLE8, rows stored bottom-up or top-down.
#include <algorithm>
#include <bit>

#include "picture_import/image_readers.h"
#include "platform/dib.h"
#include "varfile/byte_order.h"

namespace varkit {
namespace {

// A BMP file: the 14-byte file header, whose one field read is the offset
// of the rows, and a packed DIB.
struct BmpFile {
    std::uint64_t rows_offset = 0;
    DibHeader dib;
};

using Bytes = std::span<const std::uint8_t>;

// "BM", a header of a known size, and rows that do not begin inside the
// headers; anything else is no BMP file at all.
bool read_header(Bytes file, BmpFile& bmp) {
    if (file.size() < kBmpFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') {
        return false;
    }
    const Bytes block = file.subspan(kBmpFileHeaderSize);
    bmp.rows_offset = read_le32(file.data() + 10);
    bmp.dib = read_dib_header(block);
    return is_known_dib_header(bmp.dib, block.size()) &&
           bmp.rows_offset >= kBmpFileHeaderSize + bmp.dib.size;
}

bool is_supported(const DibHeader& header) {
    const unsigned bits = header.bits_per_pixel;
    const bool depth =
        bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    // Compressed rows are always stored bottom-up.
    const bool compression =
        header.compression == kDibRgb ||
        (header.compression == kDibRle8 && bits == 8 && header.height > 0) ||
        (header.compression == kDibRle4 && bits == 4 && header.height > 0) ||
        ((header.compression == kDibBitfields || header.compression == kDibAlphaBitfields) &&
         (bits == 16 || bits == 32));
    return depth && compression && header.width > 0 && header.height != 0;
}

// The luminance of each colour table entry. In a 1-bit image the darker
// entry is the one that is on (0), the other off (255); at equal lightness
// entry 0 is on.
struct Palette {
    std::vector<std::uint8_t> grey;
};

Palette read_palette(Bytes file, const DibHeader& header) {
    Palette palette;
    const std::uint64_t table_at = kBmpFileHeaderSize + header.table_offset;
    const std::vector<DibColour> colours =
        dib_colour_table(header, table_at < file.size() ? file.subspan(table_at) : Bytes{});
    std::vector<unsigned> lightness;
    for (const DibColour& colour : colours) {
        lightness.push_back(299u * colour.red + 587u * colour.green + 114u * colour.blue);
        palette.grey.push_back(luminance(colour.red, colour.green, colour.blue));
    }
    if (header.bits_per_pixel == 1) {
        const bool colour0_lighter = lightness[0] > lightness[1];
        palette.grey =
            colour0_lighter ? std::vector<std::uint8_t>{255, 0} : std::vector<std::uint8_t>{0, 255};
    }
    return palette;
}

// One channel of a bit-field pixel, scaled to 0 to 255.
unsigned channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const std::uint32_t value = (pixel & mask) >> std::countr_zero(mask);
    const std::uint32_t largest = mask >> std::countr_zero(mask);
    return static_cast<unsigned>((std::uint64_t{value} * 255 + largest / 2) / largest);
}

std::uint8_t bitfield_grey(std::uint32_t pixel, const DibHeader& header) {
    const std::uint8_t grey =
        luminance(channel(pixel, header.masks[0]), channel(pixel, header.masks[1]),
                  channel(pixel, header.masks[2]));
    return header.masks[3] == 0 ? grey : over_white(grey, channel(pixel, header.masks[3]));
}

std::uint8_t pixel_grey(const std::uint8_t* row, std::uint32_t x, const DibHeader& header,
                        const Palette& palette) {
    switch (header.bits_per_pixel) {
        case 16:
            return bitfield_grey(read_le16(row + 2 * x), header);
        case 24:
            return luminance(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        case 32:
            return bitfield_grey(read_le32(row + 4 * x), header);
        default:
            return palette.grey[dib_colour_index(row, x, header.bits_per_pixel)];
    }
}

// A 32-bit BMP without bit fields has no alpha by its definition, but
// writers of transparent images put it in the fourth byte: any such byte
// that is not 0 makes it alpha, as web browsers read these files.
void find_alpha_byte(Bytes file, BmpFile& bmp, std::uint32_t width, std::uint32_t height) {
    if (bmp.dib.bits_per_pixel != 32 || bmp.dib.compression != kDibRgb) {
        return;
    }
    const std::uint64_t end =
        std::min<std::uint64_t>(file.size(), bmp.rows_offset + std::uint64_t{width} * height * 4);
    for (std::uint64_t at = bmp.rows_offset + 3; at < end; at += 4) {
        if (file[at] != 0) {
            bmp.dib.masks[3] = 0xFF000000;
            return;
        }
    }
}

// Whether the file holds every row of an uncompressed bitmap, told before
// any memory is set aside for the rows.
bool holds_all_rows(Bytes file, const BmpFile& bmp) {
    return file.size() >= bmp.rows_offset && dib_holds_rows(bmp.dib, file.size() - bmp.rows_offset);
}

void read_plain_rows(Bytes file, const BmpFile& bmp, const Palette& palette,
                     DecodedImage& decoded) {
    GreyImage& image = decoded.image;
    const std::uint64_t stride = bmp.dib.stride();
    const std::uint64_t used = (std::uint64_t{image.width} * bmp.dib.bits_per_pixel + 7) / 8;
    for (std::uint32_t i = 0; i < image.height; ++i) {
        const std::uint64_t at = bmp.rows_offset + i * stride;
        if (at + used > file.size()) {
            decoded.status = DecodeStatus::EndsEarly;
            return;
        }
        const std::uint64_t y = dib_stored_row(bmp.dib, i);
        std::uint8_t* out = image.pixels.data() + y * image.width;
        for (std::uint32_t x = 0; x < image.width; ++x) {
            out[x] = pixel_grey(file.data() + at, x, bmp.dib, palette);
        }
    }
}

// Run-length rows, bottom row first. Pixels a delta or an early end of line
// passes over keep colour 0.
class RleDecoder {
  public:
    RleDecoder(Bytes file, const BmpFile& bmp, const Palette& palette, GreyImage& image)
        : file_(file),
          at_(bmp.rows_offset),
          four_bits_(bmp.dib.compression == kDibRle4),
          palette_(palette),
          image_(image) {}

    bool decode() {
        while (y_ < image_.height) {
            if (at_ + 2 > file_.size()) {
                return false;
            }
            const unsigned count = file_[at_++];
            const unsigned value = file_[at_++];
            if (count > 0) {
                for (unsigned i = 0; i < count; ++i) {
                    put(four_bits_ ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
                }
            } else if (value == 0) {
                x_ = 0;
                ++y_;
            } else if (value == 1) {
                return true;
            } else if (value == 2) {
                if (at_ + 2 > file_.size()) {
                    return false;
                }
                x_ += file_[at_++];
                y_ += file_[at_++];
            } else if (!absolute_run(value)) {
                return false;
            }
        }
        return true;
    }

  private:
    // `count` indices stored as they are, padded to a 16-bit word.
    bool absolute_run(unsigned count) {
        const std::size_t bytes = four_bits_ ? (count + 1) / 2 : count;
        if (at_ + bytes > file_.size()) {
            return false;
        }
        for (unsigned i = 0; i < count; ++i) {
            const unsigned byte = file_[at_ + (four_bits_ ? i / 2 : i)];
            put(four_bits_ ? (i % 2 == 0 ? byte >> 4 : byte & 15) : byte);
        }
        at_ += bytes + bytes % 2;
        return true;
    }

    void put(unsigned index) {
        if (x_ < image_.width && y_ < image_.height) {
            const std::size_t row = image_.height - 1 - y_;
            image_.pixels[row * image_.width + x_] = palette_.grey[index];
        }
        ++x_;
    }

    Bytes file_;
    std::uint64_t at_;
    bool four_bits_;
    const Palette& palette_;
    GreyImage& image_;
    std::uint64_t x_ = 0;
    std::uint64_t y_ = 0;
};

}  // namespace

DecodedImage decode_bmp(Bytes file, const ImageBounds& bounds) {
    DecodedImage decoded;
    decoded.format = ImageFormat::Bmp;
    BmpFile bmp;
    if (!read_header(file, bmp)) {
        return decoded;
    }
    const DibHeader& header = bmp.dib;
    decoded.image.width = static_cast<std::uint32_t>(header.columns());
    decoded.image.height = static_cast<std::uint32_t>(header.rows());
    if (!is_supported(header)) {
        decoded.status = DecodeStatus::Unsupported;
        return decoded;
    }
    // Known before any row is read, so a monochrome bitmap too large to
    // read is still told as one.
    decoded.image.two_coloured = header.bits_per_pixel == 1;
    const bool run_length = header.compression == kDibRle8 || header.compression == kDibRle4;
    if (!start_image(decoded, decoded.image.width, decoded.image.height, bounds,
                     run_length || holds_all_rows(file, bmp))) {
        return decoded;
    }
    const Palette palette = read_palette(file, header);
    if (run_length) {
        std::fill(decoded.image.pixels.begin(), decoded.image.pixels.end(), palette.grey[0]);
        if (!RleDecoder(file, bmp, palette, decoded.image).decode()) {
            decoded.status = DecodeStatus::EndsEarly;
        }
        return decoded;
    }
    find_alpha_byte(file, bmp, decoded.image.width, decoded.image.height);
    read_plain_rows(file, bmp, palette, decoded);
    return decoded;
}

}  // namespace varkit

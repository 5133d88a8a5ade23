// The BMP reader: Windows and OS/2 headers, 1 to 32 bits per pixel, colour
// tables, bit fields, RLE4 and RLE8, rows stored bottom-up or top-down.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

#include "picture_import/image_readers.h"
#include "varfile/byte_order.h"

namespace varkit {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit sizes, 3-byte colours
constexpr std::uint32_t kInfoHeaderSize = 40;

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kAlphaBitfields = 6,
};

struct BmpHeader {
    std::uint32_t rows_offset = 0;
    std::uint32_t info_size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive: bottom row first
    unsigned bits_per_pixel = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colours_used = 0;
    std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
    std::size_t table_offset = 0;
};

using Bytes = std::span<const std::uint8_t>;

std::uint32_t le32_or_zero(Bytes file, std::size_t offset) {
    return offset + 4 <= file.size() ? read_le32(file.data() + offset) : 0;
}

void default_masks(BmpHeader& header) {
    if (header.bits_per_pixel == 16) {
        header.masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else {
        header.masks = {0xFF0000, 0xFF00, 0xFF, 0};
    }
}

// Bit-field masks sit in the header from its version 2 (52 bytes) on, and
// after a 40-byte header otherwise.
void read_masks(Bytes file, BmpHeader& header) {
    const std::size_t info = kFileHeaderSize;
    const bool with_alpha = header.compression == kAlphaBitfields;
    const std::size_t count = with_alpha || header.info_size >= 56 ? 4 : 3;
    const std::size_t at = header.info_size >= 52 ? info + 40 : info + header.info_size;
    for (std::size_t i = 0; i < count; ++i) {
        header.masks[i] = le32_or_zero(file, at + 4 * i);
    }
    if (header.info_size < 52) {
        header.table_offset += 4 * count;
    }
}

// "BM", a header of a known size, and rows that do not begin inside the
// headers; anything else is no BMP file at all.
bool read_header(Bytes file, BmpHeader& header) {
    if (file.size() < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') {
        return false;
    }
    const std::uint8_t* info = file.data() + kFileHeaderSize;
    header.rows_offset = read_le32(file.data() + 10);
    header.info_size = read_le32(info);
    const bool core = header.info_size == kCoreHeaderSize;
    if ((!core && header.info_size < kInfoHeaderSize) ||
        file.size() < kFileHeaderSize + header.info_size ||
        header.rows_offset < kFileHeaderSize + header.info_size) {
        return false;
    }
    if (core) {
        header.width = read_le16(info + 4);
        header.height = read_le16(info + 6);
        header.bits_per_pixel = read_le16(info + 10);
    } else {
        header.width = static_cast<std::int32_t>(read_le32(info + 4));
        header.height = static_cast<std::int32_t>(read_le32(info + 8));
        header.bits_per_pixel = read_le16(info + 14);
        header.compression = read_le32(info + 16);
        header.colours_used = read_le32(info + 32);
    }
    header.table_offset = kFileHeaderSize + header.info_size;
    default_masks(header);
    if (header.compression == kBitfields || header.compression == kAlphaBitfields) {
        read_masks(file, header);
    }
    return true;
}

bool is_supported(const BmpHeader& header) {
    const unsigned bits = header.bits_per_pixel;
    const bool depth =
        bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    // Compressed rows are always stored bottom-up.
    const bool compression =
        header.compression == kRgb ||
        (header.compression == kRle8 && bits == 8 && header.height > 0) ||
        (header.compression == kRle4 && bits == 4 && header.height > 0) ||
        ((header.compression == kBitfields || header.compression == kAlphaBitfields) &&
         (bits == 16 || bits == 32));
    return depth && compression && header.width > 0 && header.height != 0;
}

// The luminance of each colour table entry. Entries the file does not hold
// take the usual table's grey steps (for 1 bit: 0 black, 1 white). In a 1-bit
// image the darker entry is the one that is on (0), the other off (255); at
// equal lightness entry 0 is on.
struct Palette {
    std::vector<std::uint8_t> grey;
};

Palette read_palette(Bytes file, const BmpHeader& header) {
    Palette palette;
    if (header.bits_per_pixel > 8) {
        return palette;
    }
    const std::size_t most = std::size_t{1} << header.bits_per_pixel;
    const std::size_t count =
        header.colours_used != 0 && header.colours_used < most ? header.colours_used : most;
    const std::size_t entry_size = header.info_size == kCoreHeaderSize ? 3 : 4;
    std::vector<unsigned> lightness;
    for (std::size_t i = 0; i < most; ++i) {
        const std::size_t at = header.table_offset + i * entry_size;
        unsigned blue, green, red;
        if (i < count && at + 3 <= file.size()) {
            blue = file[at];
            green = file[at + 1];
            red = file[at + 2];
        } else {
            blue = green = red = static_cast<unsigned>(i * 255 / (most - 1));
        }
        lightness.push_back(299u * red + 587u * green + 114u * blue);
        palette.grey.push_back(luminance(red, green, blue));
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

std::uint8_t bitfield_grey(std::uint32_t pixel, const BmpHeader& header) {
    const std::uint8_t grey =
        luminance(channel(pixel, header.masks[0]), channel(pixel, header.masks[1]),
                  channel(pixel, header.masks[2]));
    return header.masks[3] == 0 ? grey : over_white(grey, channel(pixel, header.masks[3]));
}

std::uint8_t pixel_grey(const std::uint8_t* row, std::uint32_t x, const BmpHeader& header,
                        const Palette& palette) {
    const unsigned bits = header.bits_per_pixel;
    switch (bits) {
        case 16:
            return bitfield_grey(read_le16(row + 2 * x), header);
        case 24:
            return luminance(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        case 32:
            return bitfield_grey(read_le32(row + 4 * x), header);
        default: {
            const std::size_t bit = std::size_t{x} * bits;
            const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            return palette.grey[index];
        }
    }
}

// A 32-bit BMP without bit fields has no alpha by its definition, but
// writers of transparent images put it in the fourth byte: any such byte
// that is not 0 makes it alpha, as web browsers read these files.
void find_alpha_byte(Bytes file, BmpHeader& header, std::uint32_t width, std::uint32_t height) {
    if (header.bits_per_pixel != 32 || header.compression != kRgb) {
        return;
    }
    const std::uint64_t end = std::min<std::uint64_t>(
        file.size(), header.rows_offset + std::uint64_t{width} * height * 4);
    for (std::uint64_t at = header.rows_offset + 3; at < end; at += 4) {
        if (file[at] != 0) {
            header.masks[3] = 0xFF000000;
            return;
        }
    }
}

// Whether the file holds every row of an uncompressed bitmap (the last one
// without its padding), told before any memory is set aside for the rows.
bool holds_all_rows(Bytes file, const BmpHeader& header, std::uint64_t width,
                    std::uint64_t height) {
    const std::uint64_t row_bits = width * header.bits_per_pixel;
    const std::uint64_t stride = (row_bits + 31) / 32 * 4;
    const std::uint64_t used = (row_bits + 7) / 8;
    if (file.size() < header.rows_offset) {
        return false;
    }
    const std::uint64_t available = file.size() - header.rows_offset;
    return available >= used && (available - used) / stride >= height - 1;
}

void read_plain_rows(Bytes file, const BmpHeader& header, const Palette& palette,
                     DecodedImage& decoded) {
    GreyImage& image = decoded.image;
    const std::uint64_t row_bits = std::uint64_t{image.width} * header.bits_per_pixel;
    const std::uint64_t stride = (row_bits + 31) / 32 * 4;
    const std::uint64_t used = (row_bits + 7) / 8;
    for (std::uint32_t i = 0; i < image.height; ++i) {
        const std::uint64_t at = header.rows_offset + i * stride;
        if (at + used > file.size()) {
            decoded.status = DecodeStatus::EndsEarly;
            return;
        }
        const std::uint32_t y = header.height > 0 ? image.height - 1 - i : i;
        std::uint8_t* out = image.pixels.data() + std::size_t{y} * image.width;
        for (std::uint32_t x = 0; x < image.width; ++x) {
            out[x] = pixel_grey(file.data() + at, x, header, palette);
        }
    }
}

// Run-length rows, bottom row first. Pixels a delta or an early end of line
// passes over keep colour 0.
class RleDecoder {
  public:
    RleDecoder(Bytes file, const BmpHeader& header, const Palette& palette, GreyImage& image)
        : file_(file),
          at_(header.rows_offset),
          four_bits_(header.compression == kRle4),
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
    std::size_t at_;
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
    BmpHeader header;
    if (!read_header(file, header)) {
        return decoded;
    }
    decoded.image.width = static_cast<std::uint32_t>(std::max<std::int64_t>(header.width, 0));
    decoded.image.height = static_cast<std::uint32_t>(std::abs(header.height));
    if (!is_supported(header)) {
        decoded.status = DecodeStatus::Unsupported;
        return decoded;
    }
    // Known before any row is read, so a monochrome bitmap too large to
    // read is still told as one.
    decoded.image.two_coloured = header.bits_per_pixel == 1;
    const bool run_length = header.compression == kRle8 || header.compression == kRle4;
    if (!start_image(decoded, decoded.image.width, decoded.image.height, bounds,
                     run_length ||
                         holds_all_rows(file, header, decoded.image.width, decoded.image.height))) {
        return decoded;
    }
    const Palette palette = read_palette(file, header);
    if (run_length) {
        std::fill(decoded.image.pixels.begin(), decoded.image.pixels.end(), palette.grey[0]);
        if (!RleDecoder(file, header, palette, decoded.image).decode()) {
            decoded.status = DecodeStatus::EndsEarly;
        }
        return decoded;
    }
    find_alpha_byte(file, header, decoded.image.width, decoded.image.height);
    read_plain_rows(file, header, palette, decoded);
    return decoded;
}

}  // namespace varkit

// The netpbm reader: PBM, PGM and PPM, plain (P1 P2 P3) and raw (P4 P5 P6),
// samples of 1 or 2 bytes. Only the first image of a stream is read.
#include <algorithm>
#include <cctype>
#include <optional>

#include "picture_import/image_readers.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint64_t kLargestSampleValue = 65535;
constexpr std::uint64_t kLargestHeaderNumber = 0xFFFFFFFF;

// Reads the header's numbers and the plain formats' samples: decimal numbers
// between white space and comments that run from '#' to the line end.
class PnmScanner {
  public:
    explicit PnmScanner(Bytes file) : file_(file) {}

    std::optional<std::uint64_t> number() {
        skip_space();
        std::uint64_t value = 0;
        std::size_t start = at_;
        for (; at_ < file_.size() && std::isdigit(file_[at_]); ++at_) {
            value = std::min(value * 10 + (file_[at_] - '0'), kLargestHeaderNumber + 1);
        }
        return at_ == start ? std::nullopt : std::optional(value);
    }

    // A plain PBM's pixel: one '0' or '1', with or without space around it.
    std::optional<bool> bit() {
        skip_space();
        if (at_ >= file_.size() || (file_[at_] != '0' && file_[at_] != '1')) {
            return std::nullopt;
        }
        return file_[at_++] == '1';
    }

    // The raster of a raw format follows the header's last number and one
    // white-space character.
    std::size_t raster_start() const { return at_ + 1; }

  private:
    void skip_space() {
        while (at_ < file_.size()) {
            if (file_[at_] == '#') {
                while (at_ < file_.size() && file_[at_] != '\n' && file_[at_] != '\r') {
                    ++at_;
                }
            } else if (std::isspace(file_[at_])) {
                ++at_;
            } else {
                break;
            }
        }
    }

    Bytes file_;
    std::size_t at_ = 2;  // past the magic number
};

struct PnmHeader {
    int kind = 0;  // the digit of the magic number
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t largest = 1;  // the maximum sample value
    bool bitmap() const { return kind == 1 || kind == 4; }
    bool plain() const { return kind <= 3; }
    unsigned channels() const { return kind == 3 || kind == 6 ? 3 : 1; }
};

// Whether a raw image's file holds all its rows, told before any memory is
// set aside for them.
bool holds_all_rows(Bytes file, const PnmScanner& scanner, const PnmHeader& header) {
    const std::size_t start = scanner.raster_start();
    if (header.plain()) {
        return true;
    }
    const std::uint64_t sample_size = header.largest > 255 ? 2 : 1;
    const std::uint64_t row_bytes =
        header.bitmap() ? (header.width + 7) / 8 : header.width * header.channels() * sample_size;
    return start <= file.size() &&
           (row_bytes == 0 || (file.size() - start) / row_bytes >= header.height);
}

bool read_header(PnmScanner& scanner, PnmHeader& header) {
    std::optional<std::uint64_t> width = scanner.number();
    std::optional<std::uint64_t> height = scanner.number();
    std::optional<std::uint64_t> largest = header.bitmap() ? 1 : scanner.number();
    if (!width || !height || !largest) {
        return false;
    }
    header.width = *width;
    header.height = *height;
    header.largest = *largest;
    return true;
}

// Sample sources: the plain formats' decimal numbers and the raw formats'
// bytes (two per sample, big-endian, when the maximum is above 255).
class SampleReader {
  public:
    SampleReader(Bytes file, PnmScanner& scanner, const PnmHeader& header)
        : file_(file), scanner_(scanner), header_(header), at_(scanner.raster_start()) {}

    std::optional<std::uint64_t> next() {
        if (header_.plain()) {
            return scanner_.number();
        }
        const std::size_t size = header_.largest > 255 ? 2 : 1;
        if (at_ + size > file_.size()) {
            return std::nullopt;
        }
        std::uint64_t value = size == 2 ? file_[at_] << 8 | file_[at_ + 1] : file_[at_];
        at_ += size;
        return value;
    }

  private:
    Bytes file_;
    PnmScanner& scanner_;
    const PnmHeader& header_;
    std::size_t at_;
};

bool read_bitmap(Bytes file, PnmScanner& scanner, const PnmHeader& header, GreyImage& image) {
    const std::size_t row_bytes = (image.width + 7) / 8;
    const std::size_t start = scanner.raster_start();
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            std::optional<bool> black;
            if (header.plain()) {
                black = scanner.bit();
            } else if (start + (y + 1) * row_bytes <= file.size()) {
                black = (file[start + y * row_bytes + x / 8] >> (7 - x % 8)) & 1;
            }
            if (!black) {
                return false;
            }
            image.pixels[std::size_t{y} * image.width + x] = *black ? 0 : 255;
        }
    }
    image.two_coloured = true;
    return true;
}

std::uint8_t scaled(std::uint64_t sample, std::uint64_t largest) {
    return static_cast<std::uint8_t>((sample * 255 + largest / 2) / largest);
}

// Fails with the status of what went wrong: the data ends, or a sample lies
// above the maximum.
DecodeStatus read_samples(Bytes file, PnmScanner& scanner, const PnmHeader& header,
                          GreyImage& image) {
    SampleReader samples(file, scanner, header);
    for (std::uint8_t& pixel : image.pixels) {
        std::uint64_t value[3];
        for (unsigned c = 0; c < header.channels(); ++c) {
            std::optional<std::uint64_t> sample = samples.next();
            if (!sample) {
                return DecodeStatus::EndsEarly;
            }
            if (*sample > header.largest) {
                return DecodeStatus::Damaged;
            }
            value[c] = scaled(*sample, header.largest);
        }
        pixel = header.channels() == 1
                    ? static_cast<std::uint8_t>(value[0])
                    : luminance(static_cast<unsigned>(value[0]), static_cast<unsigned>(value[1]),
                                static_cast<unsigned>(value[2]));
    }
    return DecodeStatus::Decoded;
}

}  // namespace

DecodedImage decode_pnm(Bytes file, const ImageBounds& bounds) {
    DecodedImage decoded;
    decoded.format = ImageFormat::Pnm;
    if (file.size() < 2 || file[0] != 'P' || file[1] < '1' || file[1] > '6') {
        return decoded;
    }
    PnmHeader header;
    header.kind = file[1] - '0';
    PnmScanner scanner(file);
    if (!read_header(scanner, header)) {
        decoded.status = DecodeStatus::Damaged;
        decoded.detail = "its header is incomplete";
        return decoded;
    }
    if (header.largest == 0 || header.largest > kLargestSampleValue) {
        decoded.status = DecodeStatus::Damaged;
        decoded.detail = "its maximum sample value is not 1 to 65535";
        return decoded;
    }
    if (!start_image(decoded, header.width, header.height, bounds,
                     holds_all_rows(file, scanner, header))) {
        return decoded;
    }
    if (header.bitmap()) {
        if (!read_bitmap(file, scanner, header, decoded.image)) {
            decoded.status = DecodeStatus::EndsEarly;
        }
        return decoded;
    }
    decoded.status = read_samples(file, scanner, header, decoded.image);
    if (decoded.status == DecodeStatus::Damaged) {
        decoded.detail = "a sample lies above its maximum value";
    }
    return decoded;
}

}  // namespace varkit

#include "picture_import/picture_reduction.h"

#include <algorithm>
#include <cmath>

namespace varkit {
namespace {

// One line of `in_count` values, `in_step` apart, averaged down to
// `out_count` values: each covers in_count / out_count of the input, partly
// covered values counting by the part covered.
template <typename Value>
void shrink_line(const Value* in, std::size_t in_count, std::size_t in_step, float* out,
                 std::size_t out_count, std::size_t out_step) {
    const double scale = static_cast<double>(in_count) / static_cast<double>(out_count);
    for (std::size_t o = 0; o < out_count; ++o) {
        const double start = static_cast<double>(o) * scale;
        const double end = start + scale;
        double sum = 0;
        const auto last = std::min(in_count, static_cast<std::size_t>(std::ceil(end)));
        for (auto i = static_cast<std::size_t>(start); i < last; ++i) {
            const double covered =
                std::min(end, static_cast<double>(i + 1)) - std::max(start, static_cast<double>(i));
            sum += covered * in[i * in_step];
        }
        out[o * out_step] = static_cast<float>(sum / scale);
    }
}

// A pixel is on when its luminance, with the error carried to it, lies
// below the threshold. Errors are kept in sixteenths.
void dither_row(const std::uint8_t* grey, std::size_t width, unsigned threshold,
                std::vector<int>& here, std::vector<int>& below, std::uint8_t* row) {
    std::fill(below.begin(), below.end(), 0);
    for (std::size_t x = 0; x < width; ++x) {
        const int value = grey[x] + here[x + 1] / 16;
        const bool on = value < static_cast<int>(threshold);
        if (on) {
            row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        const int error = value - (on ? 0 : 255);
        here[x + 2] += error * 7;
        below[x] += error * 3;
        below[x + 1] += error * 5;
        below[x + 2] += error;
    }
    here.swap(below);
}

}  // namespace

bool fits_within(std::uint64_t width, std::uint64_t height, const Dimensions& limit) {
    return width <= limit.columns && height <= limit.rows;
}

GreyImage fit_within(const GreyImage& image, const Dimensions& limit) {
    if (fits_within(image.width, image.height, limit)) {
        return image;
    }
    const double scale = std::min(static_cast<double>(limit.columns) / image.width,
                                  static_cast<double>(limit.rows) / image.height);
    auto side = [scale](std::uint32_t length, unsigned most) {
        const auto scaled = static_cast<std::uint32_t>(std::lround(length * scale));
        return std::clamp<std::uint32_t>(scaled, 1, most);
    };
    GreyImage fitted;
    fitted.width = side(image.width, limit.columns);
    fitted.height = side(image.height, limit.rows);
    const std::size_t w = image.width, h = image.height, nw = fitted.width, nh = fitted.height;
    // Rows first, straight from the image: the narrowed rows take no more
    // memory than the picture's columns times the image's rows.
    std::vector<float> narrow(h * nw);
    for (std::size_t y = 0; y < h; ++y) {
        shrink_line(image.pixels.data() + y * w, w, 1, narrow.data() + y * nw, nw, 1);
    }
    std::vector<float> small(nh * nw);
    for (std::size_t x = 0; x < nw; ++x) {
        shrink_line(narrow.data() + x, h, nw, small.data() + x, nh, nw);
    }
    fitted.pixels.reserve(small.size());
    for (float value : small) {
        fitted.pixels.push_back(
            static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.f, 255.f))));
    }
    return fitted;
}

std::vector<std::uint8_t> picture_rows_of(const GreyImage& image, const ReductionOptions& options,
                                          const Dimensions& size) {
    const std::size_t row_bytes = picture_row_bytes(size.columns);
    std::vector<std::uint8_t> rows(picture_rows_size(size), 0);
    // A two-coloured image holds only 0 (on) and 255 (off).
    const unsigned threshold = image.two_coloured ? 128 : options.threshold;
    const bool dither = options.dither && !image.two_coloured;
    std::vector<int> here(image.width + 3, 0), below(image.width + 3, 0);
    for (std::size_t y = 0; y < image.height; ++y) {
        const std::uint8_t* grey = image.pixels.data() + y * image.width;
        std::uint8_t* row = rows.data() + y * row_bytes;
        if (dither) {
            dither_row(grey, image.width, threshold, here, below, row);
            continue;
        }
        for (std::size_t x = 0; x < image.width; ++x) {
            if (grey[x] < threshold) {
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return rows;
}

std::optional<ImagePicture> picture_of_image_file(std::span<const std::uint8_t> file) {
    DecodedImage decoded = decode_image(file, ImageBounds{kMaxPictureColumns, kMaxPictureRows});
    if (decoded.status != DecodeStatus::Decoded) {
        return std::nullopt;
    }
    ImagePicture picture;
    picture.size = Dimensions{static_cast<std::uint16_t>(decoded.image.height),
                              static_cast<std::uint16_t>(decoded.image.width)};
    picture.rows = picture_rows_of(decoded.image, ReductionOptions{}, picture.size);
    return picture;
}

}  // namespace varkit

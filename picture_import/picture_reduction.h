// The one place where a decoded image becomes a picture's rows: scaled down
// to fit when asked, then reduced to one bit per pixel by a threshold on
// luminance or by Floyd-Steinberg dithering.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "picture_import/image_readers.h"
#include "varfile/varfile.h"

namespace varkit {

struct ReductionOptions {
    unsigned threshold = 128;  // a pixel darker than this is on
    bool dither = false;
};

// Whether an image of that size fits a picture of `limit`.
bool fits_within(std::uint64_t width, std::uint64_t height, const Dimensions& limit);

// The image scaled down, aspect kept, to the largest size within `limit`:
// each new pixel is the average of the area it covers. An image that fits
// comes back as it is.
GreyImage fit_within(const GreyImage& image, const Dimensions& limit);

// Picture rows of `size` (at least the image's size) with the image in its
// top left corner and every other pixel off. A two-coloured image keeps its
// own choice of the dark colour; any other is reduced as `options` says.
std::vector<std::uint8_t> picture_rows_of(const GreyImage& image, const ReductionOptions& options,
                                          const Dimensions& size);

struct ImagePicture {
    Dimensions size;
    std::vector<std::uint8_t> rows;
};

// An image file's bytes as the picture Pixelpress makes of them with its
// default settings; nothing when the readers do not take the image whole or
// it is larger than 239 x 103.
std::optional<ImagePicture> picture_of_image_file(std::span<const std::uint8_t> file);

}  // namespace varkit

// The image readers of the picture importer, one per format, and what they
// all give: the image as one luminance value per pixel, whatever its format
// and depth, and how reading went.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/image_limits.h"

namespace varkit {

// An image as luminance, 0 black to 255 white, one byte per pixel, rows top
// first.
struct GreyImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
    // A 1-bit image: its own colour table or palette has already decided
    // which of its two colours is the dark one (0) and which the light one
    // (255), so no threshold applies.
    bool two_coloured = false;
};

enum class ImageFormat { Bmp, Png, Pnm, Jpeg, Gif, Webp, Tiff };

enum class DecodeStatus {
    Decoded,
    NotImage,     // none of the formats the readers know
    Unsupported,  // a kind or size of image the format allows but no picture can come from
    Damaged,      // the format's own rules are broken; `detail` says how
    EndsEarly,    // the data ends before the last row
    TooLarge,     // larger than the caller takes, or than is ever read into memory
};

struct DecodedImage {
    DecodeStatus status = DecodeStatus::NotImage;
    ImageFormat format = ImageFormat::Bmp;
    GreyImage image;  // width and height are set from the header whatever the status
    std::string detail;
};

// The largest image a caller takes, by its sides: the picture its output
// holds, or any the suite's image limits allow (one to be scaled down). A
// larger image is refused by the size its header declares, before any memory
// is set aside for its pixels.
struct ImageBounds {
    std::uint64_t columns = kLargestImageSide;
    std::uint64_t rows = kLargestImageSide;
};

// The luminance of a colour (ITU-R BT.601 weights), rounded.
inline std::uint8_t luminance(unsigned red, unsigned green, unsigned blue) {
    return static_cast<std::uint8_t>((299u * red + 587u * green + 114u * blue + 500u) / 1000u);
}

// A partly transparent pixel's luminance over a white background.
inline std::uint8_t over_white(std::uint8_t grey, unsigned alpha) {
    return static_cast<std::uint8_t>((grey * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// The one check of the size a header declares, for every reader: sets the
// size and makes room for every pixel; false (status Unsupported or
// TooLarge) for a size no picture can come from or one beyond `bounds` or
// the suite's image limits, and (status EndsEarly) when the reader has found
// that the file cannot hold all the rows, so no memory is set aside for them.
bool start_image(DecodedImage& decoded, std::uint64_t width, std::uint64_t height,
                 const ImageBounds& bounds, bool holds_all_rows = true);

// The readers, one per format. Each takes the whole file's bytes. BMP and
// netpbm are read by the suite itself, the other formats through each
// system's codecs, in files of their own (libpng, libjpeg-turbo, giflib and
// libwebp on Linux; the Windows Imaging Component on Windows, for TIFF too).
// A format a system does not decode is no image there. Of an animation (GIF,
// WebP) the first frame is the image.
DecodedImage decode_bmp(std::span<const std::uint8_t> file, const ImageBounds& bounds);
DecodedImage decode_png(std::span<const std::uint8_t> file, const ImageBounds& bounds);
DecodedImage decode_pnm(std::span<const std::uint8_t> file, const ImageBounds& bounds);
DecodedImage decode_jpeg(std::span<const std::uint8_t> file, const ImageBounds& bounds);
DecodedImage decode_gif(std::span<const std::uint8_t> file, const ImageBounds& bounds);
DecodedImage decode_webp(std::span<const std::uint8_t> file, const ImageBounds& bounds);
DecodedImage decode_tiff(std::span<const std::uint8_t> file, const ImageBounds& bounds);

// The format the first bytes of a file name, if any.
std::optional<ImageFormat> image_format_of(std::span<const std::uint8_t> first_bytes);

// Finds the format from the first bytes and runs its reader.
DecodedImage decode_image(std::span<const std::uint8_t> file, const ImageBounds& bounds = {});

}  // namespace varkit

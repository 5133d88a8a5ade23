// The image readers of the picture importer, one per format, and what they
// all give: the image as one luminance value per pixel, whatever its format
// and depth, and how reading went.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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

enum class ImageFormat { Bmp, Png, Pnm };

enum class DecodeStatus {
    Decoded,
    NotImage,     // none of the formats the readers know
    Unsupported,  // a kind or size of image the format allows but no picture can come from
    Damaged,      // the format's own rules are broken; `detail` says how
    EndsEarly,    // the data ends before the last row
    TooLarge,     // more pixels than are ever read into memory
};

struct DecodedImage {
    DecodeStatus status = DecodeStatus::NotImage;
    ImageFormat format = ImageFormat::Bmp;
    GreyImage image;  // width and height are set from the header whatever the status
    std::string detail;
};

// More pixels than this are refused before anything is decoded: an 8192 x 4096
// screenshot still fits.
inline constexpr std::uint64_t kLargestImagePixels = std::uint64_t{1} << 25;

// The luminance of a colour (ITU-R BT.601 weights), rounded.
inline std::uint8_t luminance(unsigned red, unsigned green, unsigned blue) {
    return static_cast<std::uint8_t>((299u * red + 587u * green + 114u * blue + 500u) / 1000u);
}

// A partly transparent pixel's luminance over a white background.
inline std::uint8_t over_white(std::uint8_t grey, unsigned alpha) {
    return static_cast<std::uint8_t>((grey * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// Sets the size and makes room for every pixel; false (status Unsupported
// or TooLarge) for a size no picture can come from, and (status EndsEarly)
// when the reader has found that the file cannot hold all the rows, so no
// memory is set aside for them.
bool start_image(DecodedImage& decoded, std::uint64_t width, std::uint64_t height,
                 bool holds_all_rows = true);

// The readers, one per format. Each takes the whole file's bytes.
DecodedImage decode_bmp(std::span<const std::uint8_t> file);
DecodedImage decode_png(std::span<const std::uint8_t> file);
DecodedImage decode_pnm(std::span<const std::uint8_t> file);

// Finds the format from the first bytes and runs its reader.
DecodedImage decode_image(std::span<const std::uint8_t> file);

}  // namespace varkit

// The largest images the suite reads into memory, one place for every reader
// of image files and clipboard images: a small hostile file declaring a huge
// image is refused by its header before any pixel is decoded.
#pragma once

#include <cstdint>

namespace varkit {

// More pixels than this are never decoded: a 2048 x 2048 image, or a
// 2560 x 1600 screenshot, still fits, at one byte a pixel 4 MB.
inline constexpr std::uint64_t kLargestImagePixels = std::uint64_t{1} << 22;

// Nor is an image wider or higher than this, whatever its pixel count.
inline constexpr std::uint32_t kLargestImageSide = 1u << 16;

inline bool image_size_allowed(std::uint64_t width, std::uint64_t height) {
    return width <= kLargestImageSide && height <= kLargestImageSide &&
           width * height <= kLargestImagePixels;
}

}  // namespace varkit

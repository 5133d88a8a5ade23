// Builds without libpng (the Windows one: Debian has no libpng for MinGW)
// write no PNG files.
#include "picture_export/picture_images.h"

namespace varkit {

std::optional<std::vector<std::uint8_t>> png_of_picture(const CalculatorPicture&) {
    return std::nullopt;
}

}  // namespace varkit

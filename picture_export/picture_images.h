// A picture as the image files Pixelcast writes besides BMP, made from the
// picture's own rows: PNG (1-bit greyscale) and PBM (netpbm's raw P4), both
// with pixels that are on in black.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "picture_export/calculator_picture.h"

namespace varkit {

// The picture's rows with the bits past the last column cleared, so the
// same picture always gives the same bytes; complemented where black is 0.
std::vector<std::uint8_t> clean_rows(const CalculatorPicture& picture, bool complement);

// Through libpng, on Windows the Windows Imaging Component; nothing when
// that fails.
std::optional<std::vector<std::uint8_t>> png_of_picture(const CalculatorPicture& picture);

std::vector<std::uint8_t> pbm_of_picture(const CalculatorPicture& picture);

}  // namespace varkit

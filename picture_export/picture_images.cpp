#include "picture_export/picture_images.h"

#include <string>

namespace varkit {

std::vector<std::uint8_t> clean_rows(const CalculatorPicture& picture, bool complement) {
    const std::size_t row_bytes = picture_row_bytes(picture.size.columns);
    const unsigned spare = static_cast<unsigned>(8 * row_bytes - picture.size.columns);
    const auto last_mask = static_cast<std::uint8_t>(0xFF << spare);
    std::vector<std::uint8_t> rows = picture.rows;
    for (std::size_t r = 0; r < picture.size.rows; ++r) {
        for (std::size_t b = 0; b < row_bytes; ++b) {
            std::uint8_t& byte = rows[r * row_bytes + b];
            byte = complement ? static_cast<std::uint8_t>(~byte) : byte;
        }
        rows[r * row_bytes + row_bytes - 1] &= last_mask;
    }
    return rows;
}

std::vector<std::uint8_t> pbm_of_picture(const CalculatorPicture& picture) {
    // PBM's 1 is black, as a picture's 1 is a dark pixel.
    const std::string header = "P4\n" + std::to_string(picture.size.columns) + " " +
                               std::to_string(picture.size.rows) + "\n";
    std::vector<std::uint8_t> pbm(header.begin(), header.end());
    const std::vector<std::uint8_t> rows = clean_rows(picture, false);
    pbm.insert(pbm.end(), rows.begin(), rows.end());
    return pbm;
}

}  // namespace varkit

// Reading the picture of any supported calculator's picture file: the
// TI-81, 82, 83 (and 83 Plus), 85 and 86 keep one fixed screen size at a place
// fixed by the family; the TI-89, 92 and 92 Plus store the size themselves.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "varfile/varfile.h"

namespace varkit {

struct CalculatorPicture {
    Dimensions size;
    std::vector<std::uint8_t> rows;  // top row first, picture_row_bytes(columns) each
};

// Opens the file read-only (with a member name, that variable of it),
// recognises the calculator from its signature and reads the picture. Every
// failure prints its line on `err` and gives false; a newer format word only
// warns.
bool load_calculator_picture(const std::string& path, const std::optional<std::string>& member,
                             CalculatorPicture& picture, std::FILE* err);

}  // namespace varkit

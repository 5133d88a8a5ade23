// TI-83 Plus (and TI-84 Plus) picture files: a 96 x 63 picture behind the
// "**TI83F*" signature, in one of the ten picture variables Pic1 to Pic0.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "varfile/varfile.h"

namespace varkit {

inline constexpr Dimensions kTi83PlusPicture{63, 96};

// The second byte of a picture variable's name token for "Pic1" to "Pic9"
// and "Pic0" in any case (0 to 9: Pic1 is 0, Pic0 is 9); nothing for any
// other name.
std::optional<std::uint8_t> picture_variable_number(std::string_view name);

// The whole file for picture rows of kTi83PlusPicture: the comment comes from
// `names` (as a new TI-89 header would carry it), the archived flag from its
// attribute, and `number` chooses the variable.
std::vector<std::uint8_t> ti83plus_picture_file(const VarHeader& names, std::uint8_t number,
                                                const std::vector<std::uint8_t>& rows);

}  // namespace varkit

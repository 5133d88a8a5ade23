// Varlook's commands for files that hold several variables: --list names
// each variable, --extract writes each as a single-variable file of its own.
#pragma once

#include <cstdio>
#include <string>

#include "varfile/member_input.h"

namespace varkit {

// One line per variable, in file order: folder\name, type, attribute, data
// length and whether its checksum holds. False after an error line or when a
// checksum is wrong.
bool list_group(const std::string& path, std::FILE* out);

// Writes every variable into `folder` ("" for the current one), named after
// the variable with its calculator's extension, and never over an existing
// file unless `replace`. False when any variable was not written.
bool extract_group(const std::string& path, const std::string& folder, bool replace,
                   std::FILE* out);

}  // namespace varkit

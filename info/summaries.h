// The contents summaries Varlook prints after the header report, one per kind
// of variable. They only read the file.
#pragma once

#include <cstdint>
#include <cstdio>

namespace varkit {

// Prints the summary for the type code, if that type has one: pictures,
// lists, matrices, data, texts, programs, functions and macros. A list walk
// that meets an expression it cannot measure prints the Oops line on `err`
// and no counts.
void print_contents_summary(std::uint8_t type_code, std::FILE* file, std::FILE* out,
                            std::FILE* err);

}  // namespace varkit

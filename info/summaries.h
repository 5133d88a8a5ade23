// The contents summaries Varlook prints after the header report, one per kind
// of variable. They only read the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace varkit {

// Prints the summary for the type code, if that type has one: pictures,
// lists, matrices, data, texts, programs, functions and macros. A list walk
// that meets an expression it cannot measure prints the Oops line on `err`
// and no counts.
void print_contents_summary(std::uint8_t type_code, std::FILE* file, std::FILE* out,
                            std::FILE* err);

// The attribute byte as the report words it: "Unlocked", "Locked",
// "Archived" or "Unknown".
const char* status_word(std::uint8_t attribute);

// A field from the file (a name, folder, comment or macro name) as it may be
// printed on `out`: on a terminal the C0 controls other than tab, DEL and the
// C1 controls become '?', so no byte of a file can act as a control sequence
// or forge a report line (a UTF-8 terminal gets the calculator's characters,
// any control among them '?'); to a pipe or file every byte goes out as it
// is.
std::string shown_field(std::string_view field, std::FILE* out);

}  // namespace varkit

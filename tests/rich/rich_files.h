// Variable files for the rich text tests, built byte by byte independently
// of the writer: TEXT, STR and picture data, and files of several entries
// (folder entries, a lab report and the variables it names) laid out as the
// link software lays out a group.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace varkit::testing {

// TEXT data around the text bytes: cursor position 1, the text, 0, 0xE0.
Bytes text_data(const std::string& text);
// STR data around the characters: 0, the characters, 0, 0x2D.
Bytes string_data(const std::string& characters);
// Picture data: the rows and columns words, the rows, the tag 0xDF.
Bytes picture_data(std::uint16_t rows, std::uint16_t columns, const Bytes& row_bytes);

struct GroupEntry {
    std::string name;
    std::uint8_t type_code = 0;  // 31 for a folder entry, which has no data
    Bytes data;
};

// A file of several entries: the 64-byte file header (entry count, first
// data offset), one 16-byte entry each (its trailing value the next entry's
// data offset, the file size after the last), the marker A5 5A, then one
// block per variable: 4 zero bytes, the big-endian data length, the data and
// its checksum.
Bytes make_group_file(const std::string& signature, const std::string& header_folder,
                      const std::vector<GroupEntry>& entries);

// The document prolog exactly as it is laid down for a variable, filled
// from its printf-style form.
std::string expected_prolog(const std::string& model, const std::string& title_type,
                            const std::string& name, const std::string& comment_type,
                            int default_font = 0, const std::string& extra_font_entry = "");

inline constexpr char kRunOpener[] = "\n{\\secd\\pard\\plain ";

}  // namespace varkit::testing

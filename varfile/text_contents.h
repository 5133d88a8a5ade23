// The contents of TEXT and STR variables and the plain-text form in which
// they travel as desktop text (clipboard text, text files, the console).
//
// TEXT data: a 2-byte big-endian cursor position, the text, 0x00, 0xE0.
// STR data: 0x00, the characters, 0x00, 0x2D.
// The text of a TEXT is lines separated by single 0x0D bytes, each line
// opened by a line-start byte that gives its kind. In the plain-text form a
// line end is CR LF, a line kind other than Plain is a two-character marker
// at the start of the line, and the control bytes other than tab and line end
// are written as two backslashes and two decimal digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkit {

// The bytes that close the data of the two types.
inline constexpr std::uint8_t kTextTag = 0xE0;
inline constexpr std::uint8_t kStringTag = 0x2D;

// Where the characters begin in a variable file: a TEXT's first line-start
// byte follows its cursor position, a STR's first character its leading zero.
inline constexpr long kTextCharactersOffset = 90;
inline constexpr long kStringCharactersOffset = 89;

// Every TEXT made here carries cursor position 1.
inline constexpr std::uint16_t kNewTextCursor = 1;

enum class TextLayout { Text, String };

// TEXT for type code 11, STR for 12, nothing for every other type.
std::optional<TextLayout> text_layout_of(unsigned type_code);
std::uint8_t type_code_of(TextLayout layout);

enum class LineKind { Plain, Command, PrintObject, PageBreak };

// The kind a line-start byte gives, or nothing when the byte is none of the
// four (a reader then takes it as the line's first character).
std::optional<LineKind> line_kind_of(std::uint8_t line_start);
std::uint8_t line_start_byte(LineKind kind);
// "" for a Plain line, else "C:", "P:" or "B:".
std::string_view line_marker(LineKind kind);

// The text of a TEXT or STR variable in an open variable file: from its first
// line-start byte (TEXT) or first character (STR) up to the first zero byte or
// the end of the file. The data length field is not consulted.
std::string read_variable_text(TextLayout layout, std::FILE* file);

// The variable's text (as read_variable_text gives it) in the plain-text
// form, without a terminator.
std::string plain_text_from_variable(TextLayout layout, std::string_view text);

// The plain-text form turned into a variable's text: line-start bytes and
// 0x0D separators included, no terminator. The input ends at its first zero
// byte, and an escape that gives 0x00 ends the text there.
std::string variable_text_from_plain(TextLayout layout, std::string_view plain);

// The longest text whose data still fits the 16-bit data length.
std::size_t max_variable_text(TextLayout layout);

// The whole data block of a new variable around its text: cursor position 1
// (TEXT) or a zero byte (STR), the text, its terminating zero and the tag.
std::vector<std::uint8_t> text_variable_data(TextLayout layout, std::string_view text);

}  // namespace varkit

// The character set of the TI-89, TI-92 and TI-92 Plus and Unicode.
//
// One table maps the calculator codes 0x01 to 0xFF one-to-one onto Unicode
// characters, so any calculator text goes to UTF-8 and comes back unchanged.
// A code with no Unicode character of its own gets a stand-in from the
// Private Use Area, U+E000 + code. The ASCII approximation is one-way.
//
// The plain-text form (CR LF line ends, control bytes as two backslashes and
// two decimal digits) has a Unicode spelling too: every byte becomes its
// character, and an escaped control code that is a calculator symbol with a
// character of its own (the store arrow, 0x16) is written as that character
// rather than as its escape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varkit {

// Where the stand-ins of codes without a Unicode character of their own lie.
inline constexpr char32_t kStandInBase = 0xE000;

// The character of a calculator code (U+0000 for 0x00).
char32_t unicode_of(std::uint8_t code);

// The calculator code of a character, or nothing when the calculator has none.
std::optional<std::uint8_t> calculator_code_of(char32_t character);

// True when the table gives the code a character of its own: neither a
// stand-in nor a control character.
bool has_own_character(std::uint8_t code);

// A readable ASCII spelling of a calculator code: "->" for the store arrow,
// "pi", "<=", "e" for an accented e. Printable ASCII stands for itself.
std::string_view ascii_of(std::uint8_t code);

void append_utf8(std::string& out, char32_t character);

// The length of the UTF-8 sequence at `index` and its character, or 0 when
// the bytes there are not one (overlong forms and surrogates included).
std::size_t decode_utf8(std::string_view text, std::size_t index, char32_t& character);

// The plain-text form spelt in UTF-8, and in the ASCII approximation.
std::string utf8_from_plain_text(std::string_view plain);
std::string ascii_from_plain_text(std::string_view plain);

// Why UTF-8 text cannot become calculator text: the first character without
// a calculator code (or the first byte that begins no UTF-8 character), as
// it is shown in a message, and its line, counted from 1.
struct UnicodeRefusal {
    std::string shown;
    std::size_t line = 1;
    bool not_utf8 = false;
};

struct PlainTextFromUtf8 {
    std::string plain;
    std::optional<UnicodeRefusal> refusal;
};

// UTF-8 text back in the plain-text form of calculator codes: the inverse of
// utf8_from_plain_text, so a control code's own character (→) comes back as
// its escape. A control character below U+0020 is its own byte, as in the
// plain-text form; a byte-order mark at the start is passed over.
PlainTextFromUtf8 plain_text_from_utf8(std::string_view utf8);

// True when the console's character set (the C library's current LC_CTYPE
// locale) is UTF-8.
bool console_uses_utf8();

}  // namespace varkit

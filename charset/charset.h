// The character set of the TI-89, TI-92 and TI-92 Plus and Unicode.
//
// One table maps the calculator codes 0x01 to 0xFF one-to-one onto Unicode,
// so any calculator text goes to Unicode and comes back unchanged. Most codes
// are one character; x-bar (0x9A) and the power -1 (0xB4) are two, since
// Unicode has no single character for them. Tab, the line ends and the
// control codes 0x01 to 0x08 and 0x0C stay themselves. The ASCII
// approximation is one-way.
//
// The plain-text form (CR LF line ends, control bytes as two backslashes and
// two decimal digits) has a Unicode spelling too: every byte becomes its
// characters, and an escaped control code that is a calculator symbol with a
// character of its own (the store arrow, 0x16) is written as that character
// rather than as its escape.
//
// The tables and conversions work on characters (char32_t), so every
// Unicode channel (UTF-8 files and targets, UTF-16 on Windows) shares them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkit {

// The characters of a calculator code: one, or two for x-bar and the power
// -1. Empty for 0x00.
std::u32string_view unicode_of(std::uint8_t code);

// A calculator code and how many characters spell it.
struct CalculatorCharacter {
    std::uint8_t code = 0;
    std::size_t length = 0;
};

// The calculator code that the characters at the start of `text` spell, the
// longer spelling first (x-bar before x), or nothing when the calculator has
// none for them.
std::optional<CalculatorCharacter> calculator_code_at(std::u32string_view text);

// True when the table gives the code a character that shows: not one of the
// codes that stay control characters.
bool has_own_character(std::uint8_t code);

// A readable ASCII spelling of a calculator code: "->" for the store arrow,
// "pi", "<=", "e" for an accented e. Printable ASCII stands for itself.
std::string_view ascii_of(std::uint8_t code);

// The characters nearest to one the calculator lacks, all of them characters
// it has: ASCII for typographic quotes, dashes and spaces, the letter an
// accented letter is made from (through its canonical decompositions),
// nothing for a combining mark or an invisible joiner. Nothing when no
// character is near.
std::optional<std::u32string_view> nearest_characters(char32_t character);

void append_utf8(std::string& out, char32_t character);

// The characters of UTF-8 text, or nothing when the bytes are not UTF-8
// (overlong forms and surrogates included).
std::optional<std::u32string> utf32_from_utf8(std::string_view utf8);

// A character as a message names it: itself in UTF-8 when it shows, else
// its code point (U+0085), so that no character of a text can command or
// hide what a terminal shows.
std::string shown_character(char32_t character);

// The plain-text form spelt in UTF-8 (its CR LF line ends kept), and in the
// ASCII approximation, where the names of adjacent symbols stay apart
// ("alpha beta", not "alphabeta").
std::string utf8_from_plain_text(std::string_view plain);
std::string ascii_from_plain_text(std::string_view plain);

// The plain-text form as a Unicode text file holds it: UTF-8, every line
// ended by a line feed, the last one too.
std::string unicode_file_from_plain_text(std::string_view plain);

// A character the calculator lacks and its line, counted from 1.
struct UnicodeRefusal {
    char32_t character = 0;
    std::size_t line = 1;
};

// What to do with a character the calculator lacks.
enum class Lacking { Refuse, Approximate };

struct PlainTextFromUnicode {
    std::string plain;
    std::vector<UnicodeRefusal> refused;  // every character without a code, in order
    std::size_t approximated = 0;         // characters stored as their nearest
};

// Unicode text back in the plain-text form of calculator codes: the inverse
// of utf8_from_plain_text, so a control code's own character (→) comes back
// as its escape. A control character below U+0020 is its own byte, as in the
// plain-text form; a byte-order mark at the start is passed over, and the
// text ends at its first U+0000.
PlainTextFromUnicode plain_text_from_unicode(std::u32string_view text,
                                             Lacking lacking = Lacking::Refuse);

// The same for the text of a Unicode text file, the inverse of
// unicode_file_from_plain_text: one final line end (LF, CR LF or CR) ends the
// last line rather than beginning an empty one.
PlainTextFromUnicode plain_text_from_unicode_file(std::u32string_view text, Lacking lacking);

// True when the user's locale (LC_ALL, LC_CTYPE or LANG, as the C library's
// current LC_CTYPE locale reports its codeset) is UTF-8: text files and
// documents then carry the calculator's characters as Unicode by default.
// Always false on Windows, whose byte channels keep the calculator's bytes.
bool locale_uses_utf8();

// True when the console's character set is UTF-8: the locale's on Unix.
bool console_uses_utf8();

}  // namespace varkit

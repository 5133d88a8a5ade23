#include "charset/charset.h"

#include <array>
#include <utility>

namespace varkit {
namespace {

// The calculator's character set, from the character codes appendix of the
// TI-89 / TI-92 Plus Guidebook (Texas Instruments, 2002) and the TI-89/92
// table of the public "TI calculator character sets" reference: Latin-1 with
// most control codes and the codes 0x80 to 0x9F given to mathematical
// symbols and Greek letters, and a few codes above 0xA0 redefined.
//
// Every code not listed keeps its Latin-1 character. The C0 and C1 control
// codes not listed get stand-ins, U+E000 + code (tab, line feed and carriage
// return stay themselves): x-bar (0x9A) has no single Unicode character, and
// the calculator's symbols among the control codes other than the store arrow
// are kept as stand-ins until each is matched to its character here. A
// stand-in is lossless: it comes back to its code, and the plain-text form
// keeps writing those codes as escapes.
struct Redefined {
    std::uint8_t code;
    char32_t character;
};

constexpr Redefined kRedefined[] = {
    {0x16, U'\u2192'},  // → store
    {0x80, U'\u03B1'},  // α
    {0x81, U'\u03B2'},  // β
    {0x82, U'\u0393'},  // Γ
    {0x83, U'\u03B3'},  // γ
    {0x84, U'\u0394'},  // Δ
    {0x85, U'\u03B4'},  // δ
    {0x86, U'\u03B5'},  // ε
    {0x87, U'\u03B6'},  // ζ
    {0x88, U'\u03B8'},  // θ
    {0x89, U'\u03BB'},  // λ
    {0x8A, U'\u03BE'},  // ξ
    {0x8B, U'\u03A0'},  // Π
    {0x8C, U'\u03C0'},  // π
    {0x8D, U'\u03C1'},  // ρ
    {0x8E, U'\u03A3'},  // Σ
    {0x8F, U'\u03C3'},  // σ
    {0x90, U'\u03C4'},  // τ
    {0x91, U'\u03C6'},  // φ
    {0x92, U'\u03C8'},  // ψ
    {0x93, U'\u03A9'},  // Ω
    {0x94, U'\u03C9'},  // ω
    {0x95, U'\u1D07'},  // ᴇ exponent
    {0x96, U'\u212F'},  // ℯ natural base
    {0x97, U'\u2148'},  // ⅈ imaginary unit
    {0x98, U'\u02B3'},  // ʳ radians
    {0x99, U'\u1D40'},  // ᵀ transpose
    {0x9B, U'\u0233'},  // ȳ
    {0x9C, U'\u2264'},  // ≤
    {0x9D, U'\u2260'},  // ≠
    {0x9E, U'\u2265'},  // ≥
    {0x9F, U'\u2220'},  // ∠
    {0xA8, U'\u221A'},  // √
    {0xAD, U'\u207B'},  // ⁻ negation
    {0xBC, U'\u2202'},  // ∂
    {0xBD, U'\u222B'},  // ∫
    {0xBE, U'\u221E'},  // ∞
};

constexpr bool keeps_own_control(std::uint8_t code) {
    return code == 0x09 || code == 0x0A || code == 0x0D;
}

constexpr std::array<char32_t, 256> make_table() {
    std::array<char32_t, 256> table{};
    for (std::size_t code = 1; code < table.size(); ++code) {
        auto byte = static_cast<std::uint8_t>(code);
        bool control = code < 0x20 || (code >= 0x80 && code < 0xA0);
        table[code] = control && !keeps_own_control(byte) ? kStandInBase + code : code;
    }
    for (const Redefined& entry : kRedefined) {
        table[entry.code] = entry.character;
    }
    return table;
}

constexpr std::array<char32_t, 256> kUnicode = make_table();

// ASCII spellings of the codes from 0x80 up; below that a code is its own
// spelling, but for the store arrow and 0x7F, which no ASCII text shows.
constexpr std::string_view kAsciiHigh[128] = {
    "alpha", "beta",   "Gamma", "gamma", "Delta", "delta",    "epsilon",  "zeta",   // 0x80
    "theta", "lambda", "xi",    "Pi",    "pi",    "rho",      "Sigma",    "sigma",  // 0x88
    "tau",   "phi",    "psi",   "Omega", "omega", "E",        "e",        "i",      // 0x90
    "r",     "T",      "xbar",  "ybar",  "<=",    "/=",       ">=",       "/_",     // 0x98
    " ",     "!",      "c",     "L",     "$",     "Y",        "|",        "S",      // 0xA0
    "sqrt",  "(c)",    "a",     "<<",    "not",   "-",        "(R)",      "-",      // 0xA8
    "deg",   "+/-",    "^2",    "^3",    "'",     "u",        "P",        ".",      // 0xB0
    ",",     "^1",     "o",     ">>",    "d",     "integral", "infinity", "?",      // 0xB8
    "A",     "A",      "A",     "A",     "A",     "A",        "AE",       "C",
    "E",     "E",      "E",     "E",     "I",     "I",        "I",        "I",  // 0xC0
    "D",     "N",      "O",     "O",     "O",     "O",        "O",        "x",
    "O",     "U",      "U",     "U",     "U",     "Y",        "Th",       "ss",  // 0xD0
    "a",     "a",      "a",     "a",     "a",     "a",        "ae",       "c",
    "e",     "e",      "e",     "e",     "i",     "i",        "i",        "i",  // 0xE0
    "d",     "n",      "o",     "o",     "o",     "o",        "o",        "/",
    "o",     "u",      "u",     "u",     "u",     "y",        "th",       "y",  // 0xF0
};

constexpr std::uint8_t kStoreArrow = 0x16;
constexpr char kBackslash = '\\';

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The control code escaped at `index` (two backslashes, two decimal digits)
// when the table gives it a character of its own; 0 otherwise.
std::uint8_t symbol_escape_at(std::string_view plain, std::size_t index) {
    if (index + 4 > plain.size() || plain[index] != kBackslash || plain[index + 1] != kBackslash ||
        !is_digit(plain[index + 2]) || !is_digit(plain[index + 3])) {
        return 0;
    }
    int value = (plain[index + 2] - '0') * 10 + (plain[index + 3] - '0');
    auto code = static_cast<std::uint8_t>(value);
    return value < 0x20 && has_own_character(code) ? code : 0;
}

// Each byte of the plain text becomes its spelling, an escaped symbol the
// symbol's spelling.
template <class Spell>
std::string respell_plain_text(std::string_view plain, Spell spell) {
    std::string out;
    out.reserve(plain.size());
    for (std::size_t i = 0; i < plain.size();) {
        if (std::uint8_t symbol = symbol_escape_at(plain, i)) {
            spell(out, symbol);
            i += 4;
        } else {
            spell(out, static_cast<std::uint8_t>(plain[i++]));
        }
    }
    return out;
}

// A control code spelt by its own character (→) came from an escape and
// goes back to one; every other code stands for itself, stand-ins included,
// so plain text keeps its bytes on the way through UTF-8.
void append_plain_code(std::string& plain, std::uint8_t code) {
    if (code < 0x20 && has_own_character(code)) {
        plain += kBackslash;
        plain += kBackslash;
        plain += static_cast<char>('0' + code / 10);
        plain += static_cast<char>('0' + code % 10);
    } else {
        plain += static_cast<char>(code);
    }
}

// The code a character of UTF-8 text gives. A control character below
// U+0020 is its own byte, as in text files without --utf8 (a form feed
// stays 0x0C); its stand-in gives the same code.
std::optional<std::uint8_t> code_of_text_character(char32_t character) {
    if (character != 0 && character < 0x20) {
        return static_cast<std::uint8_t>(character);
    }
    return calculator_code_of(character);
}

std::string hex_digits(unsigned value, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        text += kHex[(value >> shift) & 0xF];
    }
    return text;
}

// Characters that show nothing of their own on a screen, or act on what
// stands around them: controls, spaces other than U+0020, combining marks,
// format characters (the bidirectional overrides among them), variation
// selectors, tags, private use and noncharacters.
constexpr std::pair<char32_t, char32_t> kNotVisible[] = {
    {0x0000, 0x0020},   {0x007F, 0x00A0},   {0x00AD, 0x00AD},   {0x0300, 0x036F},
    {0x061C, 0x061C},   {0x115F, 0x1160},   {0x1680, 0x1680},   {0x17B4, 0x17B5},
    {0x180B, 0x180F},   {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF},   {0x2000, 0x200F},
    {0x2028, 0x202F},   {0x205F, 0x206F},   {0x20D0, 0x20FF},   {0x3000, 0x3000},
    {0x3164, 0x3164},   {0xD800, 0xF8FF},   {0xFDD0, 0xFDEF},   {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFFB},
    {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF}, {0xF0000, 0x10FFFF},
};

bool is_visible(char32_t character) {
    if ((character & 0xFFFE) == 0xFFFE) {
        return false;  // U+FFFE and U+FFFF of every plane
    }
    for (const auto& [first, last] : kNotVisible) {
        if (character >= first && character <= last) {
            return false;
        }
    }
    return true;
}

// A refused character as a message shows it: itself when it is a visible
// character, else as U+202E, so that no character of the text can reorder,
// hide or command what a terminal shows.
UnicodeRefusal refusal_at(std::string_view utf8, std::size_t index, std::size_t length,
                          char32_t character, std::size_t line) {
    if (length == 0) {
        return {"0x" + hex_digits(static_cast<unsigned char>(utf8[index]), 2), line, true};
    }
    if (!is_visible(character)) {
        int digits = 4;
        while ((character >> (4 * digits)) != 0) {
            ++digits;
        }
        return {"U+" + hex_digits(character, digits), line, false};
    }
    return {std::string(utf8.substr(index, length)), line, false};
}

}  // namespace

char32_t unicode_of(std::uint8_t code) {
    return kUnicode[code];
}

std::optional<std::uint8_t> calculator_code_of(char32_t character) {
    // Most text is ASCII and Latin-1, which the table mostly keeps.
    if (character != 0 && character < kUnicode.size() && kUnicode[character] == character) {
        return static_cast<std::uint8_t>(character);
    }
    for (std::size_t code = 1; code < kUnicode.size(); ++code) {
        if (kUnicode[code] == character) {
            return static_cast<std::uint8_t>(code);
        }
    }
    return std::nullopt;
}

bool has_own_character(std::uint8_t code) {
    char32_t character = kUnicode[code];
    return character >= 0x20 && (character < kStandInBase || character > kStandInBase + 0xFF);
}

std::string_view ascii_of(std::uint8_t code) {
    static constexpr std::array<char, 128> kSelf = [] {
        std::array<char, 128> self{};
        for (std::size_t c = 0; c < self.size(); ++c) {
            self[c] = static_cast<char>(c);
        }
        return self;
    }();
    if (code == kStoreArrow) {
        return "->";
    }
    if (code == 0x7F) {
        return "?";
    }
    if (code >= 0x80) {
        return kAsciiHigh[code - 0x80];
    }
    return std::string_view(&kSelf[code], 1);
}

void append_utf8(std::string& out, char32_t character) {
    if (character < 0x80) {
        out += static_cast<char>(character);
    } else if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (character >> 18));
        out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
}

std::size_t decode_utf8(std::string_view text, std::size_t index, char32_t& character) {
    const auto lead = static_cast<unsigned char>(text[index]);
    std::size_t length = lead < 0x80         ? 1
                         : (lead >> 5) == 6  ? 2
                         : (lead >> 4) == 14 ? 3
                         : (lead >> 3) == 30 ? 4
                                             : 0;
    if (length == 0 || index + length > text.size()) {
        return 0;
    }
    character = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[index + k]);
        if ((next >> 6) != 2) {
            return 0;
        }
        character = (character << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    bool surrogate = character >= 0xD800 && character <= 0xDFFF;
    if (character < kSmallest[length] || character > 0x10FFFF || surrogate) {
        return 0;
    }
    return length;
}

std::string utf8_from_plain_text(std::string_view plain) {
    return respell_plain_text(
        plain, [](std::string& out, std::uint8_t code) { append_utf8(out, unicode_of(code)); });
}

std::string ascii_from_plain_text(std::string_view plain) {
    return respell_plain_text(plain,
                              [](std::string& out, std::uint8_t code) { out += ascii_of(code); });
}

PlainTextFromUtf8 plain_text_from_utf8(std::string_view utf8) {
    PlainTextFromUtf8 result;
    std::size_t line = 1;
    std::size_t i = utf8.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (i < utf8.size()) {
        char32_t character = 0;
        std::size_t length = decode_utf8(utf8, i, character);
        if (length > 0 && character == 0) {
            break;  // the text ends at its first zero, as calculator text does
        }
        std::optional<std::uint8_t> code;
        if (length > 0) {
            code = code_of_text_character(character);
        }
        if (!code) {
            result.refusal = refusal_at(utf8, i, length, character, line);
            return result;
        }
        // CR, LF and CR LF each end one line.
        if (character == '\n' || (character == '\r' && !utf8.substr(i + 1).starts_with('\n'))) {
            ++line;
        }
        append_plain_code(result.plain, *code);
        i += length;
    }
    return result;
}

}  // namespace varkit

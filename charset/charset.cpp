#include "charset/charset.h"

#include <algorithm>
#include <array>
#include <utility>

namespace varkit {
namespace {

// The calculator's character set, from the character codes appendix of the
// TI-89 / TI-92 Plus Guidebook (Texas Instruments, 2002) and the TI-89/92
// table of the public "TI calculator character sets" reference: Latin-1 with
// the control codes and the codes 0x80 to 0x9F given to symbols, arrows and
// Greek letters, and a few codes above 0xA0 redefined. Every code not listed
// keeps its Latin-1 character.
//
// Where the sources offer a choice, the table stays one-to-one:
// - 0x01 to 0x08 and 0x0C stay control codes (the reference table's choice):
//   they are formatting codes more than symbols, and the plain text writes
//   them as escapes in every form. Tab and the line ends stay themselves.
// - 0xB4, the power -1, has no single character and is "⁻¹"; so the negative
//   sign 0xAD cannot be "⁻" alone (0xAD 0xB9 would read back as 0xB4) and is
//   the minus sign U+2212.
// - x-bar is x with a combining overline (no single character exists); y-bar
//   has one of its own, U+0233.
// - 0xA0 is the ellipsis the calculator shows, not a no-break space.
// - 0x0E is the padlock U+1F512, beyond the Basic Multilingual Plane.
struct Redefined {
    std::uint8_t code;
    std::u32string_view characters;
};

constexpr Redefined kRedefined[] = {
    {0x0B, U"\u2934"},        // ⤴
    {0x0E, U"\U0001F512"},    // 🔒 locked
    {0x0F, U"\u2713"},        // ✓
    {0x10, U"\u25FE"},        // ◾
    {0x11, U"\u25C2"},        // ◂
    {0x12, U"\u25B8"},        // ▸
    {0x13, U"\u25B4"},        // ▴
    {0x14, U"\u25BE"},        // ▾
    {0x15, U"\u2190"},        // ←
    {0x16, U"\u2192"},        // → store
    {0x17, U"\u2191"},        // ↑
    {0x18, U"\u2193"},        // ↓
    {0x19, U"\u25C0"},        // ◀
    {0x1A, U"\u25B6"},        // ▶
    {0x1B, U"\u2B06"},        // ⬆ shift
    {0x1C, U"\u222A"},        // ∪
    {0x1D, U"\u2229"},        // ∩
    {0x1E, U"\u2282"},        // ⊂
    {0x1F, U"\u2208"},        // ∈
    {0x7F, U"\u25C6"},        // ◆ begins a formatting command in a TEXT
    {0x80, U"\u03B1"},        // α
    {0x81, U"\u03B2"},        // β
    {0x82, U"\u0393"},        // Γ
    {0x83, U"\u03B3"},        // γ
    {0x84, U"\u0394"},        // Δ
    {0x85, U"\u03B4"},        // δ
    {0x86, U"\u03B5"},        // ε
    {0x87, U"\u03B6"},        // ζ
    {0x88, U"\u03B8"},        // θ
    {0x89, U"\u03BB"},        // λ
    {0x8A, U"\u03BE"},        // ξ
    {0x8B, U"\u03A0"},        // Π
    {0x8C, U"\u03C0"},        // π
    {0x8D, U"\u03C1"},        // ρ
    {0x8E, U"\u03A3"},        // Σ
    {0x8F, U"\u03C3"},        // σ
    {0x90, U"\u03C4"},        // τ
    {0x91, U"\u03C6"},        // φ
    {0x92, U"\u03C8"},        // ψ
    {0x93, U"\u03A9"},        // Ω
    {0x94, U"\u03C9"},        // ω
    {0x95, U"\u1D07"},        // ᴇ exponent
    {0x96, U"\u212F"},        // ℯ natural base
    {0x97, U"\u2148"},        // ⅈ imaginary unit
    {0x98, U"\u02B3"},        // ʳ radians
    {0x99, U"\u1D40"},        // ᵀ transpose
    {0x9A, U"x\u0305"},       // x̄
    {0x9B, U"\u0233"},        // ȳ
    {0x9C, U"\u2264"},        // ≤
    {0x9D, U"\u2260"},        // ≠
    {0x9E, U"\u2265"},        // ≥
    {0x9F, U"\u2220"},        // ∠
    {0xA0, U"\u2026"},        // …
    {0xA8, U"\u221A"},        // √
    {0xAD, U"\u2212"},        // − negation
    {0xB4, U"\u207B\u00B9"},  // ⁻¹
    {0xB8, U"\u207A"},        // ⁺
    {0xBC, U"\u2202"},        // ∂
    {0xBD, U"\u222B"},        // ∫
    {0xBE, U"\u221E"},        // ∞
};

// Latin-1, each code its own character: the storage of the table's views.
constexpr std::array<char32_t, 256> kLatin1 = [] {
    std::array<char32_t, 256> latin1{};
    for (std::size_t code = 0; code < latin1.size(); ++code) {
        latin1[code] = static_cast<char32_t>(code);
    }
    return latin1;
}();

constexpr std::array<std::u32string_view, 256> kUnicode = [] {
    std::array<std::u32string_view, 256> table{};
    for (std::size_t code = 1; code < table.size(); ++code) {
        table[code] = std::u32string_view(&kLatin1[code], 1);
    }
    for (const Redefined& entry : kRedefined) {
        table[entry.code] = entry.characters;
    }
    return table;
}();

// The codes spelt by two characters, tried before the codes of one.
constexpr std::uint8_t kTwoCharacterCodes[] = {0x9A, 0xB4};

// ASCII spellings of the codes from 0x80 up; below that a code is its own
// spelling, but for the symbols among the control codes and 0x7F.
constexpr std::string_view kAsciiHigh[128] = {
    "alpha", "beta",   "Gamma", "gamma", "Delta", "delta",    "epsilon",  "zeta",   // 0x80
    "theta", "lambda", "xi",    "Pi",    "pi",    "rho",      "Sigma",    "sigma",  // 0x88
    "tau",   "phi",    "psi",   "Omega", "omega", "E",        "e",        "i",      // 0x90
    "r",     "T",      "xbar",  "ybar",  "<=",    "/=",       ">=",       "/_",     // 0x98
    "...",   "!",      "c",     "L",     "$",     "Y",        "|",        "S",      // 0xA0
    "sqrt",  "(c)",    "a",     "<<",    "not",   "-",        "(R)",      "-",      // 0xA8
    "deg",   "+/-",    "^2",    "^3",    "^-1",   "u",        "P",        ".",      // 0xB0
    "^+",    "^1",     "o",     ">>",    "d",     "integral", "infinity", "?",      // 0xB8
    "A",     "A",      "A",     "A",     "A",     "A",        "AE",       "C",
    "E",     "E",      "E",     "E",     "I",     "I",        "I",        "I",  // 0xC0
    "D",     "N",      "O",     "O",     "O",     "O",        "O",        "x",
    "O",     "U",      "U",     "U",     "U",     "Y",        "Th",       "ss",  // 0xD0
    "a",     "a",      "a",     "a",     "a",     "a",        "ae",       "c",
    "e",     "e",      "e",     "e",     "i",     "i",        "i",        "i",  // 0xE0
    "d",     "n",      "o",     "o",     "o",     "o",        "o",        "/",
    "o",     "u",      "u",     "u",     "u",     "y",        "th",       "y",  // 0xF0
};

struct AsciiSymbol {
    std::uint8_t code;
    std::string_view ascii;
};

constexpr AsciiSymbol kAsciiSymbols[] = {
    {0x0B, "^"},     {0x0E, "lock"},      {0x0F, "check"},  {0x10, "#"},  {0x11, "<"},
    {0x12, ">"},     {0x13, "^"},         {0x14, "v"},      {0x15, "<-"}, {0x16, "->"},
    {0x17, "^"},     {0x18, "v"},         {0x19, "<"},      {0x1A, ">"},  {0x1B, "^"},
    {0x1C, "union"}, {0x1D, "intersect"}, {0x1E, "subset"}, {0x1F, "in"}, {0x7F, "<>"},
};

// Characters the calculator lacks and the ones that stand nearest, in
// order of their code points.
struct Nearest {
    char32_t first;
    char32_t last;
    std::u32string_view characters;
};

constexpr Nearest kNearest[] = {
    {0x00A0, 0x00A0, U" "},   // no-break space
    {0x00AD, 0x00AD, U""},    // soft hyphen
    {0x0300, 0x036F, U""},    // combining marks: the letter before them stays
    {0x2000, 0x200A, U" "},   // typographic spaces
    {0x200B, 0x200D, U""},    // zero-width space and joiners
    {0x2010, 0x2015, U"-"},   // hyphens and dashes
    {0x2018, 0x201B, U"'"},   // single quotation marks
    {0x201C, 0x201F, U"\""},  // double quotation marks
    {0x202F, 0x202F, U" "},   // narrow no-break space
    {0x2032, 0x2032, U"'"},   // prime
    {0x2033, 0x2033, U"\""},  // double prime
    {0x2039, 0x2039, U"<"},   // ‹ single angle quotation marks
    {0x203A, 0x203A, U">"},   // ›
    {0x205F, 0x205F, U" "},   // medium mathematical space
    {0x2060, 0x2060, U""},    // word joiner
    {0x3000, 0x3000, U" "},   // ideographic space
    {0xFEFF, 0xFEFF, U""},    // zero-width no-break space
};

// The first character of each letter's canonical decomposition, from the
// Unicode Character Database: "A" for "Ā", "Ü" for "Ǖ", "α" for "ά"; '.'
// where a character has none. A letter the calculator lacks is stored as the
// first letter down this chain that it has.
struct Decompositions {
    char32_t first;
    std::u32string_view bases;
};

constexpr char32_t kNoDecomposition = U'.';

constexpr Decompositions kDecompositions[] = {
    // Latin Extended-A and -B
    {0x0100,
     U"AaAaAaCcCcCcCcDd..EeEeEeEeEeGgGgGgGgHh..IiIiIiIiI...JjKk.LlLlLl."
     U"...NnNnNn...OoOoOo..RrRrRrSsSsSsSsTtTt..UuUuUuUuUuUuWwYyYZzZzZz."
     U"................................Oo.............Uu..............."
     U".............AaIiOoUuÜüÜüÜüÜü.ÄäȦȧÆæ..GgKkOoǪǫƷʒj...Gg..NnÅåÆæØø"
     U"AaAaEeEeIiIiOoOoRrRrUuUuSsTt..Hh......AaEeÖöÕõOoȮȯYy"},
    // Greek
    {0x0374,
     U"ʹ.........;......¨Α·ΕΗΙ.Ο.ΥΩϊ.........................ΙΥαεηιϋ..."
     U"......................ιυουω....ϒϒ"},
    // Latin Extended Additional
    {0x1E00,
     U"AaBbBbBbÇçDdDdDdDdDdĒēĒēEeEeȨȩFfGgHhHhHhHhHhIiÏïKkKkKkLlḶḷLlLlMm"
     U"MmMmNnNnNnNnÕõÕõŌōŌōPpPpRrRrṚṛRrSsSsŚśŠšṢṣTtTtTtTtUuUuUuŨũŪūVvVv"
     U"WwWwWwWwWwXxXxYyZzZzZzhtwy.ſ....AaAaÂâÂâÂâÂâẠạĂăĂăĂăĂăẠạEeEeEeÊê"
     U"ÊêÊêÊêẸẹIiIiOoOoÔôÔôÔôÔôỌọƠơƠơƠơƠơƠơUuUuƯưƯưƯưƯưƯưYyYyYyYy"},
};

// The stand-ins earlier versions wrote for codes without a character of
// their own, U+E000 + code; text they wrote still reads back.
constexpr char32_t kStandInBase = 0xE000;

constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr char kBackslash = '\\';

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The ASCII spelling of a symbol that is a word ("alpha", "sqrt"), which
// must not run into the letters beside it; accented letters are spelt as
// letters ("e", "AE") and join their word.
bool spelt_as_word(std::uint8_t code) {
    std::string_view spelling = ascii_of(code);
    return code < 0xC0 && spelling.size() > 1 &&
           std::all_of(spelling.begin(), spelling.end(), is_letter);
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
// symbol's spelling. A control byte stays itself (tab, the line ends), so
// text read back gives the same bytes.
template <class Spell>
std::string respell_plain_text(std::string_view plain, Spell spell) {
    std::string out;
    out.reserve(plain.size());
    for (std::size_t i = 0; i < plain.size();) {
        if (std::uint8_t symbol = symbol_escape_at(plain, i)) {
            spell(out, symbol);
            i += 4;
        } else if (static_cast<std::uint8_t>(plain[i]) < 0x20) {
            out += plain[i++];
        } else {
            spell(out, static_cast<std::uint8_t>(plain[i++]));
        }
    }
    return out;
}

// A control code spelt by its own character (→) came from an escape and
// goes back to one; every other code stands for itself, so plain text keeps
// its bytes on the way through Unicode.
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

// The code of a character of Unicode text, or nothing; an earlier version's
// stand-in is its code.
std::optional<CalculatorCharacter> code_of_text_at(std::u32string_view text) {
    char32_t character = text.front();
    if (character > kStandInBase && character <= kStandInBase + 0xFF) {
        return CalculatorCharacter{static_cast<std::uint8_t>(character - kStandInBase), 1};
    }
    return calculator_code_at(text);
}

// Appends the codes of characters the calculator has.
void append_plain_characters(std::string& plain, std::u32string_view characters) {
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (std::optional<CalculatorCharacter> found =
                calculator_code_at(characters.substr(i, 1))) {
            append_plain_code(plain, found->code);
        }
    }
}

// The first character of a character's canonical decomposition, or nothing.
std::u32string_view decomposition_base(char32_t character) {
    for (const Decompositions& block : kDecompositions) {
        if (character >= block.first && character - block.first < block.bases.size()) {
            std::u32string_view base = block.bases.substr(character - block.first, 1);
            return base.front() == kNoDecomposition ? std::u32string_view() : base;
        }
    }
    return {};
}

// True where a text's line ends: CR, LF and CR LF each end one line.
bool ends_line(std::u32string_view text) {
    return text.front() == '\n' || (text.front() == '\r' && !text.substr(1).starts_with(U'\n'));
}

std::string hex_digits(unsigned value, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        text += kHex[(value >> shift) & 0xF];
    }
    return text;
}

// The length of the UTF-8 sequence at `index` and its character, or 0 when
// the bytes there are not one (overlong forms and surrogates included).
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

}  // namespace

std::u32string_view unicode_of(std::uint8_t code) {
    return kUnicode[code];
}

std::optional<CalculatorCharacter> calculator_code_at(std::u32string_view text) {
    if (text.empty() || text.front() == 0) {
        return std::nullopt;
    }
    for (std::uint8_t code : kTwoCharacterCodes) {
        if (text.starts_with(kUnicode[code])) {
            return CalculatorCharacter{code, kUnicode[code].size()};
        }
    }
    // Most text is ASCII and Latin-1, which the table mostly keeps.
    char32_t character = text.front();
    if (character < kUnicode.size() && kUnicode[character] == text.substr(0, 1)) {
        return CalculatorCharacter{static_cast<std::uint8_t>(character), 1};
    }
    for (std::size_t code = 1; code < kUnicode.size(); ++code) {
        if (kUnicode[code] == text.substr(0, 1)) {
            return CalculatorCharacter{static_cast<std::uint8_t>(code), 1};
        }
    }
    return std::nullopt;
}

bool has_own_character(std::uint8_t code) {
    return code != 0 && kUnicode[code].front() >= 0x20;
}

std::string_view ascii_of(std::uint8_t code) {
    if (code >= 0x80) {
        return kAsciiHigh[code - 0x80];
    }
    for (const AsciiSymbol& symbol : kAsciiSymbols) {
        if (symbol.code == code) {
            return symbol.ascii;
        }
    }
    static constexpr std::array<char, 128> kSelf = [] {
        std::array<char, 128> self{};
        for (std::size_t c = 0; c < self.size(); ++c) {
            self[c] = static_cast<char>(c);
        }
        return self;
    }();
    return std::string_view(&kSelf[code], 1);
}

std::optional<std::u32string_view> nearest_characters(char32_t character) {
    for (const Nearest& nearest : kNearest) {
        if (character >= nearest.first && character <= nearest.last) {
            return nearest.characters;
        }
    }
    for (std::u32string_view base = decomposition_base(character); !base.empty();
         base = decomposition_base(base.front())) {
        if (calculator_code_at(base)) {
            return base;
        }
    }
    return std::nullopt;
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

std::optional<std::u32string> utf32_from_utf8(std::string_view utf8) {
    std::u32string characters;
    characters.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t character = 0;
        std::size_t length = decode_utf8(utf8, i, character);
        if (length == 0) {
            return std::nullopt;
        }
        characters += character;
        i += length;
    }
    return characters;
}

std::string shown_character(char32_t character) {
    std::string shown;
    if (is_visible(character)) {
        append_utf8(shown, character);
        return shown;
    }
    int digits = 4;
    while ((character >> (4 * digits)) != 0) {
        ++digits;
    }
    return "U+" + hex_digits(character, digits);
}

std::string utf8_from_plain_text(std::string_view plain) {
    return respell_plain_text(plain, [](std::string& out, std::uint8_t code) {
        for (char32_t character : unicode_of(code)) {
            append_utf8(out, character);
        }
    });
}

std::string ascii_from_plain_text(std::string_view plain) {
    // Where the last word ended; a letter right there must not join it.
    std::size_t word_end = std::string::npos;
    return respell_plain_text(plain, [&word_end](std::string& out, std::uint8_t code) {
        std::string_view spelling = ascii_of(code);
        bool word = spelt_as_word(code);
        if (!out.empty() && is_letter(out.back()) && is_letter(spelling.front()) &&
            (word || out.size() == word_end)) {
            out += ' ';
        }
        out += spelling;
        if (word) {
            word_end = out.size();
        }
    });
}

std::string unicode_file_from_plain_text(std::string_view plain) {
    std::string utf8 = utf8_from_plain_text(plain);
    // CR LF is the plain text's only line end.
    std::string file;
    file.reserve(utf8.size() + 1);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '\r' || i + 1 >= utf8.size() || utf8[i + 1] != '\n') {
            file += utf8[i];
        }
    }
    file += '\n';
    return file;
}

PlainTextFromUnicode plain_text_from_unicode(std::u32string_view text, Lacking lacking) {
    PlainTextFromUnicode result;
    text = text.substr(0, text.find(U'\0'));
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(1);
    }
    std::size_t line = 1;
    while (!text.empty()) {
        std::size_t length = 1;
        std::optional<std::u32string_view> nearest;
        if (text.front() < 0x20) {
            // A control character is its own byte, as in text files of the
            // calculator's bytes (a form feed stays 0x0C).
            result.plain += static_cast<char>(text.front());
        } else if (std::optional<CalculatorCharacter> found = code_of_text_at(text)) {
            append_plain_code(result.plain, found->code);
            length = found->length;
        } else if (lacking == Lacking::Approximate &&
                   (nearest = nearest_characters(text.front()))) {
            append_plain_characters(result.plain, *nearest);
            ++result.approximated;
        } else {
            result.refused.push_back({text.front(), line});
        }
        if (ends_line(text)) {
            ++line;
        }
        text.remove_prefix(length);
    }
    return result;
}

PlainTextFromUnicode plain_text_from_unicode_file(std::u32string_view text, Lacking lacking) {
    text = text.substr(0, text.find(U'\0'));
    if (text.ends_with(U"\r\n")) {
        text.remove_suffix(2);
    } else if (text.ends_with(U'\n') || text.ends_with(U'\r')) {
        text.remove_suffix(1);
    }
    return plain_text_from_unicode(text, lacking);
}

}  // namespace varkit

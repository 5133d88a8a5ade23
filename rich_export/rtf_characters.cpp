// Calculator characters in the document: control bytes, RTF's own special
// characters, the calculator font's code points and the markup commands.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charset/charset.h"
#include "rich_export/rtf_fields.h"
#include "rich_export/rtf_writer.h"

namespace varkit {
namespace {

// Calculator codes whose glyph sits at another code point of the calculator
// font; every other code is drawn under its own value.
struct FontCode {
    std::uint8_t calculator;
    std::uint8_t font;
};

constexpr FontCode kMovedGlyphs[] = {
    {0x12, 0xD0}, {0x16, 0xBB}, {0x1C, 0xBC}, {0x1D, 0xBD}, {0x1E, 0xBE}, {0x1F, 0xBF},
    {0x95, 0x96}, {0x96, 0x97}, {0x97, 0xC6}, {0xA0, 0xA1}, {0xA1, 0xA2}, {0xA2, 0xA3},
    {0xA3, 0xA4}, {0xA4, 0xA5}, {0xA8, 0xA7}, {0xA9, 0xA8}, {0xAB, 0xD7}, {0xAC, 0xA9},
    {0xAD, 0xAA}, {0xAF, 0xAB}, {0xB0, 0xAC}, {0xB1, 0xF7}, {0xB2, 0xAE}, {0xB3, 0xAF},
    {0xB4, 0xB0}, {0xB5, 0xB1}, {0xB7, 0xB2}, {0xB8, 0xAD}, {0xB9, 0xB4}, {0xBA, 0xB5},
    {0xBB, 0xDE}, {0xBC, 0xB6}, {0xBD, 0xB7}, {0xBE, 0xB8}, {0xBF, 0xB9},
};

constexpr std::array<std::uint8_t, 256> make_font_code_table() {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t code = 0; code < table.size(); ++code) {
        table[code] = static_cast<std::uint8_t>(code);
    }
    for (const FontCode& moved : kMovedGlyphs) {
        table[moved.calculator] = moved.font;
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> font_code_table = make_font_code_table();

// The code points that the table gives to other characters: these
// characters themselves are drawn from Courier New.
constexpr std::uint8_t kSecondFontSet[] = {0xA5, 0xA7, 0xAA, 0xAE, 0xB6,
                                           0xC6, 0xD0, 0xD7, 0xDE, 0xF7};

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";

// A font size operand: "0" to "9" and "A" to "F" (either case) give 0 to 15.
int font_size_value(int operand) {
    int value = operand - '0';
    if (value > 9) {
        value -= 7;
    }
    if (value > 15) {
        value -= 32;
    }
    return value;
}

// The letter or operand byte of a markup command. The text's terminator is
// never taken for one: it is left for the text to end at, so a command cut
// short by the end of the text writes nothing and reads no further.
int read_command_byte(std::FILE* in) {
    int byte = std::fgetc(in);
    if (byte == 0) {
        std::ungetc(byte, in);
        return EOF;
    }
    return byte;
}

// A toggle letter writes its "on" word when its toggle is off, else its
// "off" word. Each letter has a toggle of its own, also where two share a
// word.
struct MarkupToggle {
    char letter;
    const char* on;
    const char* off;
};

constexpr MarkupToggle kToggles[] = {
    {'b', "\\b ", "\\b0 "},
    {'i', "\\i ", "\\i0 "},
    {'C', "\\caps ", "\\caps0 "},
    {'c', "\\scaps ", "\\scaps0 "},
    {'d', "\\deleted ", "\\deleted0 "},
    {'v', "\\v ", "\\v0 "},
    {'o', "\\outl ", "\\outl0 "},
    {'h', "\\shad ", "\\shad0 "},
    {'k', "\\strike ", "\\strike0 "},
    {'s', "\\sub ", "\\nosupersub "},
    {'S', "\\super ", "\\nosupersub "},
    {'u', "\\ulw ", "\\ul0 "},
    {'U', "\\ul ", "\\ul0 "},
    {'l', "\\ql ", "\\pard "},
    {'m', "\\qc ", "\\pard "},
    {'r', "\\qr ", "\\pard "},
    {'j', "\\qj ", "\\pard "},
    {'E', "\\embo ", "\\plain "},
    {'e', "\\impr ", "\\plain "},
};

const MarkupToggle* find_toggle(int letter) {
    for (const MarkupToggle& toggle : kToggles) {
        if (toggle.letter == letter) {
            return &toggle;
        }
    }
    return nullptr;
}

constexpr std::pair<char, const char*> kWordCommands[] = {
    {'-', "\\emdash "},
    {'T', "\\chtime "},
    {'t', "\\tab "},
};

// A character as \u takes it: UTF-16 units as signed 16-bit numbers.
std::vector<std::int16_t> rtf_unicode_units(char32_t character) {
    if (character < 0x10000) {
        return {static_cast<std::int16_t>(character)};
    }
    char32_t offset = character - 0x10000;
    return {static_cast<std::int16_t>(0xD800 + (offset >> 10)),
            static_cast<std::int16_t>(0xDC00 + (offset & 0x3FF))};
}

// What a literal escape may pass: the control words that format characters,
// paragraphs and pages, and special characters. Every other word, any
// destination above all ({\*\...}, \field, \fldinst, \object, \pict, \bin),
// would let a variable put structure of its own into the document.
constexpr std::string_view kFormattingWords[] = {
    "b",       "box",       "bullet",    "caps",   "cb",      "cf",      "charscalex", "chcbpat",
    "chdate",  "chdpa",     "chdpl",     "chpgn",  "chtime",  "column",  "deleted",    "dn",
    "embo",    "emdash",    "emspace",   "endash", "enspace", "expnd",   "expndtw",    "f",
    "fi",      "fs",        "highlight", "i",      "impr",    "keep",    "keepn",      "kerning",
    "lang",    "ldblquote", "li",        "line",   "lquote",  "ltrmark", "nosupersub", "outl",
    "page",    "pagebb",    "par",       "pard",   "plain",   "qc",      "qj",         "ql",
    "qmspace", "qr",        "rdblquote", "ri",     "rquote",  "rtlmark", "sa",         "sb",
    "sbknone", "scaps",     "sect",      "sectd",  "shad",    "sl",      "slmult",     "strike",
    "striked", "sub",       "super",     "tab",    "tb",      "tqc",     "tqdec",      "tqr",
    "tx",      "ul",        "uld",       "uldash", "uldb",    "ulnone",  "ulth",       "ulw",
    "ulwave",  "up",        "v",         "zwj",    "zwnj",
};

// Control symbols that stand for a character: a non-breaking space, an
// optional hyphen, a non-breaking hyphen, a character by its code, and the
// three characters RTF reserves.
constexpr std::string_view kCharacterSymbols = "~-_'\\{}";

bool passes_control(std::string_view word, int next) {
    if (word.empty()) {
        return next != kWriterText &&
               kCharacterSymbols.find(static_cast<char>(next)) != std::string_view::npos;
    }
    return std::find(std::begin(kFormattingWords), std::end(kFormattingWords), word) !=
           std::end(kFormattingWords);
}

}  // namespace

std::uint8_t rtf_font_code(std::uint8_t calculator_code) {
    return font_code_table[calculator_code];
}

bool rtf_in_second_font(std::uint8_t calculator_code) {
    return std::find(std::begin(kSecondFontSet), std::end(kSecondFontSet), calculator_code) !=
           std::end(kSecondFontSet);
}

std::string rtf_escape_text(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            escaped += '\\';
            escaped += c;
        } else if (byte < 0x20 || byte > 0x7E) {
            escaped += "\\'";
            escaped += kLowerHex[byte >> 4];
            escaped += kLowerHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string rtf_unicode_character(std::uint8_t calculator_code) {
    std::u32string_view characters = unicode_of(calculator_code);
    std::string_view stand_in = ascii_of(calculator_code);
    std::string rtf;
    while (!characters.empty() && characters.front() < 0x80) {
        auto letter = static_cast<char>(characters.front());
        rtf += letter;
        if (stand_in.starts_with(letter)) {
            stand_in.remove_prefix(1);
        }
        characters.remove_prefix(1);
    }
    // \ucN: the N characters after a \u are what a reader without Unicode
    // shows in its place; the stand-in goes after the first unit.
    for (char32_t character : characters) {
        for (std::int16_t unit : rtf_unicode_units(character)) {
            rtf += "\\uc" + std::to_string(stand_in.size()) + "\\u" + std::to_string(unit) + " ";
            rtf += stand_in;
            stand_in = {};
        }
    }
    return rtf;
}

std::string rtf_font_entry(std::string_view face_name) {
    return "{\\f" + std::to_string(kExtraFontNumber) + "\\fnil\\fcharset0\\fprq2 " +
           rtf_escape_text(face_name) + ";}";
}

// The byte after a literal escape: RTF of the user's own. A backslash waits
// for the word or symbol it begins (settle_control_word decides it); a group
// it opens stays inside the run group, and a "}" that would close the run
// group, or the document, is written as text.
void RtfWriter::write_literal(int byte, std::FILE* out) {
    open_run(out);
    if (control_pending_ && (control_word_.empty() || is_control_word_letter(byte))) {
        rtf_put(byte, out);
        return;
    }
    settle_control_word(byte, out);
    switch (byte) {
        case '\\':
            control_pending_ = true;
            return;
        case '{':
            ++literal_groups_;
            break;
        case '}':
            if (literal_groups_ == 0) {
                std::fputs("\\}", out);
                return;
            }
            --literal_groups_;
            break;
        default:
            break;
    }
    std::fputc(byte, out);
}

// Ends the control word or symbol that an escaped backslash began, once the
// byte after it is known. A formatting word or a character symbol passes;
// anything else is written as text, its backslash escaped.
void RtfWriter::settle_control_word(int next, std::FILE* out) {
    if (!control_pending_) {
        return;
    }
    control_pending_ = false;
    std::fputs(passes_control(control_word_, next) ? "\\" : "\\\\", out);
    std::fwrite(control_word_.data(), 1, control_word_.size(), out);
    control_word_.clear();
}

int RtfWriter::rtf_emit_char(int code, std::FILE* in, std::FILE* out) {
    // Most characters of a text are printable ASCII other than RTF's own
    // special characters: they go into the document as they are.
    if (code >= 0x20 && code < kMarkupCommand && code != '\\' && code != '{' && code != '}') {
        rtf_put(code, out);
        return 1;
    }
    switch (code) {
        case '\t':
            rtf_write(out, "\\tab ");
            return 1;
        case '\f':
            write_page_break(out);
            return 1;
        case '\\':
            rtf_write(out, "\\\\");
            return 1;
        case '{':
            rtf_write(out, "\\{");
            return 1;
        case '}':
            rtf_write(out, "\\}");
            return 1;
        case kMarkupCommand:
            write_markup(in, out);
            return 1;
        default:
            break;
    }
    auto character = static_cast<std::uint8_t>(code);
    if (written_as_unicode(character)) {
        // In the running text, its font and its format.
        rtf_write(out, "%s", rtf_unicode_character(character));
    } else if (code >= 0x80) {
        write_high_char(character, out);
    } else if (code >= 0x20) {
        rtf_put(code, out);
    } else if (code == 0x12 || code == 0x16 || code >= 0x1C) {
        // Six control codes are calculator symbols with a glyph of their own.
        rtf_put(font_code_table[code], out);
    } else {
        // The other control codes show as a backslash and two digits.
        rtf_write(out, "\\\\");
        rtf_put('0' + code / 10, out);
        rtf_put('0' + code % 10, out);
    }
    return 1;
}

// Each such character stands in a run group of its own, in the calculator
// font or Courier New, whatever font the text around it uses.
void RtfWriter::write_high_char(std::uint8_t code, std::FILE* out) {
    rtf_close_run(out);
    rtf_write(out, rtf_in_second_font(code) ? "\\f1 " : "\\f0 ");
    rtf_write(out, "\\'");
    std::uint8_t font_code = font_code_table[code];
    rtf_put(kUpperHex[font_code >> 4], out);
    rtf_put(kUpperHex[font_code & 0xF], out);
    rtf_close_run(out);
}

// The Unicode document writes the characters above 127 and the calculator
// symbols among the control codes as Unicode.
bool RtfWriter::written_as_unicode(std::uint8_t code) const {
    return settings_.unicode && (code >= 0x80 || code < 0x20) && has_own_character(code);
}

// A name's characters as the text's own.
std::string RtfWriter::escaped_name(std::string_view name) const {
    std::string escaped;
    for (char c : name) {
        auto code = static_cast<std::uint8_t>(c);
        escaped += written_as_unicode(code) ? rtf_unicode_character(code)
                                            : rtf_escape_text(std::string_view(&c, 1));
    }
    return escaped;
}

// A letter the writer does not know, and the end of the text in its place,
// write nothing.
void RtfWriter::write_markup(std::FILE* in, std::FILE* out) {
    int letter = read_command_byte(in);
    if (letter == EOF) {
        return;
    }
    if (const MarkupToggle* toggle = find_toggle(letter)) {
        bool& on = format_toggles_[static_cast<unsigned char>(letter)];
        rtf_write(out, on ? toggle->off : toggle->on);
        on = !on;
        return;
    }
    for (const auto& [word_letter, word] : kWordCommands) {
        if (word_letter == letter) {
            rtf_write(out, word);
            return;
        }
    }
    if (letter == 'n') {
        rtf_close_run(out);
        return;
    }
    write_operand_markup(letter, in, out);
}

void RtfWriter::write_operand_markup(int letter, std::FILE* in, std::FILE* out) {
    if (letter != 'D' && letter != 'f' && letter != 'p') {
        return;
    }
    int operand = read_command_byte(in);
    if (operand == EOF) {
        return;
    }
    if (letter == 'D') {
        static constexpr const char* kDates[] = {"\\chdate ", "\\chdpa ", "\\chdpl "};
        if (operand >= '1' && operand <= '3') {
            rtf_write(out, kDates[operand - '1']);
        }
    } else if (letter == 'f') {
        if (operand == 'd' || operand == 'D') {
            rtf_write(out, "\\plain ");
        } else if (operand >= '0' && operand <= '9') {
            rtf_write(out, "\\f");
            rtf_put(operand, out);
            rtf_put(' ', out);
        } else {
            // A font number is a digit: any other byte is no operand but
            // the text's next character, read again as such.
            std::ungetc(operand, in);
        }
    } else {
        rtf_write(out, "\\fs%s ", std::to_string(4 * font_size_value(operand) + 12));
    }
}

}  // namespace varkit

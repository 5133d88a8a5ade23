#include "varfile/text_contents.h"

#include <array>

#include "varfile/container.h"

namespace varkit {
namespace {

constexpr char kCarriageReturn = '\x0D';
constexpr char kLineFeed = '\x0A';
constexpr char kTab = '\x09';
constexpr char kBackslash = '\\';

constexpr std::uint8_t kPlainLineStart = 0x20;
constexpr std::uint8_t kCommandLineStart = 0x43;
constexpr std::uint8_t kPrintObjectLineStart = 0x50;
constexpr std::uint8_t kPageBreakLineStart = 0x0C;

// The data around the text: TEXT adds its cursor position, terminator and
// tag; STR its leading zero, terminator and tag.
constexpr std::size_t kMaxDataLength = 0xFFFF;
constexpr std::size_t kTextOverhead = 4;
constexpr std::size_t kStringOverhead = 3;

std::uint8_t byte_at(std::string_view text, std::size_t index) {
    return static_cast<std::uint8_t>(text[index]);
}

// Writes the marker of the line a line-start byte opens; a Plain line and a
// byte that is no line-start byte write nothing.
void append_marker(std::string& plain, std::uint8_t line_start) {
    if (std::optional<LineKind> kind = line_kind_of(line_start)) {
        plain += line_marker(*kind);
    }
}

// Control bytes other than tab and line end travel as two backslashes and
// the byte's value in two decimal digits.
void append_escape(std::string& plain, std::uint8_t byte) {
    plain += kBackslash;
    plain += kBackslash;
    plain += static_cast<char>('0' + byte / 10);
    plain += static_cast<char>('0' + byte % 10);
}

// The line kind a marker at `index` of the plain text gives, if one stands
// there.
std::optional<LineKind> marker_at(std::string_view plain, std::size_t index) {
    if (index + 1 >= plain.size() || plain[index + 1] != ':') {
        return std::nullopt;
    }
    switch (plain[index]) {
        case 'C':
            return LineKind::Command;
        case 'P':
            return LineKind::PrintObject;
        case 'B':
            return LineKind::PageBreak;
        default:
            return std::nullopt;
    }
}

// Reads the plain text from its start to its end, building a TEXT's or STR's
// text.
class PlainTextReader {
  public:
    PlainTextReader(TextLayout layout, std::string_view plain)
        : layout_(layout), plain_(plain.substr(0, plain.find('\0'))) {}

    std::string convert() {
        begin_line();
        while (index_ < plain_.size()) {
            char c = plain_[index_++];
            if (c == kCarriageReturn || c == kLineFeed) {
                end_line(c);
            } else if (c == kBackslash && index_ < plain_.size() && plain_[index_] == kBackslash) {
                if (!take_escape()) {
                    break;
                }
            } else {
                text_ += c;
            }
        }
        return std::move(text_);
    }

  private:
    // A TEXT line opens with its line-start byte: the marker's kind, else Plain.
    void begin_line() {
        if (layout_ != TextLayout::Text) {
            return;
        }
        std::optional<LineKind> kind = marker_at(plain_, index_);
        if (kind) {
            index_ += 2;
        }
        text_ += static_cast<char>(line_start_byte(kind.value_or(LineKind::Plain)));
    }

    // CR, LF and CR LF each end one line. Only after a CR does a following LF
    // belong to the same line end: two LFs are two line ends, so the blank
    // lines of a Unix text survive.
    void end_line(char ended_by) {
        text_ += kCarriageReturn;
        if (ended_by == kCarriageReturn && index_ < plain_.size() && plain_[index_] == kLineFeed) {
            ++index_;
        }
        begin_line();
    }

    // The second backslash stands at index_. Any two characters after the
    // pair make the byte (d1 - '0') * 10 + (d2 - '0'), modulo 256; an escape
    // cut short by the end of the text is kept as the characters it consists
    // of. False when the escape gives 0x00, which ends the text.
    bool take_escape() {
        if (index_ + 2 >= plain_.size()) {
            text_ += kBackslash;
            return true;
        }
        int tens = byte_at(plain_, index_ + 1) - '0';
        int units = byte_at(plain_, index_ + 2) - '0';
        auto byte = static_cast<std::uint8_t>(tens * 10 + units);
        if (byte == 0) {
            return false;
        }
        text_ += static_cast<char>(byte);
        index_ += 3;
        return true;
    }

    TextLayout layout_;
    std::string_view plain_;
    std::size_t index_ = 0;
    std::string text_;
};

}  // namespace

std::optional<TextLayout> text_layout_of(unsigned type_code) {
    if (type_code == kTypeText) {
        return TextLayout::Text;
    }
    if (type_code == kTypeString) {
        return TextLayout::String;
    }
    return std::nullopt;
}

std::uint8_t type_code_of(TextLayout layout) {
    return layout == TextLayout::Text ? kTypeText : kTypeString;
}

std::optional<LineKind> line_kind_of(std::uint8_t line_start) {
    switch (line_start) {
        case kPlainLineStart:
            return LineKind::Plain;
        case kCommandLineStart:
            return LineKind::Command;
        case kPrintObjectLineStart:
            return LineKind::PrintObject;
        case kPageBreakLineStart:
            return LineKind::PageBreak;
        default:
            return std::nullopt;
    }
}

std::uint8_t line_start_byte(LineKind kind) {
    switch (kind) {
        case LineKind::Command:
            return kCommandLineStart;
        case LineKind::PrintObject:
            return kPrintObjectLineStart;
        case LineKind::PageBreak:
            return kPageBreakLineStart;
        case LineKind::Plain:
            break;
    }
    return kPlainLineStart;
}

std::string_view line_marker(LineKind kind) {
    switch (kind) {
        case LineKind::Command:
            return "C:";
        case LineKind::PrintObject:
            return "P:";
        case LineKind::PageBreak:
            return "B:";
        case LineKind::Plain:
            break;
    }
    return "";
}

std::string read_variable_text(TextLayout layout, std::FILE* file) {
    std::string text;
    long start = layout == TextLayout::Text ? kTextCharactersOffset : kStringCharactersOffset;
    if (vf_seek(start, file) != 0) {
        return text;
    }
    // A block at a time, up to the first zero byte.
    std::array<char, 4096> block;
    for (;;) {
        std::size_t got = std::fread(block.data(), 1, block.size(), file);
        std::string_view read(block.data(), got);
        std::size_t zero = read.find('\0');
        text.append(read.substr(0, zero));
        if (zero != std::string_view::npos || got < block.size()) {
            return text;
        }
    }
}

std::string plain_text_from_variable(TextLayout layout, std::string_view text) {
    bool lines_have_kinds = layout == TextLayout::Text;
    text = text.substr(0, text.find('\0'));
    std::string plain;
    std::size_t index = 0;
    // The first byte of a TEXT is its first line's line-start byte, whatever
    // its value.
    if (lines_have_kinds && !text.empty()) {
        append_marker(plain, byte_at(text, index++));
    }
    while (index < text.size()) {
        std::uint8_t byte = byte_at(text, index++);
        if (byte == kCarriageReturn) {
            plain += "\r\n";
            // After a line end a TEXT's next byte is the next line's
            // line-start byte; when it is none, it is the line's first
            // character and is read again as such.
            if (lines_have_kinds && index < text.size()) {
                if (line_kind_of(byte_at(text, index))) {
                    append_marker(plain, byte_at(text, index++));
                }
            }
        } else if (byte < 0x20 && byte != kTab) {
            append_escape(plain, byte);
        } else {
            plain += static_cast<char>(byte);
        }
    }
    return plain;
}

std::string variable_text_from_plain(TextLayout layout, std::string_view plain) {
    return PlainTextReader(layout, plain).convert();
}

std::size_t max_variable_text(TextLayout layout) {
    return kMaxDataLength - (layout == TextLayout::Text ? kTextOverhead : kStringOverhead);
}

std::vector<std::uint8_t> text_variable_data(TextLayout layout, std::string_view text) {
    std::vector<std::uint8_t> data;
    data.reserve(text.size() + kTextOverhead);
    if (layout == TextLayout::Text) {
        data.push_back(static_cast<std::uint8_t>(kNewTextCursor >> 8));
        data.push_back(static_cast<std::uint8_t>(kNewTextCursor & 0xFF));
    } else {
        data.push_back(0x00);
    }
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0x00);
    data.push_back(layout == TextLayout::Text ? kTextTag : kStringTag);
    return data;
}

}  // namespace varkit

// The document: finding the converted variable, the prolog, the body with its
// line kinds, and the run groups that all running text stands in.
#include "rich_export/rtf_writer.h"

#include <cstring>

#include "rich_export/rtf_fields.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr char kRunOpener[] = "\n{\\secd\\pard\\plain ";

// The prolog around its placeholders: the default font number, the extra
// font table entry, then the model, type and name in the title and the
// model and type in the comment.
constexpr char kPrologStart[] = "{\\rtf1\\ansi\\deflang1033\\deff";
constexpr char kFontTableStart[] = "{\\fonttbl";
// The calculator's own fonts, 0 and 5 (bold), and the common fonts 1 to 4.
constexpr char kCalculatorFont[] =
    "{\\f0\\fnil\\fcharset0\\fprq0 Ti92Pluspc;{\\*\\falt Courier New}}";
constexpr char kCommonFonts[] =
    "{\\f1\\fmodern\\fcharset0\\fprq0 Courier New;}"
    "{\\f2\\froman\\fcharset0\\fprq0 Times New Roman;}"
    "{\\f3\\fscript\\fcharset0\\fprq0 Signature;}"
    "{\\f4\\fnil\\fcharset0\\fprq0 Comic Sans MS;}";
constexpr char kCalculatorBoldFont[] =
    "{\\f5\\fnil\\fcharset0\\fprq0 Ti92PpcBold;{\\*\\falt Courier New}}";
// The Unicode document's monospace font in place of both calculator fonts
// (font %d): a fixed-pitch family named as a list of fallbacks, which
// LibreOffice reads from the escaped semicolons, and Courier New for readers
// that take the whole name for one font.
constexpr char kMonospaceFont[] =
    "{\\f%d\\fmodern\\fcharset0\\fprq1 Courier New\\'3bDejaVu Sans Mono\\'3bLiberation Mono;"
    "{\\*\\falt Courier New}}";
constexpr char kTitleStart[] = "}\n{\\colortbl\\red0\\green0\\blue0;}\n{\\info{\\title TI-";
constexpr char kCommentStart[] = "}{\\doccomm Converted from a TI-";
constexpr char kPrologEnd[] =
    " file}}\n\\noxlattoyen\\viewkind1\\ftnbj\\ftnrestart\\aftnnar\\revisions\\sectd"
    "\\sbknone\\endnhere\n";

// What a TEXT line's line-start byte, or a lone 0x0C inside a line, writes
// after the page break.
constexpr char kPageBreak[] = "\n\\page\n%s";
constexpr char kColonMarker[] = " :";

// The body stops short of the last three bytes before the data end: the
// checksum and the tag that follow the terminator.
constexpr long long kDataEndMargin = 3;

// The calculator model and its letter ("P" for a TI-92 Plus) as the title
// and comment write them: TI-92P, TI-89.
std::string model_text(std::int32_t calculator_code) {
    std::string text = std::to_string(vf_model_number(calculator_code));
    unsigned letters = static_cast<std::uint32_t>(calculator_code) & 0xFFFF;
    if (letters != 0) {
        text += rtf_escape_text(std::string(1, static_cast<char>(letters & 0xFF)));
    }
    return text;
}

}  // namespace

RtfWriter::RtfWriter(RtfSettings settings, Runtime& rt) : settings_(std::move(settings)), rt_(rt) {}

void RtfWriter::report(const char* message) {
    std::fputs(message, rt_.err);
    failure_reported_ = true;
}

void RtfWriter::open_run(std::FILE* out) {
    if (!run_open_) {
        run_open_ = true;
        std::fputs(kRunOpener, out);
    }
}

void RtfWriter::rtf_write(std::FILE* out, std::string_view format, std::string_view argument) {
    open_run(out);
    settle_control_word(kWriterText, out);
    std::size_t slot = format.find("%s");
    if (slot == std::string_view::npos) {
        std::fwrite(format.data(), 1, format.size(), out);
        return;
    }
    std::fwrite(format.data(), 1, slot, out);
    std::fwrite(argument.data(), 1, argument.size(), out);
    std::string_view rest = format.substr(slot + 2);
    std::fwrite(rest.data(), 1, rest.size(), out);
}

void RtfWriter::rtf_put(int byte, std::FILE* out) {
    open_run(out);
    if (control_pending_) {
        if (is_control_word_letter(byte) && control_word_.size() < kLongestControlWord) {
            control_word_ += static_cast<char>(byte);
            return;
        }
        settle_control_word(byte, out);
    }
    std::fputc(static_cast<unsigned char>(byte), out);
}

int RtfWriter::rtf_close_run(std::FILE* out) {
    if (!run_open_) {
        return 0;
    }
    settle_control_word(kWriterText, out);
    for (; literal_groups_ > 0; --literal_groups_) {
        std::fputc('}', out);
    }
    std::fputc('}', out);
    run_open_ = false;
    format_toggles_.fill(false);
    return 1;
}

// Folder entries come first; each names the folder of the entries after it.
// The first other entry is the variable to convert. The scan reads the first
// entry always, never more than the header announces, and stops at the end of
// the file, where the last whole entry stands.
RtfWriter::ConvertedVariable RtfWriter::find_converted_variable(std::FILE* in) {
    FileHeader header;
    vf_read_file_header(&header, in);
    current_folder_ = field_text(header.folder);
    ConvertedVariable variable;
    variable.entry.type_code = kUnreadableType;
    variable.data_offset = header.data_offset;
    vf_seek(kNameOffset, in);
    for (unsigned index = 0;; ++index) {
        EntryRecord entry;
        if (vf_read_entry(&entry, in) != 1) {
            break;
        }
        variable.entry = entry;
        if (entry.type_code != kTypeFolder) {
            break;
        }
        current_folder_ = field_text(entry.name);
        variable.data_offset = entry.next_offset;
        if (index + 1 >= header.entry_count) {
            break;
        }
    }
    return variable;
}

int RtfWriter::rtf_convert(std::int32_t calculator_code, std::FILE* in, std::FILE* out) {
    entry_table_.reset();
    const ConvertedVariable variable = find_converted_variable(in);
    switch (variable.entry.type_code) {
        case kTypeText:
            kind_ = Kind::Text;
            break;
        case kTypeString:
            kind_ = Kind::String;
            settings_.keep_colons = false;  // a STR has no line-start markers
            break;
        case kTypeLabReport:
            kind_ = Kind::LabReport;
            break;
        default:
            std::fprintf(rt_.err, "Error: File type not supported (%s).\n",
                         vf_type_name(variable.entry.type_code));
            failure_reported_ = true;
            return 0;
    }
    vf_seek(static_cast<long>(variable.data_offset) + kFirstCharacter, in);
    write_prolog(calculator_code, variable.entry.type_code, field_text(variable.entry.name), out);
    if (kind_ != Kind::String) {
        write_first_line(in, out);
    }
    write_body(static_cast<long long>(variable.entry.next_offset), in, out);
    if (run_ended_) {
        return 0;
    }
    rtf_close_run(out);
    std::fputc('}', out);
    return 1;
}

void RtfWriter::write_font_table(std::FILE* out) const {
    std::fputs(kFontTableStart, out);
    if (settings_.unicode) {
        std::fprintf(out, kMonospaceFont, 0);
        std::fputs(kCommonFonts, out);
        std::fprintf(out, kMonospaceFont, 5);
    } else {
        std::fputs(kCalculatorFont, out);
        std::fputs(kCommonFonts, out);
        std::fputs(kCalculatorBoldFont, out);
    }
    std::fputs(settings_.extra_font_entry.c_str(), out);
}

void RtfWriter::write_prolog(std::int32_t calculator_code, std::uint8_t type_code,
                             std::string_view variable_name, std::FILE* out) {
    const bool report = type_code == kTypeLabReport;
    const std::string title_type = report ? "Lab Report" : vf_type_name(type_code);
    const std::string comment_type = report ? "lab report" : vf_type_name(type_code);
    const std::string model = model_text(calculator_code);

    std::fprintf(out, "%s%d", kPrologStart, settings_.default_font);
    write_font_table(out);
    std::fprintf(out, "%s%s %s - %s", kTitleStart, model.c_str(), title_type.c_str(),
                 escaped_name(variable_name).c_str());
    std::fprintf(out, "%s%s %s%s", kCommentStart, model.c_str(), comment_type.c_str(), kPrologEnd);
}

// The first line-start byte is always consumed, whatever its value, and a
// "P" there is not a reference: its text follows as ordinary characters.
void RtfWriter::write_first_line(std::FILE* in, std::FILE* out) {
    std::fgetc(in);  // the cursor position's second byte
    int line_start = std::fgetc(in);
    if (line_start == '\f') {
        rtf_write(out, "\n\\page New Page ");
    } else if (line_start == 'C' || line_start == 'P') {
        rtf_put(line_start, out);
        rtf_put(':', out);
    } else if (settings_.keep_colons) {
        rtf_write(out, kColonMarker);
    }
}

void RtfWriter::write_body(long long data_end, std::FILE* in, std::FILE* out) {
    // The text ends where the stream position after a character reaches
    // this. The position is counted here rather than asked of the stream
    // for every character; it is read again after each step that may move
    // the stream on its own: a markup command reads its letter and operand,
    // a line start may step back or jump to a referenced variable and back.
    const long long text_end = data_end - kDataEndMargin;
    long long position = vf_tell(in);
    while (!run_ended_) {
        int c = std::fgetc(in);
        if (c == EOF || c == 0) {
            break;
        }
        if (++position >= text_end) {
            break;
        }
        if (c == kLiteralEscape) {
            // The next byte goes into the document as it is: RTF of the
            // user's own. A terminator or the end of the file ends the text.
            int literal = std::fgetc(in);
            if (literal == EOF || literal == 0) {
                break;
            }
            ++position;
            write_literal(literal, out);
            continue;
        }
        if (c != '\r') {
            rtf_emit_char(c, in, out);
            if (c == kMarkupCommand) {
                position = vf_tell(in);
            }
            continue;
        }
        rtf_write(out, "\\par%s", section_pending_ ? "\\sect\\sbknone\n" : "\n");
        section_pending_ = false;
        if (kind_ != Kind::String) {
            write_line_start(in, out);
            position = vf_tell(in);
        }
    }
}

void RtfWriter::write_line_start(std::FILE* in, std::FILE* out) {
    int line_start = std::fgetc(in);
    switch (line_start) {
        case ' ':
            if (settings_.keep_colons) {
                rtf_write(out, kColonMarker);
            }
            return;
        case 'C':
            rtf_put('C', out);
            rtf_put(':', out);
            return;
        case '\f':
            write_page_break(out);
            return;
        case 'P':
            if (kind_ == Kind::LabReport) {
                write_reference(in, out);
            } else {
                rtf_put('P', out);
                rtf_put(':', out);
            }
            return;
        default:
            // No line-start byte: the byte is the line's first character.
            std::ungetc(line_start, in);
            return;
    }
}

void RtfWriter::write_page_break(std::FILE* out) {
    rtf_close_run(out);
    rtf_write(out, kPageBreak, settings_.keep_colons ? kColonMarker : "");
}

}  // namespace varkit

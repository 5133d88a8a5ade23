// The document writer of Quillcast: turns the TEXT, STR or lab report of a
// calculator variable file into a Rich Text Format document.
//
// The writer reads the variable file through an open binary stream and writes
// the document to an open output stream. Running text always stands inside a
// run group, "\n{\secd\pard\plain " ... "}", at most one open at a time; the
// markup commands of the calculator text switch format toggles that live and
// die with that group. A lab report's "P" lines name a STR or PIC of the same
// file, which is written into the document in the line's place.
//
// Line feeds are written as single LF bytes on every platform, so the same
// variable always gives the same document bytes (RTF readers take LF and
// CR LF alike).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "varfile/container.h"

namespace varkit {

// What the command line and the font dialog decide for a document.
struct RtfSettings {
    // The line-start markers of plain lines (" :") are written too.
    bool keep_colons = false;
    // The font number written as the document's default font.
    int default_font = 0;
    // One more font table entry, font 6 (see rtf_font_entry); empty for none.
    std::string extra_font_entry;
    // The Unicode document: one monospace font for the whole document, and
    // characters above 127 and the calculator symbols among the control codes
    // as RTF Unicode escapes in the running text, so the document reads right
    // without the calculator font.
    bool unicode = false;
    // Pictures go into the document without passing through the clipboard.
    bool no_clipboard = false;
};

// The largest document written, a thousand times any real report: a lab
// report can name one large string or picture thousands of times, and a
// document that grows past this ends the run.
inline constexpr long kLargestDocument = 64L << 20;

// The font number the extra font table entry carries.
inline constexpr int kExtraFontNumber = 6;

// The font table entry for a named font: "{\f6\fnil\fcharset0\fprq2 name;}",
// the name escaped so that no name can break the table.
std::string rtf_font_entry(std::string_view face_name);

// Text for an RTF document: '\', '{' and '}' escaped, control bytes and bytes
// above 127 written as \'xx, so names from a variable file or a command line
// can never break the document's groups.
std::string rtf_escape_text(std::string_view text);

// A calculator character that has a character of its own, as the Unicode
// document writes it: each character as \uN (a signed UTF-16 unit, so a
// character beyond U+FFFF takes two) with the code's ASCII spelling for
// readers without Unicode ("\uc2\u8594 ->"); an ASCII character that begins
// the spelling stands as itself (the x of x-bar).
std::string rtf_unicode_character(std::uint8_t calculator_code);

// The code point under which a calculator character is drawn in the
// calculator font of the document.
std::uint8_t rtf_font_code(std::uint8_t calculator_code);

// The calculator characters that are drawn in Courier New (font 1) because
// their own code point carries another character in the calculator font.
bool rtf_in_second_font(std::uint8_t calculator_code);

// Where a lab report's reference leads.
struct RtfReference {
    bool found = false;
    std::uint8_t type_code = 0;
    std::uint32_t data_offset = 0;  // the variable's data block: 4 reserved bytes, length, data
    std::uint32_t end_offset = 0;   // the next data block, or the file size
};

class RtfWriter {
  public:
    // Messages of failed embeddings and of unsupported types go to rt.err;
    // pictures travel through rt.platform.
    RtfWriter(RtfSettings settings, Runtime& rt);

    // Writes the whole document for the file's converted variable: the first
    // entry that is no folder. 1 when a document was written; 0 when the type
    // is not supported (nothing written then) or the run was ended on the way
    // (see run_ended()), as by a document larger than kLargestDocument.
    int rtf_convert(std::int32_t calculator_code, std::FILE* in, std::FILE* out);

    // Writes one calculator character, code 1 to 255; a markup command (0x7F)
    // reads its letter and any operand from `in`. Always 1.
    int rtf_emit_char(int code, std::FILE* in, std::FILE* out);

    // Opens a run group if none is open, then writes `format` with `argument`
    // in place of its one "%s". Neither is ever read as a printf format.
    void rtf_write(std::FILE* out, std::string_view format, std::string_view argument = {});

    // Opens a run group if none is open, then writes the byte unchanged.
    void rtf_put(int byte, std::FILE* out);

    // Closes the open run group and switches every format toggle off. 1 if a
    // group was closed, 0 if none was open.
    int rtf_close_run(std::FILE* out);

    // Looks a lab report's reference up in the file's entry table. Moves the
    // current folder to the last folder entry a scan of the table up to the
    // match (or through the whole table) passes. The table is read from `in`
    // on the first lookup of a document and kept for the rest of it, so a
    // report's lookups cost no more than one pass over the table however many
    // references it holds.
    RtfReference rtf_resolve_reference(std::FILE* in, std::string_view folder,
                                       std::string_view name);

    // Writes the STR whose first data byte (its leading zero) is at the input
    // position as a section of its own, taking at most `byte_limit`
    // characters. 1 if at least one character was written, else 0.
    int rtf_embed_string(std::FILE* in, std::FILE* out, long long byte_limit);

    // Writes the picture whose first data byte (its rows word) is at the input
    // position as an RTF picture group in a section of its own. The bitmap
    // travels through the clipboard, which keeps it afterwards, unless the
    // settings leave the clipboard alone. 1 if the picture group was written,
    // else 0.
    int rtf_embed_picture(std::FILE* in, std::FILE* out);

    // True once a failure has ended the program's run: the document is
    // unfinished and must be thrown away.
    bool run_ended() const { return run_ended_; }

    // True once an error line was printed, also where the document went on
    // without the part that failed (a picture written as its reference).
    bool failure_reported() const { return failure_reported_; }

  private:
    enum class Kind { Text, String, LabReport };

    struct ConvertedVariable {
        EntryRecord entry;              // its trailing value is the data end
        std::uint32_t data_offset = 0;  // the value before its name in the table
    };

    // The entry table as references look it up: each (folder, name) pair,
    // letters folded and cut to 8 characters, leads to its first entry and
    // the folder text in force there.
    struct ReferenceTarget {
        RtfReference reference;
        std::string folder;
    };
    struct EntryTable {
        std::map<std::pair<std::string, std::string>, ReferenceTarget> first_entries;
        std::string last_folder;  // where a scan through the whole table leaves the folder
    };

    ConvertedVariable find_converted_variable(std::FILE* in);
    static EntryTable read_entry_table(std::FILE* in);

    void report(const char* message);
    void open_run(std::FILE* out);
    void write_font_table(std::FILE* out) const;
    void write_prolog(std::int32_t calculator_code, std::uint8_t type_code,
                      std::string_view variable_name, std::FILE* out);
    void write_first_line(std::FILE* in, std::FILE* out);
    void write_body(long long data_end, std::FILE* in, std::FILE* out);
    void write_line_start(std::FILE* in, std::FILE* out);
    void write_page_break(std::FILE* out);
    void write_markup(std::FILE* in, std::FILE* out);
    void write_operand_markup(int letter, std::FILE* in, std::FILE* out);
    void write_high_char(std::uint8_t code, std::FILE* out);
    bool written_as_unicode(std::uint8_t code) const;
    std::string escaped_name(std::string_view name) const;
    void write_literal(int byte, std::FILE* out);
    void settle_control_word(int next, std::FILE* out);
    void write_reference(std::FILE* in, std::FILE* out);
    void check_document_size(std::FILE* out);
    bool embed_reference(const RtfReference& reference, std::FILE* in, std::FILE* out);
    bool place_on_clipboard(const DeviceBitmap& bitmap);
    std::optional<std::vector<std::uint8_t>> dib_through_clipboard(const DeviceBitmap& bitmap);

    RtfSettings settings_;
    Runtime& rt_;
    Kind kind_ = Kind::Text;
    std::string current_folder_;             // the folder a reference without one names
    std::optional<EntryTable> entry_table_;  // read on the document's first lookup
    bool run_open_ = false;
    bool section_pending_ = false;
    bool run_ended_ = false;
    bool failure_reported_ = false;
    std::array<bool, 128> format_toggles_{};  // indexed by the toggle's letter
    // The user's own RTF from literal escapes: a backslash waits for the
    // word or symbol it begins, and groups it opened close with the run.
    bool control_pending_ = false;
    std::string control_word_;
    int literal_groups_ = 0;
};

}  // namespace varkit

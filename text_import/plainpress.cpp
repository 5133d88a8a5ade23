#include "text_import/plainpress.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charset/charset.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr std::string_view kUsageHead =
    "Copies the text from the clipboard or a text file to a TI[89,92,92+] STR or\n"
    "TEXT file.\n"
    "\n"
    "%s  \"TI file\" [\"text file\"] [/N name] [/F folder] [/C \"quoted text\"]\n"
    "\n";
constexpr std::string_view kUsage[] = {kUsageHead, kNamingUsageLines, "\n"};

// Every byte of the plain text gives at least one byte of the variable's text
// per four (an escape is the densest), so text beyond this many bytes can
// only end in a variable too long for its 16-bit data length; reading stops
// here.
constexpr std::size_t kPlainTextReadLimit = 4 * 65536;

// A text file's characters the calculator lacks are each named, up to this
// many lines; a count tells of the rest.
constexpr std::size_t kNamedRefusals = 20;

struct Options {
    std::optional<std::string> output_file;
    std::optional<std::string> text_file;
    NamingOptions naming;
    // --bytes, --utf8: the text file's form, else the locale's.
    std::optional<CharacterForm> form;
    // --approximate: a Unicode text file's characters the calculator lacks
    // are stored as the nearest ones it has.
    bool approximate = false;
};

// The first name is the output file, the second the text file.
bool take_file_name(Options& options, const char* name) {
    if (!options.output_file) {
        options.output_file = name;
    } else if (!options.text_file) {
        options.text_file = name;
    } else {
        return false;
    }
    return true;
}

constexpr auto kFormOptions =
    character_form_rows<Options>("read the text file as the calculator's bytes",
                                 "read the text file as UTF-8 (default in a UTF-8 locale)");
constexpr auto kOwnOptions = std::to_array<Option<Options>>({
    {flag_option("approximate", "store the nearest calculator character for one it lacks"),
     turn_on<&Options::approximate>},
});
constexpr auto kOptions =
    join_rows(join_rows(naming_switches<Options>(), kFormOptions), kOwnOptions);

constexpr CommandLineTable<Options> kCommandLine{
    .help = {.name = "Plainpress",
             .version = "v1.2",
             .usage = kUsage,
             .formats = "Reads:  plain text from a text file or the clipboard\n"
                        "Writes: TEXT (.89t .92t .9xt) and STR (.89s .92s .9xs) variables\n"},
    .rules = {.usage_without_arguments = false, .standard_stream = false},
    .options = kOptions,
    .take_file_name = take_file_name,
    .check = nullptr,
};

// The last character of the output name, in either case: t TEXT, s STR.
std::optional<TextLayout> layout_for(std::string_view output_path) {
    char last = output_path.empty() ? '\0' : output_path.back();
    if (last == 't' || last == 'T') {
        return TextLayout::Text;
    }
    if (last == 's' || last == 'S') {
        return TextLayout::String;
    }
    return std::nullopt;
}

// The text is what comes before the file's first zero byte; nothing when
// the file cannot be read.
std::optional<std::string> read_plain_text(std::FILE* file) {
    std::string plain;
    std::array<char, 4096> block;
    while (plain.size() < kPlainTextReadLimit) {
        std::size_t wanted = std::min(block.size(), kPlainTextReadLimit - plain.size());
        std::size_t got = std::fread(block.data(), 1, wanted, file);
        std::string_view read(block.data(), got);
        std::size_t zero = read.find('\0');
        plain.append(read.substr(0, zero));
        if (zero != std::string_view::npos || got < wanted) {
            break;
        }
    }
    if (std::ferror(file)) {
        return std::nullopt;
    }
    return plain;
}

// The clipboard's CF_TEXT, or nothing after the failure line.
std::optional<std::string> read_clipboard_text(Runtime& rt) {
    Platform& clipboard = rt.platform;
    if (!clipboard.clipboard_open()) {
        std::fputs("Error: Unable to open clipboard.\n", rt.err);
        return std::nullopt;
    }
    ClipboardText got = clipboard.clipboard_get_text();
    std::optional<std::string>& text = got.text;
    if (got.lacking) {
        std::fprintf(rt.err, "Error: \"%s\" has no calculator character.\n",
                     shown_character(*got.lacking).c_str());
    } else if (!text) {
        std::fputs("Error: Unable to get clipboard data.\n", rt.err);
    } else if (text->size() > kPlainTextReadLimit) {
        // Beyond the limit a text can only be too long; converting all of it
        // would cost memory and tell nothing more.
        text->resize(kPlainTextReadLimit);
    }
    clipboard.clipboard_close();
    return text;
}

// One line for each character the calculator lacks, up to a limit, then
// how many more there are.
void report_refusals(const std::vector<UnicodeRefusal>& refused, std::FILE* err) {
    for (std::size_t i = 0; i < refused.size() && i < kNamedRefusals; ++i) {
        std::fprintf(err, "Error: \"%s\" (line %zu) has no calculator character.\n",
                     shown_character(refused[i].character).c_str(), refused[i].line);
    }
    if (refused.size() > kNamedRefusals) {
        std::size_t more = refused.size() - kNamedRefusals;
        std::fprintf(err, "Error: %zu more %s no calculator character.\n", more,
                     more == 1 ? "character has" : "characters have");
    }
}

// A Unicode text file's text in calculator codes, or nothing after the lines
// that name the characters the calculator lacks. A file that is not UTF-8 is
// read as the calculator's bytes, as earlier versions and the original
// programs wrote it.
std::optional<std::string> read_unicode_text(const std::string& bytes, const Options& options,
                                             Runtime& rt) {
    std::optional<std::u32string> characters = utf32_from_utf8(bytes);
    if (!characters) {
        std::fprintf(rt.err,
                     "Note: %s is not UTF-8; its bytes are read as calculator characters.\n",
                     options.text_file->c_str());
        return bytes;
    }
    PlainTextFromUnicode converted = plain_text_from_unicode_file(
        *characters, options.approximate ? Lacking::Approximate : Lacking::Refuse);
    if (!converted.refused.empty()) {
        report_refusals(converted.refused, rt.err);
        return std::nullopt;
    }
    if (std::size_t count = converted.approximated) {
        std::fprintf(rt.err, "Note: %zu %s stored as the nearest calculator %s.\n", count,
                     count == 1 ? "character was" : "characters were",
                     count == 1 ? "character" : "characters");
    }
    return std::move(converted.plain);
}

// The text from the text file when it is open, else from the clipboard. A
// text file without text makes no variable.
std::optional<std::string> read_text(std::FILE* text_file, const Options& options, Runtime& rt) {
    if (text_file == nullptr) {
        // The clipboard stands in for a named text file that could not be
        // opened only to make a new file, never to replace one: a mistyped
        // name must not cost the user an existing variable.
        if (options.text_file && path_taken(options.output_file->c_str())) {
            std::fprintf(rt.err, "Error: %s was not replaced: its text file could not be opened.\n",
                         options.output_file->c_str());
            return std::nullopt;
        }
        return read_clipboard_text(rt);
    }
    std::optional<std::string> plain = read_plain_text(text_file);
    if (!plain) {
        std::fprintf(rt.err, "Error: Can't read %s.\n", options.text_file->c_str());
        return std::nullopt;
    }
    if (plain->empty()) {
        std::fprintf(rt.err, "Error: No text in %s.\n", options.text_file->c_str());
        return std::nullopt;
    }
    if (form_or_locale(options.form) == CharacterForm::Unicode) {
        return read_unicode_text(*plain, options, rt);
    }
    return plain;
}

VarHeader new_header(const char* signature, TextLayout layout, std::size_t data_length,
                     const Options& options) {
    VarHeader header = new_variable_header(signature, type_code_of(layout),
                                           static_cast<std::uint16_t>(data_length));
    const char* input_name = options.text_file ? options.text_file->c_str() : nullptr;
    fill_header_names(header, options.naming, input_name, *options.output_file);
    return header;
}

// Header, data, then the checksum over what was written, appended at the end.
bool write_variable(const VarHeader& header, const std::vector<std::uint8_t>& data,
                    std::FILE* file) {
    return vf_write_header(&header, file) == 1 &&
           std::fwrite(data.data(), 1, data.size(), file) == data.size() && append_checksum(file);
}

bool write_variable_file(const char* signature, TextLayout layout, const std::string& text,
                         const Options& options, Runtime& rt) {
    const std::string& path = *options.output_file;
    std::vector<std::uint8_t> data = text_variable_data(layout, text);
    OutputFile output(path);
    if (!output.open()) {
        std::fprintf(rt.err, "Can't open %s.\n", path.c_str());
        return false;
    }
    if (!write_variable(new_header(signature, layout, data.size(), options), data,
                        output.stream()) ||
        !output.commit()) {
        std::fprintf(rt.err, "Error: Can't write %s.\n", path.c_str());
        return false;
    }
    return true;
}

// Calculator and type from the output name, the text, its conversion, the
// file. Nothing is written unless the whole variable fits.
bool build_variable_file(std::FILE* text_file, const Options& options, Runtime& rt) {
    std::string_view output_path = *options.output_file;
    const char* signature = signature_for_file_name(output_path, "");
    if (signature == nullptr) {
        std::fputs("Error: File type not supported.\n", rt.err);
        return false;
    }
    std::optional<TextLayout> layout = layout_for(output_path);
    if (!layout) {
        std::fputs("Error: TI file must be TEXT (.??t) or STR (.??s).\n", rt.err);
        return false;
    }
    if (!check_default_name(options.naming, output_path, rt.err)) {
        return false;
    }
    std::optional<std::string> plain = read_text(text_file, options, rt);
    if (!plain) {
        return false;
    }
    std::string text = variable_text_from_plain(*layout, *plain);
    if (text.size() > max_variable_text(*layout)) {
        std::fprintf(rt.err, "Error: Text too long: a %s holds at most %zu bytes.\n",
                     *layout == TextLayout::Text ? "TEXT" : "STR", max_variable_text(*layout));
        return false;
    }
    return write_variable_file(signature, *layout, text, options, rt);
}

}  // namespace

int plainpress_main(int argc, char** argv, Runtime& rt) {
    Options options;
    ParsedCommandLine parsed = parse_command_line(argc, argv, kCommandLine, options);
    if (std::optional<int> status =
            answer_command_line(parsed, syntax_of(kCommandLine), rt.out, rt.err)) {
        return *status;
    }
    // Without any argument the run goes on with an empty output name, which
    // names no calculator.
    if (!options.output_file) {
        options.output_file.emplace();
    }

    // A refused name or folder, or a text file that cannot be opened, is
    // reported and the run goes on; the status still tells of it.
    bool failed = !parsed.refusals.empty();
    FilePtr text_file;
    if (options.text_file) {
        text_file = open_existing_file(options.text_file->c_str(), false);
        if (!text_file) {
            // The clipboard supplies the text instead, for a new file only.
            std::fprintf(rt.err, "Error: can't open input file %s.\n", options.text_file->c_str());
            failed = true;
        }
    }
    if (!build_variable_file(text_file.get(), options, rt)) {
        return 1;
    }
    std::fputs("Done!\n", rt.err);
    return failed ? 1 : 0;
}

CommandLineSyntax plainpress_command_line() {
    return syntax_of(kCommandLine);
}

}  // namespace varkit

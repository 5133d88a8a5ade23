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

struct Options {
    std::optional<std::string> output_file;
    std::optional<std::string> text_file;
    NamingOptions naming;
    // --utf8: the text file is UTF-8, read through the character table.
    bool utf8_file = false;
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

constexpr auto kOwnOptions = std::to_array<Option<Options>>({
    {flag_option("utf8", "read the text file as UTF-8"), turn_on<&Options::utf8_file>},
});
constexpr auto kOptions = join_rows(naming_switches<Options>(), kOwnOptions);

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
    std::optional<std::string> text = clipboard.clipboard_get_text();
    if (!text) {
        std::fputs("Error: Unable to get clipboard data.\n", rt.err);
    } else if (text->size() > kPlainTextReadLimit) {
        // Beyond the limit a text can only be too long; converting all of it
        // would cost memory and tell nothing more.
        text->resize(kPlainTextReadLimit);
    }
    clipboard.clipboard_close();
    return text;
}

// A UTF-8 text file's text in calculator codes, or nothing after the line
// that names the first character the calculator lacks.
std::optional<std::string> plain_text_from_utf8_file(const std::string& utf8, Runtime& rt) {
    PlainTextFromUtf8 converted = plain_text_from_utf8(utf8);
    if (const std::optional<UnicodeRefusal>& refusal = converted.refusal) {
        if (refusal->not_utf8) {
            std::fprintf(rt.err, "Error: The byte %s (line %zu) is not UTF-8.\n",
                         refusal->shown.c_str(), refusal->line);
        } else {
            std::fprintf(rt.err, "Error: \"%s\" (line %zu) has no calculator character.\n",
                         refusal->shown.c_str(), refusal->line);
        }
        return std::nullopt;
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
    return options.utf8_file ? plain_text_from_utf8_file(*plain, rt) : plain;
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

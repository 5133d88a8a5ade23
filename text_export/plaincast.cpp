#include "text_export/plaincast.h"

#include <optional>
#include <string>

#include "charset/charset.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr char kVersion[] = "v1.1";
constexpr char kUsage[] =
    "Copies the text from TI[89,92,92+] STR and TEXT files to the clipboard and an\n"
    "optional text file.\n"
    "\n"
    "%s  \"TI file\" [\"text file\"] [/S]\n"
    "\n"
    "  /S     Show the text in the console.\n"
    "\n";

// How the plain text is spelt where it goes: the calculator's own bytes,
// UTF-8 through the character table, or the one-way ASCII approximation.
enum class Spelling { Bytes, Utf8, Ascii };

struct Options {
    std::string variable_file;
    std::optional<std::string> text_file;
    bool show = false;
    // --utf8 and --ascii: the text file's spelling; --ascii also spells the
    // clipboard text and the console text.
    Spelling file_spelling = Spelling::Bytes;
    std::optional<std::string> member;  // --member=NAME
};

// --utf8 and --ascii, without a value, at most one of them; --member=NAME.
CommandLine take_long_option(const LongOption& option, Options& options) {
    if (std::optional<CommandLine> taken = member_option(option, options.member)) {
        return *taken;
    }
    bool utf8 = option.name == "utf8";
    if ((!utf8 && option.name != "ascii") || option.value) {
        return common_long_option(option);
    }
    Spelling wanted = utf8 ? Spelling::Utf8 : Spelling::Ascii;
    if (options.file_spelling != Spelling::Bytes && options.file_spelling != wanted) {
        return CommandLine::Bad;
    }
    options.file_spelling = wanted;
    return CommandLine::Run;
}

std::string spelt(const std::string& plain, Spelling spelling) {
    switch (spelling) {
        case Spelling::Utf8:
            return utf8_from_plain_text(plain);
        case Spelling::Ascii:
            return ascii_from_plain_text(plain);
        case Spelling::Bytes:
            break;
    }
    return plain;
}

// The console follows its locale, as a UTF-8 terminal shows → only from
// UTF-8; asked for ASCII, it gets ASCII.
Spelling console_spelling(const Options& options) {
    if (options.file_spelling == Spelling::Ascii) {
        return Spelling::Ascii;
    }
    return console_uses_utf8() ? Spelling::Utf8 : Spelling::Bytes;
}

CommandLine parse_command_line(int argc, char** argv, Options& options) {
    if (argc < 2) {
        return CommandLine::Bad;
    }
    bool have_variable_file = false;
    Arguments args(argc, argv);
    while (!args.done()) {
        const char* argument = args.next();
        if (args.is_long_option(argument)) {
            CommandLine asked = take_long_option(split_long_option(argument), options);
            if (asked != CommandLine::Run) {
                return asked;
            }
            continue;
        }
        if (args.is_switch(argument)) {
            char letter = switch_letter(argument);
            if (letter == 'S') {
                options.show = true;
            } else {
                return letter == '?' ? CommandLine::Help : CommandLine::Bad;
            }
        } else if (!have_variable_file) {
            // An empty argument does not take the variable file's place.
            if (argument[0] != '\0') {
                options.variable_file = argument;
                have_variable_file = true;
            }
        } else if (!options.text_file) {
            options.text_file = argument;
        } else {
            return CommandLine::Bad;
        }
    }
    return CommandLine::Run;
}

// TI-89, TI-92 and TI-92 Plus files: model number 89 or 92, format word 1.
bool is_supported_calculator(std::FILE* file) {
    unsigned model = vf_model_number(vf_calculator_code(file));
    return (model == 89 || model == 92) && vf_format_word(file) == 1;
}

// Open, empty, set, close; each failure prints its line and ends the
// clipboard step. The text is shown only once the clipboard has taken it.
bool copy_to_clipboard(const std::string& plain, const std::string& shown, bool show, Runtime& rt) {
    Platform& clipboard = rt.platform;
    if (!clipboard.clipboard_open()) {
        std::fputs("Error: Unable to open clipboard.\n", rt.err);
        return false;
    }
    bool copied = false;
    if (!clipboard.clipboard_empty()) {
        std::fputs("Error: Unable to empty clipboard.\n", rt.err);
    } else if (!clipboard.clipboard_set_text(plain)) {
        std::fputs("Error: Unable to set clipboard data.\n", rt.err);
    } else {
        if (show) {
            std::fwrite(shown.data(), 1, shown.size(), rt.out);
            std::fputc('\n', rt.out);
        }
        std::fputs("Text copied to clipboard.\n", rt.err);
        copied = true;
    }
    clipboard.clipboard_close();
    return copied;
}

// The text file receives the plain text byte for byte, without a terminator;
// an existing file is replaced only by a complete one.
bool write_text_file(const std::string& plain, const std::string& path, Runtime& rt) {
    OutputFile output(path);
    bool written = output.open() &&
                   std::fwrite(plain.data(), 1, plain.size(), output.stream()) == plain.size() &&
                   output.commit();
    if (written) {
        std::fprintf(rt.err, "Text written to %s.\n", path.c_str());
    } else {
        std::fprintf(rt.err, "Can't create %s, use clipboard.\n", path.c_str());
    }
    return written;
}

// The clipboard step and the text file step run independently: a failed
// clipboard still writes the text file.
bool export_text(TextLayout layout, const VariableInput& input, const Options& options,
                 Runtime& rt) {
    std::string text = read_variable_text(layout, input.stream());
    if (std::ferror(input.stream())) {
        std::fprintf(rt.err, "Error: Can't read %s.\n", input.name().c_str());
        return false;
    }
    std::string plain = plain_text_from_variable(layout, text);
    Spelling clipboard_spelling =
        options.file_spelling == Spelling::Ascii ? Spelling::Ascii : Spelling::Bytes;
    bool copied = copy_to_clipboard(spelt(plain, clipboard_spelling),
                                    spelt(plain, console_spelling(options)), options.show, rt);
    bool written = !options.text_file ||
                   write_text_file(spelt(plain, options.file_spelling), *options.text_file, rt);
    return copied && written;
}

}  // namespace

int plaincast_main(int argc, char** argv, Runtime& rt) {
    Options options;
    if (std::optional<int> status = answer_command_line(parse_command_line(argc, argv, options),
                                                        rt.out, "Plaincast", kVersion, kUsage)) {
        return *status;
    }

    VariableInput input;
    if (!input_opened(input.open(options.variable_file, options.member, false),
                      options.variable_file, input.refusal(), kInputMessages, rt.err)) {
        return 1;
    }
    std::FILE* file = input.stream();
    bool supported = is_supported_calculator(file);
    // A file too short to hold a type code reads as zeros: type 0 is no text.
    VarHeader header;
    vf_read_header(&header, file);
    if (std::ferror(file)) {
        std::fprintf(rt.err, "Error: Can't read %s.\n", input.name().c_str());
        return 1;
    }
    if (!supported) {
        std::fputs("Error: File type not supported.\n", rt.err);
        return 1;
    }
    std::optional<TextLayout> layout = text_layout_of(header.type_code);
    bool exported = false;
    if (!layout) {
        std::fputs("Error: File type not supported.\n", rt.err);
    } else {
        exported = export_text(*layout, input, options, rt);
    }
    std::fputc('\n', rt.out);
    return exported ? 0 : 1;
}

}  // namespace varkit

#include "text_export/plaincast.h"

#include <optional>
#include <string>

#include "charset/charset.h"
#include "varfile/host.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr std::string_view kUsage[] = {
    "Copies the text from TI[89,92,92+] STR and TEXT files to the clipboard and an\n"
    "optional text file.\n"
    "\n"
    "%s  \"TI file\" [\"text file\"] [/S]\n"
    "\n"
    "  /S     Show the text in the console.\n"
    "\n"};

struct Options {
    std::string variable_file;
    std::optional<std::string> text_file;
    bool show = false;
    // --bytes, --utf8, --ascii: the text file's form, else the locale's;
    // --ascii also spells the clipboard text and the console text.
    std::optional<CharacterForm> form;
    bool no_clipboard = false;
    std::optional<std::string> member;  // --member=NAME
};

// The first non-empty name is the variable file, the next the text file.
bool take_file_name(Options& options, const char* name) {
    if (options.variable_file.empty()) {
        options.variable_file = name;
    } else if (!options.text_file) {
        options.text_file = name;
    } else {
        return false;
    }
    return true;
}

using Value = const OptionValue&;

constexpr auto kShowSwitch = std::to_array<Option<Options>>({
    {flag_switch('S', "show the text on standard output"), turn_on<&Options::show>},
});
constexpr auto kFormOptions =
    character_form_rows<Options>("write the text file as the calculator's bytes",
                                 "write the text file in UTF-8 (default in a UTF-8 locale)");
constexpr auto kOwnOptions = std::to_array<Option<Options>>({
    {flag_option("ascii", "write ASCII stand-ins (5->x, pi) everywhere"),
     [](Options& options, Value) { return choose_form(options.form, CharacterForm::Ascii); }},
    {flag_option("no-clipboard", "leave the clipboard as it is"), turn_on<&Options::no_clipboard>},
    member_row<Options>(),
});
constexpr auto kOptions = join_rows(join_rows(kShowSwitch, kFormOptions), kOwnOptions);

constexpr CommandLineTable<Options> kCommandLine{
    .help = {.name = "Plaincast",
             .version = "v1.1",
             .usage = kUsage,
             .formats = "Reads:  TEXT and STR variables (.89t .92t .9xt, .89s .92s .9xs), also\n"
                        "        inside group files (--member)\n"
                        "Writes: plain text to the clipboard, a text file and the console (/S)\n"},
    .rules = {.usage_without_arguments = true, .standard_stream = false},
    .options = kOptions,
    .take_file_name = take_file_name,
    .check = nullptr,
};

// The plain text spelt in a form, its CR LF line ends kept.
std::string spelt(const std::string& plain, CharacterForm form) {
    switch (form) {
        case CharacterForm::Unicode:
            return utf8_from_plain_text(plain);
        case CharacterForm::Ascii:
            return ascii_from_plain_text(plain);
        case CharacterForm::Bytes:
            break;
    }
    return plain;
}

// A Unicode text file is the desktop's own: its lines end as the system's
// text files end them (a line feed, CR LF on Windows), the last one too.
struct TextFile {
    std::string contents;
    bool system_line_ends = false;
};

TextFile text_file_of(const std::string& plain, CharacterForm form) {
    if (form == CharacterForm::Unicode) {
        return {unicode_file_from_plain_text(plain), true};
    }
    return {spelt(plain, form), false};
}

// The console follows its locale, as a UTF-8 terminal shows → only from
// UTF-8 (a Windows console window shows it whatever its code page); asked
// for ASCII, it gets ASCII.
CharacterForm console_form(const Options& options, std::FILE* console) {
    if (options.form == CharacterForm::Ascii) {
        return CharacterForm::Ascii;
    }
    return console_shows_unicode(console) ? CharacterForm::Unicode : CharacterForm::Bytes;
}

// TI-89, TI-92 and TI-92 Plus files: model number 89 or 92, format word 1.
bool is_supported_calculator(std::FILE* file) {
    unsigned model = vf_model_number(vf_calculator_code(file));
    return (model == 89 || model == 92) && vf_format_word(file) == 1;
}

void show_text(const std::string& shown, std::FILE* out) {
    write_console_text(out, shown);
    std::fputc('\n', out);
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
            show_text(shown, rt.out);
        }
        std::fputs("Text copied to clipboard.\n", rt.err);
        copied = true;
    }
    clipboard.clipboard_close();
    return copied;
}

// The text file receives its contents without a terminator; an existing
// file is replaced only by a complete one.
bool write_text_file(const TextFile& file, const std::string& path, Runtime& rt) {
    OutputFile output(path);
    bool opened = output.open();
    if (opened && file.system_line_ends) {
        write_system_line_ends(output.stream());
    }
    const std::string& contents = file.contents;
    bool written =
        opened &&
        std::fwrite(contents.data(), 1, contents.size(), output.stream()) == contents.size() &&
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
    // The clipboard takes the bytes; the desktop's Unicode targets spell them.
    CharacterForm clipboard_form =
        options.form == CharacterForm::Ascii ? CharacterForm::Ascii : CharacterForm::Bytes;
    const std::string shown = spelt(plain, console_form(options, rt.out));
    bool copied = true;
    if (!options.no_clipboard) {
        copied = copy_to_clipboard(spelt(plain, clipboard_form), shown, options.show, rt);
    } else if (options.show) {
        show_text(shown, rt.out);
    }
    bool written =
        !options.text_file ||
        write_text_file(text_file_of(plain, form_or_locale(options.form)), *options.text_file, rt);
    return copied && written;
}

}  // namespace

int plaincast_main(int argc, char** argv, Runtime& rt) {
    Options options;
    if (std::optional<int> status =
            answer_command_line(parse_command_line(argc, argv, kCommandLine, options),
                                syntax_of(kCommandLine), rt.out, rt.err)) {
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

CommandLineSyntax plaincast_command_line() {
    return syntax_of(kCommandLine);
}

}  // namespace varkit

#include "rich_export/quillcast.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

#include "rich_export/rtf_writer.h"
#include "varfile/host.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr char kProgramName[] = "Quillcast";
constexpr char kVersion[] = "0.2";

constexpr std::string_view kUsage[] = {
    "Copies the text from TI[89,92,92+] STR and TEXT files to the clipboard and an\n"
    "optional text file.\n"
    "\n"
    "%s  [\"TI file\"] [\"rtf file\"] [/:] [/F | /F# | /F \"FONT\"]\n"
    "\n"
    "TI File   A TI TEXT, STR, or lab report file. If this option is left blank a\n"
    "          Windows \"File Open\" dialog will be used.\n"
    "rtf File  A name to save the RTF file as. If this option is left blank a\n"
    "          Windows \"Save As\" dialog will be used.\n"
    "  /:      Leave colon at start of each line (default is to remove them).\n"
    "  /F      Use a Windows dialog to select a new font.\n"
    "  /F#     Change default font to one of the following:\n"
    "            0  Ti92Pluspc (default)\n"
    "            1  Courier New\n"
    "            2  Times New Roman\n"
    "            3  Signature\n"
    "            4  Comic Sans MS\n"
    "\n"
    "          Another font can be selected by placing its name after the /F switch.\n"
    "          Regardless of any font changes, all characters above ASCII 127 will\n"
    "          remain in the TI font.\n"};

// The font number that asks for the font dialog.
constexpr int kFontFromDialog = -1;

struct QuillcastOptions {
    std::string input_name;
    std::string output_name;
    RtfSettings rtf;
    // Dialogs are used: on unless an input is named, and again after a later /w.
    bool interactive = true;
    // The output was named on the command line or chosen in the save dialog.
    bool output_named = false;
    // --bytes, --utf8 (--unicode): the document's form, else the locale's.
    std::optional<CharacterForm> form;
    std::optional<std::string> member;  // --member=NAME
};

// The decimal number of the digits that begin `digits`, held at INT_MAX
// when it is larger.
int leading_number(const char* digits) {
    long long value = 0;
    for (; *digits >= '0' && *digits <= '9'; ++digits) {
        value = std::min<long long>(value * 10 + (*digits - '0'), INT_MAX);
    }
    return static_cast<int>(value);
}

// "/F3" names a font number, "/F Arial" a font by name, a lone "/F" asks for
// the font dialog.
Verdict take_font_switch(QuillcastOptions& options, const OptionValue& value) {
    RtfSettings& rtf = options.rtf;
    if (value.separate) {
        rtf.default_font = kExtraFontNumber;
        rtf.extra_font_entry = rtf_font_entry(value.text);
    } else if (!value.text.empty() && value.text[0] >= '0' && value.text[0] <= '9') {
        rtf.default_font = leading_number(value.text.data());
    } else {
        rtf.default_font = kFontFromDialog;
    }
    return {};
}

// The first file name is the input, the second the output; an empty first
// one is passed over. A third is a bad command line.
bool take_file_name(QuillcastOptions& options, const char* argument) {
    if (options.input_name.empty()) {
        if (argument[0] != '\0') {
            options.input_name = argument;
            options.interactive = false;
        }
        return true;
    }
    if (!options.output_named) {
        options.output_name = argument;
        options.output_named = true;
        return true;
    }
    return false;
}

// Without the clipboard a document can only go to a file; the save dialog
// may still name one.
Verdict check_options(const QuillcastOptions& options) {
    if (options.rtf.no_clipboard && !options.interactive && !options.output_named) {
        return Verdict::bad("Error: --no-clipboard needs an RTF file to write.");
    }
    return {};
}

using Value = const OptionValue&;

constexpr auto kSwitches = std::to_array<Option<QuillcastOptions>>({
    {flag_switch(':', "keep the colon at the start of each line"),
     [](QuillcastOptions& options, Value) {
         options.rtf.keep_colons = true;
         return Verdict{};
     }},
    {value_switch('F', Takes::NumberOrWord, "font",
                  "default font 0 to 4, a font by name, or the font dialog"),
     take_font_switch},
    {flag_switch('W', "ask for the files and the font through dialogs"),
     turn_on<&QuillcastOptions::interactive>},
});
constexpr auto kFormOptions = character_form_rows<QuillcastOptions>(
    "write the calculator's bytes in its own font, as before",
    "write Unicode in a monospace font (default in a UTF-8 locale)");
constexpr auto kOwnOptions = std::to_array<Option<QuillcastOptions>>({
    {flag_option("unicode", "the same as --utf8"),
     [](QuillcastOptions& options, Value) {
         return choose_form(options.form, CharacterForm::Unicode);
     }},
    {flag_option("no-clipboard", "leave the clipboard as it is (needs an RTF file)"),
     [](QuillcastOptions& options, Value) {
         options.rtf.no_clipboard = true;
         return Verdict{};
     }},
    member_row<QuillcastOptions>(),
});
constexpr auto kOptions = join_rows(join_rows(kSwitches, kFormOptions), kOwnOptions);

constexpr CommandLineTable<QuillcastOptions> kCommandLine{
    .help = {.name = kProgramName,
             .version = kVersion,
             .usage = kUsage,
             .formats = "Reads:  TEXT, STR and lab report variables (.89t .89s .89r, .92?, .9x?),\n"
                        "        also inside group files (--member)\n"
                        "Writes: RTF documents: a file or the clipboard\n"},
    .rules = {.usage_without_arguments = false, .standard_stream = false},
    .options = kOptions,
    .take_file_name = take_file_name,
    .check = check_options,
};

FileDialog open_dialog(const std::string& input_name) {
    return FileDialog{"TI-89, 92, or 92 Plus file to convert",
                      {{"Lab Report", "*.89R;*.92R;*.9xR"},
                       {"TEXT var", "*.89T;*.92T;*.9xT"},
                       {"STR var", "*.89S;*.92S;*.9xS"}},
                      "",
                      input_name};
}

FileDialog save_dialog(const std::string& output_name) {
    return FileDialog{
        "Save As (Rich Text Format)", {{"Rich Text Format", "*.rtf"}}, "rtf", output_name};
}

// Every dialog opens after the desktop's default sound. False when the open
// dialog was cancelled: the run ends without a word.
bool choose_files(QuillcastOptions& options, Platform& platform) {
    if (!options.interactive) {
        return true;
    }
    if (options.input_name.empty()) {
        platform.play_default_sound();
        std::optional<std::string> input = platform.open_file_dialog(open_dialog(""));
        if (!input || input->empty()) {
            return false;
        }
        options.input_name = *input;
    }
    if (!options.output_named) {
        platform.play_default_sound();
        std::optional<std::string> output = platform.save_file_dialog(save_dialog(""));
        if (output && !output->empty()) {
            options.output_name = *output;
            options.output_named = true;
        }
    }
    return true;
}

// A cancelled font dialog leaves font 6 with an empty name.
void choose_font(RtfSettings& rtf, Platform& platform) {
    platform.play_default_sound();
    std::optional<std::string> face = platform.font_dialog();
    rtf.default_font = kExtraFontNumber;
    rtf.extra_font_entry = rtf_font_entry(face.value_or(""));
}

// A document can be written whole although a part of it failed and said so
// (a picture written as its reference): it is delivered, and the run fails.
enum class Conversion { Written, WrittenWithErrors, Failed, RunEnded };

bool is_written(Conversion conversion) {
    return conversion == Conversion::Written || conversion == Conversion::WrittenWithErrors;
}

// Checks that the input is a TI-89, TI-92 or TI-92 Plus variable file and
// writes its document to `out`.
Conversion convert_input(std::FILE* in, std::FILE* out, const RtfSettings& rtf, Runtime& rt) {
    const std::int32_t code = vf_calculator_code(in);
    const unsigned model = vf_model_number(code);
    if ((model != 89 && model != 92) || vf_format_word(in) != 1) {
        std::fputs("Error: File type not supported.\n", rt.err);
        return Conversion::Failed;
    }
    RtfWriter writer(rtf, rt);
    if (writer.rtf_convert(code, in, out) == 1) {
        return writer.failure_reported() ? Conversion::WrittenWithErrors : Conversion::Written;
    }
    return writer.run_ended() ? Conversion::RunEnded : Conversion::Failed;
}

// A document made from an input that could not be read whole is no
// document.
constexpr InputMessages kUnableMessages{"Error: Unable to open %s.\n",
                                        "Error: Unable to read %s.\n"};

Conversion convert_whole_input(const VariableInput& input, std::FILE* out,
                               const QuillcastOptions& options, Runtime& rt) {
    Conversion conversion = convert_input(input.stream(), out, options.rtf, rt);
    if (std::ferror(input.stream())) {
        std::fprintf(rt.err, kUnableMessages.cant_read, input.name().c_str());
        return Conversion::Failed;
    }
    return conversion;
}

bool open_input(const QuillcastOptions& options, VariableInput& input, std::FILE* err) {
    return input_opened(input.open(options.input_name, options.member, false), options.input_name,
                        input.refusal(), kUnableMessages, err);
}

// A named output file is replaced only by a complete document: it is written
// beside its name and renamed over it at the end.
Conversion write_named_document(const QuillcastOptions& options, Runtime& rt) {
    VariableInput in;
    if (!open_input(options, in, rt.err)) {
        return Conversion::Failed;
    }
    OutputFile out(options.output_name);
    if (!out.open()) {
        std::fprintf(rt.err, "Error: Unable to open %s.\n", options.output_name.c_str());
        return Conversion::Failed;
    }
    // A saved document is a text file of the system: its lines end in CR LF on
    // Windows. The document on its way to the clipboard keeps its line feeds,
    // as a text-mode read would give them back.
    write_system_line_ends(out.stream());
    Conversion conversion = convert_whole_input(in, out.stream(), options, rt);
    if (is_written(conversion) && !out.commit()) {
        std::fprintf(rt.err, "Error: Unable to write %s.\n", options.output_name.c_str());
        return Conversion::Failed;
    }
    return conversion;
}

// Closes a written stream; false when any of its bytes did not reach the
// file.
bool close_written(FilePtr& file) {
    std::FILE* stream = file.release();
    bool written = std::fflush(stream) == 0 && !std::ferror(stream);
    return std::fclose(stream) == 0 && written;
}

Conversion write_scratch_document(const QuillcastOptions& options, const ScratchFile& document,
                                  Runtime& rt) {
    VariableInput in;
    if (!open_input(options, in, rt.err)) {
        return Conversion::Failed;
    }
    FilePtr out = document.open_for_update();
    if (!out) {
        std::fputs("Error: Unable to open a temporary file.\n", rt.err);
        return Conversion::Failed;
    }
    Conversion conversion = convert_whole_input(in, out.get(), options, rt);
    if (!close_written(out) && is_written(conversion)) {
        std::fputs("Error: Unable to write a temporary file.\n", rt.err);
        return Conversion::Failed;
    }
    return conversion;
}

// The document on its way to the clipboard stays in a scratch file of its
// own, which is gone when this returns. Without a document the clipboard step
// finds the file empty and says so.
Conversion write_clipboard_document(const QuillcastOptions& options, Runtime& rt) {
    ScratchFile document(".rtf");
    Conversion conversion = write_scratch_document(options, document, rt);
    if (conversion == Conversion::RunEnded || !document.created()) {
        return conversion == Conversion::RunEnded ? conversion : Conversion::Failed;
    }
    bool copied = rtf_copy_file_to_clipboard(document.path(), rt) == 1;
    return is_written(conversion) && copied ? conversion : Conversion::Failed;
}

}  // namespace

int rtf_copy_file_to_clipboard(const std::string& path, Runtime& rt) {
    FilePtr file = open_existing_file(path.c_str(), false);
    const long length = file ? file_size(file.get()) : -1;
    if (length <= 0) {
        std::fputs("Error: Unable to open file.\n", rt.err);
        return 0;
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    if (std::fread(text.data(), 1, text.size(), file.get()) != text.size()) {
        std::fputs("Error: Unable to read file.\n", rt.err);
        return 0;
    }
    if (!rt.platform.clipboard_open()) {
        std::fputs("Error: Unable to open clipboard.\n", rt.err);
        return 0;
    }
    // Without emptying first: the text joins what the clipboard holds, such
    // as the last picture of a lab report.
    const bool set = rt.platform.clipboard_set_rich_text(text);
    std::fputs(set ? "Rich text copied to clipboard.\n" : "Error: Unable to set clipboard data.\n",
               rt.err);
    rt.platform.clipboard_close();
    return set ? 1 : 0;
}

int quillcast_main(int argc, char** argv, Runtime& rt) {
    QuillcastOptions options;
    if (std::optional<int> status =
            answer_command_line(parse_command_line(argc, argv, kCommandLine, options),
                                syntax_of(kCommandLine), rt.out, rt.err)) {
        return *status;
    }
    options.rtf.unicode = form_or_locale(options.form) == CharacterForm::Unicode;
    // A cancelled dialog ends the run without a word; so does a cancelled
    // save dialog when the document may not go to the clipboard.
    if (!choose_files(options, rt.platform) ||
        (options.rtf.no_clipboard && !options.output_named)) {
        return 0;
    }
    // A member is named as it was asked for: the group is not read yet.
    std::fprintf(rt.err, "%s to %s\n",
                 options.member ? options.member->c_str() : options.input_name.c_str(),
                 options.output_named ? options.output_name.c_str() : "clipboard");
    if (options.interactive || options.rtf.default_font == kFontFromDialog) {
        choose_font(options.rtf, rt.platform);
    }

    if (!options.output_named) {
        return write_clipboard_document(options, rt) == Conversion::Written ? 0 : 1;
    }
    Conversion conversion = write_named_document(options, rt);
    // Only a document that was written is shown.
    if (is_written(conversion) && options.interactive) {
        rt.platform.open_document(options.output_name);
    }
    return conversion == Conversion::Written ? 0 : 1;
}

CommandLineSyntax quillcast_command_line() {
    return syntax_of(kCommandLine);
}

}  // namespace varkit

#include "info/varlook.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "info/group_commands.h"
#include "info/summaries.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr char kProgramName[] = "Varlook";
constexpr char kVersion[] = "v0.2";

constexpr std::string_view kUsageHead =
    "Displays file information and writes a new name, folder, and description to a\n"
    "TI[89,92,92+] file, will also verify checksum and optionally fix it (use with\n"
    "caution).\n"
    "\n"
    "%s  TIfile [/N name] [/F folder] [/C \"quoted text\"] [/X]\n"
    "\n";
constexpr std::string_view kUsageTail =
    "  /X     Correct the checksum if it is in error.\n"
    "\n"
    "A future version will include more complete information on MAT files.\n";
constexpr std::string_view kUsage[] = {kUsageHead, kNamingUsageLines, kUsageTail};

struct VarlookOptions {
    std::string file_name;
    NamingOptions naming;  // the attribute starts unchanged
    bool fix_checksum = false;
    std::optional<std::string> member;   // --member=NAME
    bool list = false;                   // --list
    std::optional<std::string> extract;  // --extract[=DIR]; "" is the current folder
    bool force = false;                  // --force
};

bool asks_for_new_names(const NamingOptions& naming) {
    return is_given(naming.name) || is_given(naming.folder) || is_given(naming.comment) ||
           naming.attribute != kAttributeUnchanged;
}

bool asks_for_change(const VarlookOptions& options) {
    return asks_for_new_names(options.naming) || options.fix_checksum;
}

// The first argument that is not a switch names the file; an empty one
// before it is passed over, and any after it is one too many.
bool take_file_name(VarlookOptions& options, const char* name) {
    if (!options.file_name.empty()) {
        return false;
    }
    options.file_name = name;
    return true;
}

// A bare --extract is the current folder; "--extract=" names none.
Verdict take_extract_folder(VarlookOptions& options, const OptionValue& value) {
    if (value.given && value.text.empty()) {
        return Verdict::bad("Error: --extract takes a folder, not \"\".");
    }
    options.extract = std::string(value.text);
    return {};
}

constexpr auto kOwnOptions = std::to_array<Option<VarlookOptions>>({
    {flag_switch('X', "correct the checksum if it is in error"),
     turn_on<&VarlookOptions::fix_checksum>},
    member_row<VarlookOptions>(),
    {flag_option("list", "list the variables of a group file, one a line"),
     turn_on<&VarlookOptions::list>},
    {optional_text_option("extract", "folder",
                          "write each variable of a group file as a file of its own"),
     take_extract_folder},
    {flag_option("force", "let --extract replace files that are there"),
     turn_on<&VarlookOptions::force>},
});
constexpr auto kOptions = join_rows(naming_switches<VarlookOptions>(), kOwnOptions);

Verdict check_together(const VarlookOptions& options);

constexpr CommandLineTable<VarlookOptions> kCommandLine{
    .help = {.name = kProgramName,
             .version = kVersion,
             .usage = kUsage,
             .formats =
                 "Reads:  TI-89, TI-92 and TI-92 Plus variable files (.89?, .92?, .9x?) and\n"
                 "        group files of every calculator (.89g, .9xg, .83g, .86g ...)\n"
                 "Writes: the same file, in place (/N /F /C /A /L /U /X); with --extract\n"
                 "        one variable file for each variable of a group\n"},
    .rules = {.usage_without_arguments = true, .standard_stream = false},
    .options = kOptions,
    .take_file_name = take_file_name,
    .check = check_together,
};

// --list and --extract read the whole file and change nothing: they take no
// member and no change; --force only serves --extract.
Verdict check_together(const VarlookOptions& options) {
    if (options.list && options.extract) {
        return Verdict::bad("Error: --list and --extract cannot be used together.");
    }
    if ((options.list || options.extract) && (options.member || asks_for_change(options))) {
        return Verdict::bad("Error: --list and --extract take no --member and change nothing.");
    }
    if (options.force && !options.extract) {
        return Verdict::bad("Error: --force goes with --extract.");
    }
    return {};
}

// A variable file names model 89 or 92 in its signature, or carries format
// word 1.
bool is_supported(std::FILE* file) {
    unsigned model = vf_model_number(vf_calculator_code(file));
    return model == 89 || model == 92 || vf_format_word(file) == 1;
}

template <std::size_t N, std::size_t M>
void set_header_field(std::array<char, M>& to, const std::array<char, N>& from) {
    static_assert(N == M + 1);
    // The field is set whole, so a shorter value clears the rest of the old.
    std::copy_n(from.data(), M, to.data());
}

// Writes the given name, folder and comment, and the attribute unless the
// file is a group. The checksum does not cover these fields. The header is
// changed in memory and written back in one piece, so a failed write leaves
// the old header rather than some fields of each.
bool rewrite_names(const NamingOptions& naming, VarHeader header, std::FILE* file, std::FILE* out) {
    if (is_given(naming.name)) {
        set_header_field(header.name, naming.name);
    }
    if (is_given(naming.folder)) {
        set_header_field(header.folder, naming.folder);
    }
    if (is_given(naming.comment)) {
        set_header_field(header.comment, naming.comment);
    }
    if (naming.attribute != kAttributeUnchanged && header.type_code != kTypeFolder) {
        header.attribute = static_cast<std::uint8_t>(naming.attribute);
        std::fputs("lockset\n", out);
    }
    return vf_write_header(&header, file) == 1 && std::fflush(file) == 0;
}

// A fixed-width field up to its first zero byte, as it may be shown on `out`.
template <std::size_t N>
std::string field_text(const std::array<char, N>& field, std::FILE* out) {
    return shown_field(std::string_view(field.data(), ::strnlen(field.data(), N)), out);
}

void print_header_report(const VarHeader& header, std::FILE* out) {
    std::fprintf(out, "Calculator:  %s\n", field_text(header.signature, out).c_str());
    std::fprintf(out, "Filename:    %s\n", field_text(header.name, out).c_str());
    std::fprintf(out, "Folder:      %s\n", field_text(header.folder, out).c_str());
    std::fprintf(out, "Comment:     %s\n", field_text(header.comment, out).c_str());
    if (header.type_code == kTypeFolder) {
        return;  // a group file: its first entry is only a folder
    }
    std::fprintf(out, "Type:        %s\n", vf_type_name(header.type_code));
    std::fprintf(out, "Status:      %s\n", status_word(header.attribute));
    std::fprintf(out, "Filesize:    %d\n", static_cast<std::int32_t>(header.file_size));
    std::fprintf(out, "Data length: %u\n", static_cast<unsigned>(header.data_length));
}

// The checksum is only meaningful, and only repaired, when the file is exactly
// its data plus header and checksum: a file cut short or followed by other
// bytes would have its last two bytes taken for a checksum.
bool check_file_size(const VarHeader& header, std::FILE* file, std::FILE* out) {
    long expected = static_cast<long>(header.data_length) + kFileOverhead;
    long actual = file_size(file);
    if (actual == expected) {
        return true;
    }
    if (actual < 0) {
        return false;  // the caller reports the failed read
    }
    if (actual < expected) {
        std::fprintf(out,
                     "Error: File is cut short: %ld bytes, where data length %u needs %ld; "
                     "checksum not checked.\n",
                     actual, static_cast<unsigned>(header.data_length), expected);
    } else {
        std::fprintf(out, "Error: File has %ld bytes after its checksum; checksum not checked.\n",
                     actual - expected);
    }
    return false;
}

// How the checksum ends: right (verified or repaired), wrong, or wrong
// because the repair could not be written.
enum class Checksum { Holds, Wrong, Unwritten };

Checksum verify_checksum(const VarHeader& header, bool fix, std::FILE* file, std::FILE* out) {
    if (!check_file_size(header, file, out)) {
        return Checksum::Wrong;
    }
    unsigned computed = vf_compute_checksum(file);
    unsigned stored = vf_stored_checksum(file);
    if (std::ferror(file)) {
        return Checksum::Wrong;  // the caller reports the failed read
    }
    if (computed == stored) {
        std::fprintf(out, "Checksum:    %X (verified)\n", computed);
        return Checksum::Holds;
    }
    if (!fix) {
        std::fprintf(out, "Checksum:    %Xh (Checksum error, should be %Xh. Use /X to fix.)\n",
                     stored, computed);
        return Checksum::Wrong;
    }
    if (vf_seek_from(-2, SEEK_END, file) != 0 ||
        vf_write_checksum(static_cast<std::uint16_t>(computed), file) != 1 ||
        std::fflush(file) != 0) {
        std::fputs("Error: Can't write the checksum.\n", out);
        std::clearerr(file);  // reported, and no failed read
        return Checksum::Unwritten;
    }
    std::fprintf(out, "Checksum:    %Xh (was %Xh)\n", computed, stored);
    return Checksum::Holds;
}

bool report_read_failure(const VariableInput& input, Runtime& rt) {
    std::fprintf(rt.out, "Error: Can't read %s.\n", input.name().c_str());
    return false;
}

// Closes the input and puts a member back into its group when every change
// to it was `written`. False after a failure line.
bool close_input(VariableInput& input, bool written, Runtime& rt) {
    bool closed = std::fclose(input.file().release()) == 0;
    if (!closed) {
        std::fprintf(rt.out, "Error: Can't write %s.\n", input.name().c_str());
    }
    if (input.write_back(written && closed) == VariableInput::WriteBack::Failed) {
        std::fputs(input.refusal().c_str(), rt.out);
        return false;
    }
    return closed;
}

// The run on the open input: accept, rewrite, report, verify, put a changed
// member back into its group, and the empty line that closes a report.
// Returns false when a failure line was printed.
bool report_input(const VarlookOptions& options, VariableInput& input, Runtime& rt) {
    FilePtr& file = input.file();
    bool supported = is_supported(file.get());
    if (std::ferror(file.get())) {
        return report_read_failure(input, rt);
    }
    if (!supported) {
        std::fputs("Error: File type not supported.\n", rt.out);
        return false;
    }
    const long size = file_size(file.get());
    if (size < 0) {
        return report_read_failure(input, rt);
    }
    if (size < kHeaderSize) {
        // Nothing is written into a file too short to hold its own header.
        std::fprintf(rt.out, "Error: File is cut short: %ld bytes, less than a %ld-byte header.\n",
                     size, kHeaderSize);
        return false;
    }
    bool sound = true;
    if (asks_for_new_names(options.naming)) {
        VarHeader old_header;
        vf_read_header(&old_header, file.get());
        if (std::ferror(file.get())) {
            return report_read_failure(input, rt);
        }
        sound = rewrite_names(options.naming, old_header, file.get(), rt.out);
    }
    bool written = sound;  // every change asked for is in the file
    if (!sound) {
        std::fprintf(rt.out, "Error: Can't write %s.\n", input.name().c_str());
        // Reported; the report that follows shows what the file now holds.
        std::clearerr(file.get());
    }
    VarHeader header;
    vf_read_header(&header, file.get());
    if (std::ferror(file.get())) {
        return report_read_failure(input, rt);
    }
    print_header_report(header, rt.out);
    if (header.type_code != kTypeFolder) {
        print_contents_summary(header.type_code, file.get(), rt.out, rt.err);
        Checksum checksum = verify_checksum(header, options.fix_checksum, file.get(), rt.out);
        sound = checksum == Checksum::Holds && sound;
        written = checksum != Checksum::Unwritten && written;
        if (std::ferror(file.get())) {
            return report_read_failure(input, rt);
        }
    }
    sound = close_input(input, written, rt) && sound;
    std::fputs("\n", rt.out);
    return sound;
}

// Opens the file, or the member it names, and reports it.
bool report_file(const VarlookOptions& options, Runtime& rt) {
    VariableInput input;
    if (!input_opened(input.open(options.file_name, options.member, asks_for_change(options)),
                      options.file_name, input.refusal(), kInputMessages, rt.out)) {
        return false;
    }
    const std::string refusal = input.naming_refusal(options.naming);
    if (!refusal.empty()) {
        std::fputs(refusal.c_str(), rt.out);
        return false;
    }
    return report_input(options, input, rt);
}

// --list and --extract, or the report.
bool run(const VarlookOptions& options, Runtime& rt) {
    if (options.list) {
        return list_group(options.file_name, rt.out);
    }
    if (options.extract) {
        return extract_group(options.file_name, *options.extract, options.force, rt.out);
    }
    return report_file(options, rt);
}

}  // namespace

int varlook_main(int argc, char** argv, Runtime& rt) {
    VarlookOptions options;
    // Varlook prints its messages where it prints its report.
    ParsedCommandLine parsed = parse_command_line(argc, argv, kCommandLine, options);
    if (std::optional<int> status =
            answer_command_line(parsed, syntax_of(kCommandLine), rt.out, rt.out)) {
        return *status;
    }
    bool sound = run(options, rt);
    return sound && parsed.refusals.empty() ? 0 : 1;
}

CommandLineSyntax varlook_command_line() {
    return syntax_of(kCommandLine);
}

}  // namespace varkit

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "info/varlook.h"
#include "picture_export/pixelcast.h"
#include "picture_import/pixelpress.h"
#include "rich_export/quillcast.h"
#include "tests/support/program_run.h"
#include "text_export/plaincast.h"
#include "text_import/plainpress.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

// Reads switches through a table of the naming rows alone, as a program's
// parser does, and collects the lines of the refused values.
struct NamingRecord {
    NamingOptions naming;
    std::string member;  // a long option that takes any text
};

constexpr auto kNamingRows = join_rows(
    naming_switches<NamingRecord>(), std::to_array<Option<NamingRecord>>({
                                         {text_option("member", "name", "a variable of the group"),
                                          [](NamingRecord& record, const OptionValue& value) {
                                              record.member = value.text;
                                              return Verdict{};
                                          }},
                                     }));
constexpr std::string_view kToolUsage[] = {"a %s b %s\n", "100%\n"};
constexpr CommandLineTable<NamingRecord> kNamingTable{
    .help = {.name = "Tool", .version = "v9", .usage = kToolUsage, .formats = "Reads: x\n"},
    .rules = {.usage_without_arguments = false, .standard_stream = false},
    .options = kNamingRows,
    .take_file_name = [](NamingRecord&, const char*) { return true; },
    .check = nullptr,
};

struct NamingRun {
    NamingOptions options;
    std::string member;
    std::string messages;
    ParsedCommandLine parsed;

    explicit NamingRun(std::vector<std::string> words) {
        words.insert(words.begin(), "prog");
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        NamingRecord record;
        parsed =
            parse_command_line(static_cast<int>(argv.size()), argv.data(), kNamingTable, record);
        options = record.naming;
        member = record.member;
        for (const std::string& refusal : parsed.refusals) {
            messages += refusal + "\n";
        }
    }
};

std::string text_of(const char* field) {
    return field;
}

TEST(NamingSwitches, NamesAndFoldersMustStartWithALetter) {
    NamingRun rejected({"/N", "9lives", "-f", "_tmp"});
    EXPECT_EQ(rejected.messages, "Not a valid filename: 9lives\nNot a valid folder: _tmp\n");
    EXPECT_FALSE(is_given(rejected.options.name));
    EXPECT_FALSE(is_given(rejected.options.folder));
    // A refused value does not stop the run.
    EXPECT_EQ(rejected.parsed.asks, CommandLine::Run);

    NamingRun accepted({"/n", "lives9", "/Folder", "averyverylongname"});
    EXPECT_EQ(accepted.messages, "");
    EXPECT_EQ(accepted.parsed.asks, CommandLine::Run);
    EXPECT_EQ(text_of(accepted.options.name.data()), "lives9");
    EXPECT_EQ(text_of(accepted.options.folder.data()), "averyver");
}

TEST(NamingSwitches, LastAcceptedValueWinsAndRejectionsKeepIt) {
    NamingRun run({"/N", "first", "/N", "second", "/N", "3rd", "/N", "ab"});
    // A shorter later value leaves nothing of an earlier one.
    EXPECT_EQ(text_of(run.options.name.data()), "ab");
    EXPECT_EQ(run.options.name[3], '\0');
    EXPECT_EQ(run.messages, "Not a valid filename: 3rd\n");
}

TEST(NamingSwitches, CommentsAreCutAndEmptyOnesIgnored) {
    NamingRun cut({"/C", std::string(45, 'x')});
    EXPECT_EQ(text_of(cut.options.comment.data()), std::string(40, 'x'));

    NamingRun empty({"/C", "kept", "/C", ""});
    EXPECT_EQ(text_of(empty.options.comment.data()), "kept");

    // The value is the whole next argument, even one that looks like a switch.
    NamingRun dash({"/C", "/X"});
    EXPECT_EQ(text_of(dash.options.comment.data()), "/X");
}

TEST(NamingSwitches, AttributesAndMissingValues) {
    EXPECT_EQ(NamingRun({"/A"}).options.attribute, kAttributeArchived);
    EXPECT_EQ(NamingRun({"-l"}).options.attribute, kAttributeLocked);
    EXPECT_EQ(NamingRun({"/L", "/U"}).options.attribute, kAttributeUnlocked);
    EXPECT_EQ(NamingRun({}).options.attribute, kAttributeUnchanged);
    // A value switch with no value, an unknown letter and a bare prefix are
    // bad command lines, named by no error line: the usage text says it.
    for (const char* bad : {"/N", "/Q", "/"}) {
        EXPECT_EQ(NamingRun({bad}).parsed.asks, CommandLine::Bad) << bad;
        EXPECT_EQ(NamingRun({bad}).parsed.error, "") << bad;
    }
}

std::string field(const auto& array) {
    return std::string(array.data(), strnlen(array.data(), array.size()));
}

TEST(NewHeaderNames, DefaultsComeFromTheFileNames) {
    VarHeader header;
    NamingOptions none;
    none.attribute = kAttributeUnlocked;
    fill_header_names(header, none, nullptr, "notes.9xt");
    EXPECT_EQ(field(header.name), "notes");
    EXPECT_EQ(field(header.folder), "main");
    EXPECT_EQ(field(header.comment), "From clipboard");
    EXPECT_EQ(header.attribute, 0);

    fill_header_names(header, none, "C:\\pics\\sunset.bmp", "out/dir.v2/longfilename.9xt");
    EXPECT_EQ(field(header.name), "longfile");
    EXPECT_EQ(field(header.comment), "From sunset.bmp");

    // Directories never reach a name; the comment keeps 35 characters.
    fill_header_names(header, none, ("/home/an/" + std::string(40, 'q')).c_str(), "sub/note.89t");
    EXPECT_EQ(field(header.name), "note");
    EXPECT_EQ(field(header.comment), "From " + std::string(35, 'q'));
}

TEST(NewHeaderNames, GivenValuesWin) {
    NamingRun run({"/N", "mine", "/F", "work", "/C", "hello there", "/A"});
    VarHeader header;
    header.name.fill('Z');  // old bytes are cleared
    fill_header_names(header, run.options, "in.txt", "other.89t");
    EXPECT_EQ(field(header.name), "mine");
    EXPECT_EQ(header.name[7], '\0');
    EXPECT_EQ(field(header.folder), "work");
    EXPECT_EQ(field(header.comment), "hello there");
    EXPECT_EQ(header.attribute, kAttributeArchived);
}

TEST(CommandLine, SwitchesAndUsage) {
    EXPECT_TRUE(is_switch("/x"));
    EXPECT_TRUE(is_switch("-x"));
    EXPECT_FALSE(is_switch("x/"));
    EXPECT_FALSE(is_switch(""));
    EXPECT_TRUE(is_switch("/name"));
    EXPECT_FALSE(is_switch("/home/an/notes.89t"));
    EXPECT_TRUE(is_switch("-dir/name"));
    EXPECT_EQ(switch_letter("/name"), 'N');
    EXPECT_EQ(switch_letter("-"), '\0');
    EXPECT_FALSE(is_switch("--help"));

    LongOption format = split_long_option("--format=png");
    EXPECT_EQ(format.name, "format");
    EXPECT_EQ(format.value, "png");
    EXPECT_EQ(split_long_option("--utf8").value, std::nullopt);
    EXPECT_EQ(split_long_option("--x=").value, "");
    EXPECT_EQ(NamingRun({"--help"}).parsed.asks, CommandLine::Help);
    EXPECT_EQ(NamingRun({"/A", "--version"}).parsed.asks, CommandLine::Version);
    EXPECT_EQ(NamingRun({"-?"}).parsed.asks, CommandLine::Usage);
    EXPECT_EQ(NamingRun({"--help=1"}).parsed.error, "Error: --help takes no value, not \"1\".");
    EXPECT_EQ(NamingRun({"--nonsense", "--help"}).parsed.error,
              "Error: unknown option \"--nonsense\".");
    EXPECT_EQ(NamingRun({"--member=a=b"}).member, "a=b");
    EXPECT_EQ(NamingRun({"--member"}).parsed.error, "Error: --member takes a name.");
    // A file name after "--" is needed; "--" alone names nothing.
    EXPECT_EQ(NamingRun({"--"}).parsed.asks, CommandLine::Bad);
    EXPECT_EQ(NamingRun({"/A", "--", "--help"}).parsed.asks, CommandLine::Run);

    // "--" ends the options once; a value switch still takes it as its value.
    std::vector<std::string> words = {"p", "-N", "--", "/x", "--", "--help", "/y", "--"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    Arguments args(static_cast<int>(argv.size()), argv.data());
    std::string kinds;
    while (!args.done()) {
        const char* argument = args.next();
        if (std::string_view(argument) == "-N") {
            EXPECT_STREQ(args.take_value(), "--");
        }
        kinds += args.is_long_option(argument) ? 'L' : args.is_switch(argument) ? 'S' : 'F';
    }
    EXPECT_EQ(kinds, "SSFFF");

    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    print_usage(out, kNamingTable.help);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, size), "Tool v9\na Tool b Tool\n100%\n");
    std::free(buffer);
}

struct ProgramTable {
    const char* name;
    CommandLineSyntax (*syntax)();
};

constexpr ProgramTable kPrograms[] = {
    {"Varlook", varlook_command_line},       {"Plaincast", plaincast_command_line},
    {"Plainpress", plainpress_command_line}, {"Pixelcast", pixelcast_command_line},
    {"Pixelpress", pixelpress_command_line}, {"Quillcast", quillcast_command_line},
};

// The lines of --help's "Options:" block.
std::vector<std::string> option_lines(const std::string& help) {
    std::vector<std::string> lines;
    std::size_t start = help.find("\nOptions:\n");
    if (start == std::string::npos) {
        return lines;
    }
    for (std::size_t at = start + 10, end; (end = help.find('\n', at)) != at; at = end + 1) {
        lines.push_back(help.substr(at, end - at));
    }
    return lines;
}

// GNU-style --help and --version in every program, whatever else the command
// line holds: --help is the usage text, then one line for every row of the
// program's table and the formats. A wrong argument is named in one line
// where the program prints its errors (Varlook: standard output), before the
// usage text.
TEST(CommandLine, EveryProgramAnswersHelpAndVersion) {
    for (const ProgramTable& program : kPrograms) {
        const CommandLineSyntax syntax = program.syntax();
        auto help = testing::run_executable(program.name, {"--help"});
        auto question = testing::run_executable(program.name, {"/?"});
        const std::string& usage = question.out;
        EXPECT_EQ(help.status, 0) << program.name;
        EXPECT_EQ(help.out.rfind(usage, 0), 0u) << program.name;
        EXPECT_EQ(usage.rfind(program.name, 0), 0u) << program.name;

        std::vector<std::string> lines = option_lines(help.out);
        std::vector<OptionSpec> rows = syntax.options;
        rows.insert(rows.end(), kCommonOptions.begin(), kCommonOptions.end());
        ASSERT_EQ(lines.size(), rows.size()) << help.out;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string synopsis = "  " + option_synopsis(rows[i]) + " ";
            EXPECT_EQ(lines[i].rfind(synopsis, 0), 0u) << lines[i];
            EXPECT_TRUE(lines[i].ends_with(rows[i].description)) << lines[i];
            EXPECT_LE(lines[i].size(), 80u) << lines[i];
        }
        EXPECT_NE(help.out.find("\n\nReads:  "), std::string::npos) << program.name;
        EXPECT_NE(help.out.find("\nWrites: "), std::string::npos) << program.name;

        auto version = testing::run_executable(program.name, {"x.89t", "--version"});
        EXPECT_EQ(version.status, 0) << program.name;
        EXPECT_EQ(version.out, std::string(program.name) + " " + VARKIT_TEST_VERSION "\n");

        // What each wrong argument gives: the error line, then the usage text.
        auto expect_named = [&](const std::vector<std::string>& args, const std::string& line) {
            auto bad = testing::run_executable(program.name, args);
            const bool varlook = std::string_view(program.name) == "Varlook";
            EXPECT_EQ(bad.status, 2) << args.back();
            EXPECT_EQ(varlook ? bad.out : bad.err + bad.out, line + usage) << args.back();
            EXPECT_EQ(varlook ? bad.err : "", "");
        };
        expect_named({"--frobnicate"}, "Error: unknown option \"--frobnicate\".\n");
        // "--" with no file name after it is a bad command line, as is none at all.
        expect_named({"--"}, "");
        for (const OptionSpec& row : rows) {
            if (row.letter != '\0') {
                continue;
            }
            // A prefix of a name is not guessed.
            const std::string name = "--" + std::string(row.name);
            expect_named({"x", name.substr(0, name.size() - 1)},
                         "Error: unknown option \"" + name.substr(0, name.size() - 1) + "\".\n");
            if (row.takes == Takes::Text || row.takes == Takes::OptionalText) {
                continue;  // any text is its value
            }
            const std::string wrong = row.takes == Takes::Number   ? std::to_string(row.high + 1)
                                      : row.takes == Takes::Choice ? "gif"
                                                                   : "1";
            auto bad = testing::run_executable(program.name, {"x", name + "=" + wrong});
            EXPECT_EQ(bad.status, 2) << name;
            std::string line = "Error: " + name + " takes ";
            EXPECT_NE((bad.out + bad.err).find(line), std::string::npos) << name;
            EXPECT_NE((bad.out + bad.err).find(", not \"" + wrong + "\".\n"), std::string::npos);
        }
    }
    const std::string pixelpress_usage = testing::run_executable("Pixelpress", {"/?"}).out;
    for (const auto& [option, line] : std::vector<std::pair<std::string, std::string>>{
             {"--thresh=100", "Error: unknown option \"--thresh=100\"."},
             {"--threshold=300", "Error: --threshold takes a number from 0 to 255, not \"300\"."},
             {"--threshold", "Error: --threshold takes a number from 0 to 255."},
             {"--fit=yes", "Error: --fit takes no value, not \"yes\"."}}) {
        auto bad = testing::run_executable("Pixelpress", {"p.89i", "x.png", option});
        EXPECT_EQ(bad.err, line + "\n");
        EXPECT_EQ(bad.out, pixelpress_usage);
    }
    EXPECT_EQ(testing::run_executable("Pixelcast", {"p.89i", "x", "--format=gif"}).err,
              "Error: --format takes png, pbm or bmp, not \"gif\".\n");
    EXPECT_EQ(testing::run_executable("Plaincast", {"n.89t", "--utf8", "--ascii"}).err,
              "Error: --utf8 and --ascii cannot be used together.\n");
}

}  // namespace
}  // namespace varkit

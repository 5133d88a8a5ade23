#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

// Feeds switches through take_naming_switch the way a program's parser does
// and collects the messages.
struct NamingRun {
    NamingOptions options;
    std::string messages;
    NamingSwitch last = NamingSwitch::Taken;

    explicit NamingRun(std::vector<std::string> words) {
        words.insert(words.begin(), "prog");
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&buffer, &size);
        Arguments args(static_cast<int>(argv.size()), argv.data());
        while (!args.done()) {
            last = take_naming_switch(switch_letter(args.next()), args, options, out);
        }
        std::fclose(out);
        messages.assign(buffer, size);
        std::free(buffer);
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
    EXPECT_TRUE(rejected.options.rejected);

    NamingRun accepted({"/n", "lives9", "/Folder", "averyverylongname"});
    EXPECT_EQ(accepted.messages, "");
    EXPECT_FALSE(accepted.options.rejected);
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
    EXPECT_EQ(NamingRun({"/N"}).last, NamingSwitch::MissingValue);
    EXPECT_EQ(NamingRun({"/Q"}).last, NamingSwitch::NotNaming);
    EXPECT_EQ(NamingRun({"/"}).last, NamingSwitch::NotNaming);
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
    EXPECT_EQ(common_long_option(split_long_option("--help")), CommandLine::Help);
    EXPECT_EQ(common_long_option(split_long_option("--version")), CommandLine::Version);
    EXPECT_EQ(common_long_option(split_long_option("--help=1")), CommandLine::Bad);
    EXPECT_EQ(common_long_option(split_long_option("--nonsense")), CommandLine::Bad);

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
    print_usage(out, "Tool", "v9", "a %s b %s\n100%\n");
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, size), "Tool v9\na Tool b Tool\n100%\n");
    std::free(buffer);
}

// GNU-style --help and --version in every program, whatever else the command
// line holds; an unknown long option is a bad command line.
TEST(CommandLine, EveryProgramAnswersHelpAndVersion) {
    for (const char* program :
         {"Varlook", "Plaincast", "Plainpress", "Pixelcast", "Pixelpress", "Quillcast"}) {
        auto help = testing::run_executable(program, {"--help"});
        auto question = testing::run_executable(program, {"/?"});
        EXPECT_EQ(help.status, 0) << program;
        EXPECT_EQ(help.out, question.out) << program;
        EXPECT_EQ(help.out.rfind(program, 0), 0u) << program;

        auto version = testing::run_executable(program, {"x.89t", "--version"});
        EXPECT_EQ(version.status, 0) << program;
        EXPECT_EQ(version.out, std::string(program) + " " + VARKIT_TEST_VERSION "\n");

        auto unknown = testing::run_executable(program, {"--frobnicate"});
        EXPECT_EQ(unknown.status, 2) << program;
        EXPECT_EQ(unknown.out, question.out) << program;
    }
}

}  // namespace
}  // namespace varkit

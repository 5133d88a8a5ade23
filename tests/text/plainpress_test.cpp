#include "text_import/plainpress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_platform.h"
#include "tests/support/program_run.h"
#include "tests/text/text_fixtures.h"

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

const std::string kUsage =
    "Plainpress v1.2\n"
    "Copies the text from the clipboard or a text file to a TI[89,92,92+] STR or\n"
    "TEXT file.\n"
    "\n"
    "Plainpress  \"TI file\" [\"text file\"] [/N name] [/F folder] [/C \"quoted text\"]\n"
    "\n"
    "  /N     New file name. This is the file name used in the calculator.\n"
    "          Maximum size= 8 characters.\n"
    "  /F     New folder name. Maximum size= 8 characters.\n"
    "  /C     New comment. If the comment is more than one word it must be enclosed\n"
    "          in quotes. Maximum size= 40 characters.\n"
    "\n";

class PlainpressTest : public ::testing::Test {
  protected:
    ProgramResult run(const std::vector<std::string>& args) {
        return run_in_process(plainpress_main, args, clipboard);
    }
    // The variable file made from `args`, or nothing when the run made none.
    std::string made(const std::string& name) {
        return std::filesystem::exists(dir.file(name)) ? as_string(read_file(dir.file(name)))
                                                       : "(none)";
    }

    TempDir dir;
    FakePlatform clipboard;
};

TEST_F(PlainpressTest, CommandLine) {
    for (const auto& [args, status] : std::vector<std::pair<Names, int>>{
             {{"/?"}, 0}, {{"a.89t", "/X"}, 2}, {{"a.89t", "/N"}, 2}, {{"a.89t", "b", "c"}, 2}}) {
        ProgramResult result = run(args);
        EXPECT_EQ(result.out, kUsage) << args.back();
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, status) << args.back();
    }
    // Without arguments the empty output name names no calculator.
    ProgramResult result = run({});
    EXPECT_EQ(result.err, "Error: File type not supported.\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(clipboard.calls.empty());
}

TEST_F(PlainpressTest, TextFromTheClipboard) {
    clipboard.text = "line1\r\nC:run\r\n";
    ProgramResult result = run({dir.file("notes.89t")});
    EXPECT_EQ(result.err, "Done!\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(clipboard.calls, (Names{"open", "get_text", "close"}));
    Identity id{"notes", "main", "From clipboard"};
    EXPECT_EQ(made("notes.89t"),
              as_string(variable_file("**TI89**", 11, text_data(" line1\rCrun\r "), id)));
    EXPECT_EQ(made("notes.89t").size(), 107u);

    id.name = "longfile";
    EXPECT_EQ(run({dir.file("longfilename.9xs")}).status, 0);
    EXPECT_EQ(made("longfilename.9xs"),
              as_string(variable_file("**TI92P*", 12, string_data("line1\rC:run\r"), id)));

    // An empty clipboard text makes the smallest TEXT and STR.
    clipboard.text = "";
    id.name = "e";
    EXPECT_EQ(run({dir.file("e.92t")}).status, 0);
    EXPECT_EQ(made("e.92t"), as_string(variable_file("**TI92**", 11, "\0\x01\x20\0\xE0"s, id)));
    EXPECT_EQ(run({dir.file("e.92s")}).status, 0);
    EXPECT_EQ(made("e.92s"), as_string(variable_file("**TI92**", 12, "\0\0\x2D"s, id)));
}

TEST_F(PlainpressTest, CalculatorTypeAndNamesFromTheCommandLine) {
    clipboard.text = "x";
    std::string folder_92 = dir.file("old.92");
    std::filesystem::create_directory(folder_92);
    ProgramResult result =
        run({"/n", "lives9", "/Folder", "averyverylongname", "/C",
             "a comment of forty-five characters, cut at 40", "/A", dir.file("old.92/NOTES.89T")});
    EXPECT_EQ(result.status, 0) << result.err;
    Identity id{"lives9", "averyver", "a comment of forty-five characters, cut ", 3};
    EXPECT_EQ(made("old.92/NOTES.89T"),
              as_string(variable_file("**TI89**", 11, text_data(" x"), id)))
        << "the folder's \".92\" does not choose the calculator";

    // A refused name falls back to the default and the status tells of it.
    result = run({dir.file("sub.89s"), "/N", "9lives", "/C", "", "/L"});
    EXPECT_EQ(result.err, "Not a valid filename: 9lives\nDone!\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(made("sub.89s"), as_string(variable_file("**TI89**", 12, string_data("x"),
                                                       {"sub", "main", "From clipboard", 1})));

    for (const auto& [name, message] : std::vector<std::pair<std::string, std::string>>{
             {"NOTES.9XT", "Error: File type not supported.\n"},
             {"notes.txt", "Error: File type not supported.\n"},
             {"notes.89i", "Error: TI file must be TEXT (.??t) or STR (.??s).\n"}}) {
        result = run({dir.file(name)});
        EXPECT_EQ(result.err, message) << name;
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(made(name), "(none)");
    }
}

TEST_F(PlainpressTest, TextFromAFile) {
    write_file(dir.file("in.txt"), "a\\\\07\tb\0ignored"s);
    clipboard.text = "not this";
    EXPECT_EQ(run({dir.file("t.89t"), dir.file("in.txt")}).status, 0);
    EXPECT_EQ(made("t.89t"), as_string(variable_file("**TI89**", 11, text_data(" a\x07\tb"),
                                                     {"t", "main", "From in.txt"})));
    EXPECT_TRUE(clipboard.calls.empty());

    // A text file that cannot be opened: the clipboard's text makes a new
    // file, the file's name in the comment, whichever separator ends the
    // folders; an existing file is never replaced by it.
    for (const std::string& missing : {dir.file("gone.txt"), "C:\\texts\\gone.txt"s}) {
        std::filesystem::remove(dir.file("c.89t"));
        ProgramResult result = run({dir.file("c.89t"), missing});
        EXPECT_EQ(result.err, "Error: can't open input file " + missing + ".\nDone!\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(made("c.89t"), as_string(variable_file("**TI89**", 11, text_data(" not this"),
                                                         {"c", "main", "From gone.txt"})));
    }
    clipboard.calls.clear();
    ProgramResult kept = run({dir.file("t.89t"), dir.file("typo.txt")});
    EXPECT_EQ(kept.err, "Error: can't open input file " + dir.file("typo.txt") +
                            ".\nError: " + dir.file("t.89t") +
                            " was not replaced: its text file could not be opened.\n");
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(made("t.89t"), as_string(variable_file("**TI89**", 11, text_data(" a\x07\tb"),
                                                     {"t", "main", "From in.txt"})));
    EXPECT_TRUE(clipboard.calls.empty());

    // A file without text (empty, or starting with a zero byte) makes nothing
    // and leaves an existing variable file alone.
    for (const std::string& empty : {""s, "\0text"s}) {
        write_file(dir.file("empty.txt"), empty);
        write_file(dir.file("t.89t"), "old");
        ProgramResult result = run({dir.file("t.89t"), dir.file("empty.txt")});
        EXPECT_EQ(result.err, "Error: No text in " + dir.file("empty.txt") + ".\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(made("t.89t"), "old");
    }
}

TEST_F(PlainpressTest, ClipboardFailuresMakeNoFile) {
    write_file(dir.file("keep.89t"), "old");
    clipboard.fail_open = true;
    ProgramResult result = run({dir.file("keep.89t")});
    EXPECT_EQ(result.err, "Error: Unable to open clipboard.\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(clipboard.calls, Names{"open"});

    clipboard = FakePlatform();  // open, but holding no text
    result = run({dir.file("keep.89t")});
    EXPECT_EQ(result.err, "Error: Unable to get clipboard data.\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(clipboard.calls, (Names{"open", "get_text", "close"}));
    // The desktop's Unicode text held a character the calculator lacks; one
    // that shows nothing is named by its code point.
    for (const auto& [lacking, shown] :
         std::vector<std::pair<char32_t, std::string>>{{U'\u20AC', "\u20AC"}, {0x85, "U+0085"}}) {
        clipboard.lacking = lacking;
        result = run({dir.file("keep.89t")});
        EXPECT_EQ(result.err, "Error: \"" + shown + "\" has no calculator character.\n");
        EXPECT_EQ(result.status, 1);
    }
    EXPECT_EQ(list_dir(dir.path().string()), Names{"keep.89t"});
    EXPECT_EQ(made("keep.89t"), "old");
}

// The data length is 16 bits: the longest text fits exactly, one byte more
// is refused and writes nothing.
TEST_F(PlainpressTest, LongestTextsThatFit) {
    for (const auto& [name, longest] : std::vector<std::pair<std::string, std::size_t>>{
             {"long.89t", 65530}, {"long.89s", 65532}}) {
        clipboard.text = std::string(longest, 'a');
        ASSERT_EQ(run({dir.file(name)}).status, 0);
        Bytes file = read_file(dir.file(name));
        EXPECT_EQ(file.size(), 65535u + 90);
        EXPECT_EQ(file[86], 0xFF);
        EXPECT_EQ(file[87], 0xFF);

        *clipboard.text += 'a';
        ProgramResult result = run({dir.file(name)});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("Error: Text too long", 0), 0u) << result.err;
        EXPECT_EQ(read_file(dir.file(name)), file);
    }
    // A TEXT grows by a line-start byte per line: short lines overflow first.
    std::string lines;
    for (int i = 0; i < 21843; ++i) {
        lines += "x\r";
    }
    clipboard.text = lines;
    EXPECT_EQ(run({dir.file("lines.89t")}).status, 0);
    clipboard.text = lines + "x\r";
    EXPECT_EQ(run({dir.file("lines.92t")}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("lines.92t")));
}

}  // namespace
}  // namespace varkit::testing

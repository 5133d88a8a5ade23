#include "text_export/plaincast.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_platform.h"
#include "tests/support/program_run.h"
#include "tests/text/text_fixtures.h"

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Calls = std::vector<std::string>;

const std::string kUsage =
    "Plaincast v1.1\n"
    "Copies the text from TI[89,92,92+] STR and TEXT files to the clipboard and an\n"
    "optional text file.\n"
    "\n"
    "Plaincast  \"TI file\" [\"text file\"] [/S]\n"
    "\n"
    "  /S     Show the text in the console.\n"
    "\n";

// Lines (0x20, abc), (0x43, x), (0x0C, nothing), (0x20, nothing).
const std::string kText = " abc\rCx\r\x0C\r ";
const std::string kPlain = "abc\r\nC:x\r\nB:\r\n";

class PlaincastTest : public ::testing::Test {
  protected:
    void SetUp() override { write_file(variable, variable_file("**TI92P*", 11, text_data(kText))); }
    ProgramResult run(const std::vector<std::string>& args) {
        return run_in_process(plaincast_main, args, clipboard);
    }

    TempDir dir;
    std::string variable = dir.file("notes.9xt");
    std::string text_file = dir.file("notes.txt");
    FakePlatform clipboard;
};

TEST_F(PlaincastTest, CommandLine) {
    for (const auto& [args, status] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{}, 2}, {{"/?"}, 0}, {{variable, "/X"}, 2}, {{"a", "b", "c"}, 2}}) {
        ProgramResult result = run(args);
        EXPECT_EQ(result.out, kUsage);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, status) << args.size();
    }
    EXPECT_TRUE(clipboard.calls.empty());
    // Only the character after the prefix counts; an empty argument does not
    // take the variable file's place; an absolute path is no switch.
    for (const char* show : {"-S", "/s", "/Show"}) {
        ProgramResult result = run({"", variable, show});
        EXPECT_EQ(result.out, kPlain + "\n\n") << show;
        EXPECT_EQ(result.status, 0);
    }
}

TEST_F(PlaincastTest, CopiesToTheClipboardAndTheTextFile) {
    ProgramResult result = run({variable, text_file});
    EXPECT_EQ(result.err, "Text copied to clipboard.\nText written to " + text_file + ".\n");
    EXPECT_EQ(result.out, "\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(clipboard.calls, (Calls{"open", "empty", "set_text", "close"}));
    EXPECT_EQ(clipboard.text, kPlain);
    EXPECT_EQ(as_string(read_file(text_file)), kPlain);

    write_file(variable, variable_file("**TI89**", 12, string_data("A\rB\x80\xFF")));
    write_file(text_file, "an older and longer text");
    result = run({variable, text_file, "/S"});
    EXPECT_EQ(result.out, "A\r\nB\x80\xFF\n\n");
    EXPECT_EQ(as_string(read_file(text_file)), "A\r\nB\x80\xFF");
    EXPECT_EQ(list_dir(dir.path().string()), (Calls{"notes.9xt", "notes.txt"}));

    // The largest STR, all escapes: four times its size in plain text.
    write_file(variable, variable_file("**TI89**", 12, string_data(std::string(65532, '\x01'))));
    EXPECT_EQ(run({variable, text_file}).status, 0);
    EXPECT_EQ(clipboard.text->size(), 4u * 65532);
    EXPECT_EQ(read_file(text_file).size(), 4u * 65532);
}

// Each clipboard failure prints its line, shows nothing, and the text file
// is still written.
TEST_F(PlaincastTest, ClipboardFailuresStillWriteTheTextFile) {
    struct Case {
        bool FakePlatform::*failure;
        const char* message;
        Calls calls;
    };
    for (const Case& c : {
             Case{&FakePlatform::fail_open, "Error: Unable to open clipboard.\n", {"open"}},
             Case{&FakePlatform::fail_empty,
                  "Error: Unable to empty clipboard.\n",
                  {"open", "empty", "close"}},
             Case{&FakePlatform::fail_set,
                  "Error: Unable to set clipboard data.\n",
                  {"open", "empty", "set_text", "close"}},
         }) {
        clipboard = FakePlatform();
        clipboard.*c.failure = true;
        std::remove(text_file.c_str());
        ProgramResult result = run({variable, "/S", text_file});
        EXPECT_EQ(result.err, c.message + "Text written to "s + text_file + ".\n");
        EXPECT_EQ(result.out, "\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(clipboard.calls, c.calls);
        EXPECT_EQ(as_string(read_file(text_file)), kPlain);
    }
    // --no-clipboard skips the step without a word, and /S shows the text.
    clipboard = FakePlatform();
    clipboard.fail_open = true;
    ProgramResult result = run({variable, "/S", text_file, "--no-clipboard"});
    EXPECT_EQ(result.err, "Text written to " + text_file + ".\n");
    EXPECT_EQ(result.out, kPlain + "\n\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(clipboard.calls.empty());
}

TEST_F(PlaincastTest, TextFileThatCannotBeCreated) {
    std::string missing = dir.file("no/such/folder.txt");
    ProgramResult result = run({variable, missing});
    EXPECT_EQ(result.err,
              "Text copied to clipboard.\nCan't create " + missing + ", use clipboard.\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(clipboard.text, kPlain);
}

TEST_F(PlaincastTest, FilesThatAreNoText) {
    std::string missing = dir.file("missing.89t");
    ProgramResult result = run({missing});
    EXPECT_EQ(result.err, "Error: Can't open " + missing + ".\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 1);

    // Signature or format word wrong: no empty line.
    Bytes wrong_model = variable_file("**TI83**", 11, text_data(kText));
    Bytes wrong_format = variable_file("**TI89**", 11, text_data(kText));
    wrong_format[8] = 2;
    // A type that is no text, or a header too short to hold one: the empty line follows.
    Bytes picture = variable_file("**TI89**", 16, "\0\x01\0\x08\xFF"s);
    Bytes short_header = variable_file("**TI89**", 11, "");
    short_header.resize(60);
    for (const auto& [file, out] : std::vector<std::pair<Bytes, std::string>>{
             {wrong_model, ""}, {wrong_format, ""}, {picture, "\n"}, {short_header, "\n"}}) {
        write_file(variable, file);
        result = run({variable, text_file, "/S"});
        EXPECT_EQ(result.err, "Error: File type not supported.\n");
        EXPECT_EQ(result.out, out);
        EXPECT_EQ(result.status, 1);
    }
    EXPECT_TRUE(clipboard.calls.empty());
    EXPECT_EQ(list_dir(dir.path().string()), Calls{"notes.9xt"});
}

}  // namespace
}  // namespace varkit::testing

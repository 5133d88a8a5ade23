// Plaincast and Plainpress through the shared clipboard folder of the files
// backend.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/text/text_fixtures.h"

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

class FilesClipboardTest : public ::testing::Test {
  protected:
    ProgramResult run(const std::string& program, const Names& args) {
        return run_executable(
            program, args, {"VARKIT_CLIPBOARD=files", "VARKIT_CLIPBOARD_DIR=" + clip, "LC_ALL=C"});
    }

    TempDir dir;
    std::string clip = dir.file("clip");
};

// A text goes out through the clipboard and comes back in from it.
TEST_F(FilesClipboardTest, TextOutAndBackIn) {
    write_file(dir.file("notes.9xt"),
               variable_file("**TI92P*", 11, text_data(" abc\rCx\r\x0C\\\x01\x80\r ")));
    const std::string plain = "abc\r\nC:x\r\nB:\\\\\\01\x80\r\n";
    ProgramResult out = run("Plaincast", {dir.file("notes.9xt"), "/S"});
    EXPECT_EQ(out.err, "Text copied to clipboard.\n");
    EXPECT_EQ(out.out, plain + "\n\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(as_string(read_file(clip + "/text.txt")), plain);

    ProgramResult in = run("Plainpress", {dir.file("back.89s"), "/N", "copy"});
    EXPECT_EQ(in.err, "Done!\n");
    EXPECT_EQ(in.status, 0);
    // The STR keeps the markers as characters; the text's own backslash
    // before an escape does not survive the trip.
    EXPECT_EQ(read_file(dir.file("back.89s")), variable_file("**TI89**", 12,
                                                             string_data("abc\rC:x\rB:\xB8"
                                                                         "1\x80\r"),
                                                             {"copy", "main", "From clipboard"}));
}

TEST_F(FilesClipboardTest, ClipboardWithoutTextOrRefused) {
    write_file(dir.file("s.89s"), variable_file("**TI89**", 12, string_data("hello")));
    // An emptied clipboard holds no text.
    ASSERT_EQ(run("Plaincast", {dir.file("s.89s")}).status, 0);
    std::filesystem::remove(clip + "/text.txt");
    ProgramResult in = run("Plainpress", {dir.file("t.89t")});
    EXPECT_EQ(in.err, "Error: Unable to get clipboard data.\n");
    EXPECT_EQ(in.status, 1);

    // A clipboard folder that others may enter is refused: the clipboard step
    // fails and the text file is still written.
    ASSERT_EQ(chmod(clip.c_str(), 0755), 0);
    ProgramResult out = run("Plaincast", {dir.file("s.89s"), dir.file("s.txt"), "/S"});
    EXPECT_EQ(out.err,
              "Error: Unable to open clipboard.\nText written to " + dir.file("s.txt") + ".\n");
    EXPECT_EQ(out.out, "\n");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(as_string(read_file(dir.file("s.txt"))), "hello");
    in = run("Plainpress", {dir.file("t.89t")});
    EXPECT_EQ(in.err, "Error: Unable to open clipboard.\n");
    EXPECT_EQ(list_dir(dir.path().string()), (Names{"clip", "s.89s", "s.txt"}));
}

}  // namespace
}  // namespace varkit::testing

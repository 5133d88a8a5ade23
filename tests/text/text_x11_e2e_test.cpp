// Plaincast and Plainpress on a real X11 clipboard, an Xvfb server of the
// test's own, checked against an independent client (xclip).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/env_override.h"
#include "tests/support/program_run.h"
#include "tests/support/tool_run.h"
#include "tests/support/xvfb_server.h"
#include "tests/text/text_fixtures.h"

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

// An Xvfb server of the test's own; the clipboard servers of the programs and
// of xclip end with it.
class XvfbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!tool_exists("Xvfb") || !tool_exists("xclip")) {
            GTEST_SKIP() << "Xvfb or xclip is not installed";
        }
        server_ = std::make_unique<XvfbServer>();
        ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
        env_.set("DISPLAY", server_->display());
    }
    ProgramResult run(const std::string& program, const Names& args,
                      const std::string& locale = "LC_ALL=C") {
        // The clipboard folder is the test's own, should the X11 clipboard
        // not be chosen.
        return run_executable(
            program, args,
            {"VARKIT_CLIPBOARD=x11", "VARKIT_CLIPBOARD_DIR=" + dir.file("clip"), locale});
    }
    std::string xclip_out(const std::string& target) {
        return run_tool({"xclip", "-selection", "clipboard", "-t", target, "-o"}).out;
    }

    TempDir dir;
    std::unique_ptr<XvfbServer> server_;
    EnvOverride env_;
};

// Text placed by Plaincast is read by xclip: byte for byte as STRING, through
// the calculator's character table as UTF8_STRING (5→x, α, a≤b, θ); a UTF-8
// console is shown the same characters, the C locale the bytes.
TEST_F(XvfbTest, PlaincastTextReadByXclip) {
    write_file(dir.file("n.89t"), variable_file("**TI89**", 11,
                                                text_data(" abc\rCx\r\x0C\xE9\r 5\x16x \x80 a\x9C"
                                                          "b \x88\x01")));
    const std::string bytes =
        "abc\r\nC:x\r\nB:\xE9\r\n5\\\\22x \x80 a\x9C"
        "b \x88\\\\01";
    const std::string utf8 =
        "abc\r\nC:x\r\nB:\u00E9\r\n5\u2192x \u03B1 a\u2264"
        "b \u03B8\\\\01";
    ProgramResult out = run("Plaincast", {dir.file("n.89t"), "/S"});
    EXPECT_EQ(out.err, "Text copied to clipboard.\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, bytes + "\n\n");
    EXPECT_EQ(xclip_out("STRING"), bytes);
    EXPECT_EQ(xclip_out("UTF8_STRING"), utf8);
    EXPECT_EQ(xclip_out("text/plain;charset=utf-8"), utf8);
    EXPECT_EQ(run("Plaincast", {dir.file("n.89t"), "/S"}, "LC_ALL=C.UTF-8").out, utf8 + "\n\n");

    // --no-clipboard shows the text and leaves the clipboard's owner alone.
    write_file(dir.file("s.89s"), variable_file("**TI89**", 12, string_data("other")));
    const std::uint32_t owner = server_->clipboard_owner();
    ASSERT_NE(owner, 0u);
    ProgramResult alone = run("Plaincast", {dir.file("s.89s"), "/S", "--no-clipboard"});
    EXPECT_EQ(alone.out, "other\n\n");
    EXPECT_EQ(alone.err, "");
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(server_->clipboard_owner(), owner);
    EXPECT_EQ(xclip_out("STRING"), bytes);
}

// Text placed by xclip is imported by Plainpress, and what Plaincast places
// comes back through the same clipboard.
TEST_F(XvfbTest, PlainpressImportsXclipText) {
    write_file(dir.file("in.txt"), "line1\r\nC:run \xC3\xA9\r\n");
    // xclip returns once its server owns the clipboard.
    ASSERT_EQ(
        run_tool({"xclip", "-selection", "clipboard", "-i", dir.file("in.txt")}, "", false).status,
        0);
    ProgramResult in = run("Plainpress", {dir.file("notes.89t")});
    EXPECT_EQ(in.err, "Done!\n");
    EXPECT_EQ(read_file(dir.file("notes.89t")),
              variable_file("**TI89**", 11, text_data(" line1\rCrun \xE9\r "),
                            {"notes", "main", "From clipboard"}));

    ASSERT_EQ(run("Plaincast", {dir.file("notes.89t")}).status, 0);
    ASSERT_EQ(run("Plainpress", {dir.file("again.89t"), "/N", "notes"}).status, 0);
    EXPECT_EQ(read_file(dir.file("again.89t")), read_file(dir.file("notes.89t")));

    // Text copied from a UTF-8 program arrives as calculator codes; a
    // character the calculator lacks leaves the clipboard without text.
    for (const auto& [copied, text] : std::vector<std::pair<std::string, std::string>>{
             {"x\u2192y \u2264 \u03C0\n\u03B8", " x\x16y \x9C \x8C\r \x88"}, {"5 \u20AC", ""}}) {
        write_file(dir.file("in.txt"), copied);
        ASSERT_EQ(run_tool({"xclip", "-selection", "clipboard", "-t", "UTF8_STRING", "-i",
                            dir.file("in.txt")},
                           "", false)
                      .status,
                  0);
        // The previous owner may still answer for a moment: wait for the new text.
        for (int i = 0; i < 500 && xclip_out("UTF8_STRING") != copied; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ProgramResult pasted = run("Plainpress", {dir.file("pasted.89t")});
        if (text.empty()) {
            EXPECT_EQ(pasted.err, "Error: Unable to get clipboard data.\n");
            EXPECT_EQ(pasted.status, 1);
            continue;
        }
        EXPECT_EQ(pasted.err, "Done!\n");
        EXPECT_EQ(
            read_file(dir.file("pasted.89t")),
            variable_file("**TI89**", 11, text_data(text), {"pasted", "main", "From clipboard"}));
    }
}

}  // namespace
}  // namespace varkit::testing

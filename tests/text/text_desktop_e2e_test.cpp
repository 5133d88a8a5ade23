// Plaincast and Plainpress on real desktop clipboards of the test's own,
// checked against independent clients: xclip on Xvfb, wl-copy and wl-paste
// on headless sway.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/test_desktop.h"
#include "tests/text/text_fixtures.h"

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

// A desktop of the test's own; the clipboard servers of the programs and of
// the other client end with it.
class DesktopText : public ::testing::TestWithParam<Desktop> {
  protected:
    void SetUp() override {
        desktop_ = std::make_unique<TestDesktop>(GetParam());
        if (desktop_->tools_missing()) {
            GTEST_SKIP() << desktop_->failure();
        }
        ASSERT_EQ(desktop_->failure(), "");
    }
    ProgramResult run(const std::string& program, const Names& args,
                      const std::string& locale = "LC_ALL=C") {
        // The clipboard folder is the test's own, should the desktop's
        // clipboard not be chosen.
        std::vector<std::string> env = desktop_->env();
        env.insert(env.end(), {"VARKIT_CLIPBOARD_DIR=" + dir.file("clip"), locale});
        return run_executable(program, args, env);
    }
    std::string paste(const std::string& target) { return desktop_->paste(target); }

    TempDir dir;
    std::unique_ptr<TestDesktop> desktop_;
};

INSTANTIATE_TEST_SUITE_P(, DesktopText, ::testing::Values(Desktop::x11, Desktop::wayland),
                         [](const auto& info) { return desktop_name(info.param); });

// Text placed by Plaincast is read by the other client after Plaincast
// ended: byte for byte as STRING, through the calculator's character table as
// UTF8_STRING and text/plain;charset=utf-8 (5→x, α, a≤b, π, θ); a UTF-8
// console is shown the same characters, the C locale the bytes.
TEST_P(DesktopText, PlaincastTextReadByTheOtherClient) {
    write_file(dir.file("n.89t"), variable_file("**TI89**", 11,
                                                text_data(" abc\rCx\r\x0C\xE9\r 5\x16x \x80 a\x9C"
                                                          "b \x8C\x88\x01")));
    const std::string bytes =
        "abc\r\nC:x\r\nB:\xE9\r\n5\\\\22x \x80 a\x9C"
        "b \x8C\x88\\\\01";
    const std::string utf8 =
        "abc\r\nC:x\r\nB:\u00E9\r\n5\u2192x \u03B1 a\u2264"
        "b \u03C0\u03B8\\\\01";
    ProgramResult out = run("Plaincast", {dir.file("n.89t"), "/S"});
    EXPECT_EQ(out.err, "Text copied to clipboard.\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, bytes + "\n\n");
    EXPECT_EQ(paste("STRING"), bytes);
    EXPECT_EQ(paste("UTF8_STRING"), utf8);
    EXPECT_EQ(paste("text/plain;charset=utf-8"), utf8);
    EXPECT_EQ(run("Plaincast", {dir.file("n.89t"), "/S"}, "LC_ALL=C.UTF-8").out, utf8 + "\n\n");

    // --no-clipboard shows the text and leaves the clipboard as it was (on
    // X11 its owner too).
    write_file(dir.file("s.89s"), variable_file("**TI89**", 12, string_data("other")));
    const std::optional<std::uint32_t> owner = desktop_->x11_clipboard_owner();
    ProgramResult alone = run("Plaincast", {dir.file("s.89s"), "/S", "--no-clipboard"});
    EXPECT_EQ(alone.out, "other\n\n");
    EXPECT_EQ(alone.err, "");
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(desktop_->x11_clipboard_owner(), owner);
    EXPECT_EQ(paste("STRING"), bytes);
}

// Text placed by the other client is imported by Plainpress, and what
// Plaincast places comes back through the same clipboard.
TEST_P(DesktopText, PlainpressImportsTheOtherClientsText) {
    ASSERT_EQ(desktop_->copy("UTF8_STRING", "line1\r\nC:run \xC3\xA9\r\n"), 0);
    ProgramResult in = run("Plainpress", {dir.file("notes.89t")});
    EXPECT_EQ(in.err, "Done!\n");
    EXPECT_EQ(read_file(dir.file("notes.89t")),
              variable_file("**TI89**", 11, text_data(" line1\rCrun \xE9\r "),
                            {"notes", "main", "From clipboard"}));

    ASSERT_EQ(run("Plaincast", {dir.file("notes.89t")}).status, 0);
    ASSERT_EQ(run("Plainpress", {dir.file("again.89t"), "/N", "notes"}).status, 0);
    EXPECT_EQ(read_file(dir.file("again.89t")), read_file(dir.file("notes.89t")));

    // Text copied from a UTF-8 program arrives as calculator codes; a
    // character the calculator lacks is named, and nothing is written.
    for (const auto& [copied, text] : std::vector<std::pair<std::string, std::string>>{
             {"x\u2192y \u2264 \u03C0\n\u03B8", " x\x16y \x9C \x8C\r \x88"}, {"5 \u20AC", ""}}) {
        ASSERT_EQ(desktop_->copy("UTF8_STRING", copied), 0);
        ProgramResult pasted = run("Plainpress", {dir.file("pasted.89t")});
        if (text.empty()) {
            EXPECT_EQ(pasted.err, "Error: \"\u20AC\" has no calculator character.\n");
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

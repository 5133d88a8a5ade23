// Dialogs, the default sound and "open with the desktop's application",
// with stand-ins for zenity, the sound player and xdg-open that record the
// arguments they were given, and a pseudo-terminal for the prompt.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/desktop/dialogs.h"
#include "platform/desktop/shell.h"
#include "tests/support/env_override.h"
#include "tests/support/test_files.h"

namespace varkit::testing {
namespace {

using desktop::FileDialogKind;

// Records its arguments, one per line, in $FAKE_DIR/<its name>.args, adds
// its session id, prints $FAKE_ANSWER and exits with $FAKE_STATUS.
constexpr const char* kFakeTool = R"(#!/bin/sh
name=$(basename "$0")
for a in "$@"; do printf '%s\n' "$a"; done > "$FAKE_DIR/$name.tmp"
cut -d' ' -f6 /proc/$$/stat > "$FAKE_DIR/$name.sid"
mv "$FAKE_DIR/$name.tmp" "$FAKE_DIR/$name.args"
[ -n "$FAKE_ANSWER" ] && printf '%s\n' "$FAKE_ANSWER"
exit ${FAKE_STATUS:-0}
)";

const FileDialog kSaveDialog{
    "Save As (Rich Text Format)", {{"Rich Text Format", "*.rtf"}}, "rtf", ""};
const FileDialog kOpenDialog{"TI-89, 92, or 92 Plus file to convert",
                             {{"Lab Report", "*.89R;*.92R;*.9xR"}, {"TEXT var", "*.89T"}},
                             "",
                             ""};

class Desktop : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"zenity", "canberra-gtk-play", "xdg-open"}) {
            std::string path = dir_.file(tool);
            write_file(path, std::string(kFakeTool));
            chmod(path.c_str(), 0755);
        }
        const char* path = std::getenv("PATH");
        env_.set("PATH", dir_.path().string() + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
        env_.set("FAKE_DIR", dir_.path().string());
        env_.set("DISPLAY", ":77");
        env_.remove("WAYLAND_DISPLAY");
        env_.remove("FAKE_ANSWER");
        env_.remove("FAKE_STATUS");
    }

    std::vector<std::string> arguments_of(const std::string& tool) {
        std::ifstream in(dir_.file(tool + ".args"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    bool ran(const std::string& tool) { return std::filesystem::exists(dir_.file(tool + ".args")); }

    TempDir dir_;
    EnvOverride env_;
};

TEST_F(Desktop, ZenityGetsEveryValueAsOneArgumentAndItsAnswerComesBack) {
    env_.set("FAKE_ANSWER", "/tmp/it's; a \"name\"");
    EXPECT_EQ(desktop::choose_file(FileDialogKind::save, kSaveDialog), "/tmp/it's; a \"name\".rtf");
    EXPECT_EQ(arguments_of("zenity"),
              (std::vector<std::string>{"--file-selection", "--title=Save As (Rich Text Format)",
                                        "--save", "--confirm-overwrite",
                                        "--file-filter=Rich Text Format | *.rtf *.RTF"}));

    env_.set("FAKE_ANSWER", "/data/report.89r");
    EXPECT_EQ(desktop::choose_file(FileDialogKind::open, kOpenDialog), "/data/report.89r");
    std::vector<std::string> open_arguments = arguments_of("zenity");
    ASSERT_EQ(open_arguments.size(), 4u);
    EXPECT_EQ(open_arguments[2],
              "--file-filter=Lab Report | *.89R *.89r *.92R *.92r *.9xR *.9xr *.9XR");
    EXPECT_EQ(open_arguments[3], "--file-filter=TEXT var | *.89T *.89t");

    env_.set("FAKE_ANSWER", "Courier New");
    EXPECT_EQ(desktop::choose_font(), "Courier New");
}

TEST_F(Desktop, ACancelledOrMissingDialogCountsAsCancelled) {
    env_.set("FAKE_ANSWER", "/ignored");
    env_.set("FAKE_STATUS", "1");
    EXPECT_EQ(desktop::choose_file(FileDialogKind::open, kOpenDialog), std::nullopt);
    EXPECT_EQ(desktop::choose_font(), std::nullopt);
    if (!isatty(STDIN_FILENO)) {
        env_.set("FAKE_STATUS", "255");  // the tool could not show a window
        EXPECT_EQ(desktop::choose_file(FileDialogKind::save, kSaveDialog), std::nullopt);
        std::filesystem::remove(dir_.file("zenity.args"));
        env_.remove("DISPLAY");
        EXPECT_EQ(desktop::choose_file(FileDialogKind::save, kSaveDialog), std::nullopt);
        EXPECT_FALSE(ran("zenity"));
    }
}

// Runs `ask` in a child whose terminal is a pseudo-terminal, types `typed`
// into it and returns what the child's dialog answered ("-" for cancelled).
std::string answer_on_terminal(std::string (*ask)(), const std::string& typed) {
    int result_pipe[2];
    EXPECT_EQ(pipe(result_pipe), 0);
    int terminal = -1;
    pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        close(result_pipe[0]);
        unsetenv("DISPLAY");
        std::string answer = ask();
        ssize_t written = write(result_pipe[1], answer.data(), answer.size());
        _exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 1);
    }
    close(result_pipe[1]);
    EXPECT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    std::string answer;
    for (;;) {
        pollfd watched[2] = {{result_pipe[0], POLLIN, 0}, {terminal, POLLIN, 0}};
        if (poll(watched, 2, 10000) <= 0) {
            break;
        }
        char buffer[512];
        if (watched[1].revents & POLLIN) {
            (void)!read(terminal, buffer, sizeof buffer);  // the prompts
        }
        if (watched[0].revents & (POLLIN | POLLHUP)) {
            ssize_t n = read(result_pipe[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(result_pipe[0]);
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    return answer;
}

TEST_F(Desktop, WithoutADisplayTheTerminalAsks) {
    static std::string existing;
    existing = dir_.file("report.89r");
    write_file(existing, std::string("x"));
    auto open_answer =
        +[]() { return desktop::choose_file(FileDialogKind::open, kOpenDialog).value_or("-"); };
    // A name that does not exist is asked again.
    EXPECT_EQ(answer_on_terminal(open_answer, dir_.file("missing.89r") + "\n" + existing + "\n"),
              existing);
    auto save_answer =
        +[]() { return desktop::choose_file(FileDialogKind::save, kSaveDialog).value_or("-"); };
    EXPECT_EQ(answer_on_terminal(save_answer, "notes\n"), "notes.rtf");
    EXPECT_EQ(answer_on_terminal(save_answer, "\n"), "-");
    auto font_answer = +[]() { return desktop::choose_font().value_or("-"); };
    EXPECT_EQ(answer_on_terminal(font_answer, "Courier New\n"), "Courier New");
    EXPECT_FALSE(ran("zenity"));
}

TEST_F(Desktop, TheDefaultSoundUsesTheDesktopsPlayerOnlyWithADisplay) {
    desktop::play_default_sound();
    EXPECT_EQ(arguments_of("canberra-gtk-play"), std::vector<std::string>{"--id=bell"});
    std::filesystem::remove(dir_.file("canberra-gtk-play.args"));
    env_.remove("DISPLAY");
    desktop::play_default_sound();
    EXPECT_FALSE(ran("canberra-gtk-play"));
}

TEST_F(Desktop, OpenDocumentStartsXdgOpenDetachedWithTheNameAsOneArgument) {
    desktop::open_document("-odd; \"name\".rtf");
    for (int i = 0; i < 500 && !ran("xdg-open"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(arguments_of("xdg-open"), std::vector<std::string>{"./-odd; \"name\".rtf"});
    std::ifstream sid_file(dir_.file("xdg-open.sid"));
    pid_t session = 0;
    sid_file >> session;
    EXPECT_GT(session, 0);
    EXPECT_NE(session, getsid(0));
}

}  // namespace
}  // namespace varkit::testing

// A bitmap placed on a real X11 clipboard by the built Pixelcast, read by an
// independent client (xclip) as image/png and by Pixelpress, under an Xvfb
// server the test starts and stops.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/picture/picture_test_files.h"
#include "tests/support/program_run.h"

extern char** environ;

namespace varkit {
namespace {

using testing::Bytes;
using testing::Pixels;
using testing::ProgramResult;

// An Xvfb server on a display it chooses itself, stopped with its clients'
// connections when the object goes.
class XvfbServer {
  public:
    XvfbServer() { start(); }
    ~XvfbServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

  private:
    void start() {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) {
            return;
        }
        // Out of the way of descriptor 3, where Xvfb is told to write.
        int writer = fcntl(ready[1], F_DUPFD_CLOEXEC, 10);
        close(ready[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writer, 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // -noreset: a server that resets when its last client leaves refuses
        // the connections that come in meanwhile.
        std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset"};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(writer);
        // Xvfb writes its display number and a line end once it accepts
        // connections; it dies if the pipe closes before the line end.
        std::string number;
        pollfd fd{ready[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&fd, 1, 20000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        if (c == '\n' && !number.empty()) {
            display_ = ":" + number;
        }
        close(ready[0]);
    }
    pid_t pid_ = -1;
    std::string display_;
};

bool on_path(const char* tool) {
    return testing::run_command({"sh", "-c", std::string("command -v ") + tool}).status == 0;
}

TEST(PictureX11, XclipReadsThePlacedBitmapAsPng) {
    if (!on_path("Xvfb") || !on_path("xclip")) {
        GTEST_SKIP() << "Xvfb or xclip is not installed (scripts/setup.sh installs them)";
    }
    XvfbServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    testing::TempDir dir;
    const std::vector<std::string> env = {"DISPLAY=" + server.display(), "VARKIT_CLIPBOARD=x11",
                                          "VARKIT_CLIPBOARD_DIR=" + dir.file("clipboard"),
                                          "TMPDIR=" + dir.path().string()};
    Pixels image = testing::pattern(37, 101);
    std::string picture = dir.file("pattern.89i");
    testing::write_file(picture, testing::picture_file(image));

    ProgramResult cast = testing::run_executable("Pixelcast", {picture}, env);
    ASSERT_EQ(cast.status, 0) << cast.err;
    EXPECT_EQ(cast.err, "Image copied to clipboard.\n");

    ProgramResult png =
        testing::run_command({"xclip", "-selection", "clipboard", "-t", "image/png", "-o"}, env);
    ASSERT_EQ(png.status, 0);
    ASSERT_EQ(png.out.substr(0, 8), "\x89PNG\r\n\x1a\n");
    testing::write_file(dir.file("clipboard.png"), png.out);
    bool available = false;
    EXPECT_EQ(testing::read_image(dir.file("clipboard.png"), &available), image);
    EXPECT_TRUE(available) << "no image reader: /usr/bin/python3 with PIL (python3-pil)";

    // Pixelpress takes the same bitmap back from the X11 clipboard.
    ProgramResult press = testing::run_executable("Pixelpress", {dir.file("back.89i")}, env);
    ASSERT_EQ(press.status, 0) << press.err;
    Bytes back = testing::read_file(dir.file("back.89i"));
    EXPECT_EQ(testing::unpack_rows(Bytes(back.begin() + 92, back.end() - 3), 37, 101), image);
}

}  // namespace
}  // namespace varkit

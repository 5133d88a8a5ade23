// Plaincast and Plainpress on a real X11 clipboard, an Xvfb server of the
// test's own, checked against an independent client (xclip).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/text/text_fixtures.h"

extern char** environ;

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

bool on_path(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && access((folder + "/" + tool).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

// Reads `fd` to its end (or its first line end), at most 10 seconds.
std::string read_all(int fd, bool one_line = false) {
    std::string bytes;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    pollfd wait{fd, POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&wait, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (one_line && bytes.find('\n') != std::string::npos) {
            break;
        }
    }
    return bytes;
}

// A tool started with an argument vector: standard input from /dev/null,
// standard output to `out_fd` (or /dev/null), standard error to /dev/null,
// `extra_fd` passed on as descriptor 3.
pid_t spawn_tool(const Names& args, const std::string& display, int out_fd = -1,
                 int extra_fd = -1) {
    std::vector<std::string> env{"DISPLAY=" + display};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) {
            env.push_back(*e);
        }
    }
    std::vector<char*> argv, envp;
    std::vector<std::string> storage = args;
    for (std::string& s : storage) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    for (std::string& s : env) {
        envp.push_back(s.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (extra_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, extra_fd, 3);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun run_tool(const Names& args, const std::string& display) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return {};
    }
    pid_t pid = spawn_tool(args, display, pipe_fds[1]);
    close(pipe_fds[1]);
    ToolRun run;
    if (pid > 0) {
        run.out = read_all(pipe_fds[0]);
        kill(pid, SIGKILL);  // a no-op for a tool that has ended
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(pipe_fds[0]);
    return run;
}

// An Xvfb server on a display it picks itself, stopped when the test ends;
// the clipboard servers of the programs and of xclip end with it.
class XvfbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!on_path("Xvfb") || !on_path("xclip")) {
            GTEST_SKIP() << "Xvfb or xclip is not installed";
        }
        int pipe_fds[2];
        ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
        server_ = spawn_tool({"Xvfb", "-displayfd", "3", "-nolisten", "tcp"}, "", -1, pipe_fds[1]);
        close(pipe_fds[1]);
        std::string number = read_all(pipe_fds[0], true);
        close(pipe_fds[0]);
        ASSERT_GT(server_, 0);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        display_ = ":" + number.substr(0, number.find('\n'));
    }
    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }
    ProgramResult run(const std::string& program, const Names& args) {
        // The clipboard folder is the test's own, should the X11 clipboard
        // not be chosen.
        return run_executable(program, args,
                              {"DISPLAY=" + display_, "VARKIT_CLIPBOARD=x11",
                               "VARKIT_CLIPBOARD_DIR=" + dir.file("clip")});
    }
    std::string xclip_out(const std::string& target) {
        return run_tool({"xclip", "-selection", "clipboard", "-t", target, "-o"}, display_).out;
    }

    TempDir dir;
    pid_t server_ = -1;
    std::string display_;
};

// Text placed by Plaincast is read by xclip: byte for byte as STRING, as
// UTF-8 (each byte a Latin-1 character) as UTF8_STRING.
TEST_F(XvfbTest, PlaincastTextReadByXclip) {
    write_file(dir.file("n.89t"),
               variable_file("**TI89**", 11, text_data(" abc\rCx\r\x0C\xE9\r ")));
    ProgramResult out = run("Plaincast", {dir.file("n.89t"), "/S"});
    EXPECT_EQ(out.err, "Text copied to clipboard.\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, "abc\r\nC:x\r\nB:\xE9\r\n\n\n");
    EXPECT_EQ(xclip_out("STRING"), "abc\r\nC:x\r\nB:\xE9\r\n");
    EXPECT_EQ(xclip_out("UTF8_STRING"), "abc\r\nC:x\r\nB:\xC3\xA9\r\n");
}

// Text placed by xclip is imported by Plainpress, and what Plaincast places
// comes back through the same clipboard.
TEST_F(XvfbTest, PlainpressImportsXclipText) {
    write_file(dir.file("in.txt"), "line1\r\nC:run \xC3\xA9\r\n");
    pid_t xclip =
        spawn_tool({"xclip", "-selection", "clipboard", "-i", dir.file("in.txt")}, display_);
    ASSERT_GT(xclip, 0);
    int status = 0;
    waitpid(xclip, &status, 0);  // the parent returns once its server owns the clipboard
    ASSERT_EQ(status, 0);
    ProgramResult in = run("Plainpress", {dir.file("notes.89t")});
    EXPECT_EQ(in.err, "Done!\n");
    EXPECT_EQ(read_file(dir.file("notes.89t")),
              variable_file("**TI89**", 11, text_data(" line1\rCrun \xE9\r "),
                            {"notes", "main", "From clipboard"}));

    ASSERT_EQ(run("Plaincast", {dir.file("notes.89t")}).status, 0);
    ASSERT_EQ(run("Plainpress", {dir.file("again.89t"), "/N", "notes"}).status, 0);
    EXPECT_EQ(read_file(dir.file("again.89t")), read_file(dir.file("notes.89t")));
}

}  // namespace
}  // namespace varkit::testing

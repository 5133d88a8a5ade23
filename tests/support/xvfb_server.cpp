#include "tests/support/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>

extern char** environ;

namespace varkit::testing {
namespace {

constexpr int kDisplayFd = 3;

}  // namespace

XvfbServer::XvfbServer() {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, report[1], kDisplayFd);
    // -noreset: like a desktop's server, it keeps running state when the
    // last client leaves (a resetting server briefly refuses connections).
    const char* argv[] = {"Xvfb",     "-displayfd", "3", "-nolisten",  "tcp",
                          "-noreset", "-screen",    "0", "640x480x24", nullptr};
    int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(report[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(report[0]);
        return;
    }
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (number.empty() || number.back() != '\n') {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd watched{report[0], POLLIN, 0};
        char c = 0;
        if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) <= 0 ||
            read(report[0], &c, 1) != 1) {
            break;
        }
        number += c;
    }
    close(report[0]);
    if (!number.empty() && number.back() == '\n') {
        number.pop_back();
        display_ = ":" + number;
    }
}

std::uint32_t XvfbServer::clipboard_owner() const {
    xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
    std::uint32_t owner = 0;
    if (xcb_connection_has_error(connection) == 0) {
        auto* atom = xcb_intern_atom_reply(connection,
                                           xcb_intern_atom(connection, 0, 9, "CLIPBOARD"), nullptr);
        if (atom != nullptr) {
            auto* answer = xcb_get_selection_owner_reply(
                connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
            owner = answer != nullptr ? answer->owner : 0;
            std::free(answer);
            std::free(atom);
        }
    }
    xcb_disconnect(connection);
    return owner;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

}  // namespace varkit::testing

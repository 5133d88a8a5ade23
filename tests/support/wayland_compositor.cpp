#include "tests/support/wayland_compositor.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/support/tool_run.h"

namespace varkit::testing {
namespace {

using namespace std::chrono_literals;

std::string user_name(uid_t uid) {
    passwd* entry = getpwuid(uid);
    return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

// A root test runs the compositor as nobody; anyone else as themselves.
passwd* unprivileged_account() {
    return geteuid() == 0 ? getpwnam("nobody") : nullptr;
}

void write_file(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
}

// Runs once the compositor is up, inside it: lets the test's user onto
// XWayland (by default only the compositor's user may connect) and says
// which sockets to use.
std::string ready_script(bool xwayland) {
    std::string script = "#!/bin/sh\n";
    if (xwayland) {
        script += "xhost +si:localuser:" + user_name(geteuid()) + " >/dev/null 2>&1\n";
    }
    return script +
           "echo \"$WAYLAND_DISPLAY $DISPLAY\" > \"$XDG_RUNTIME_DIR/ready.new\"\n"
           "mv \"$XDG_RUNTIME_DIR/ready.new\" \"$XDG_RUNTIME_DIR/ready\"\n";
}

std::vector<std::string> compositor_command(WaylandCompositor::Kind kind,
                                            const std::string& runtime) {
    if (kind == WaylandCompositor::Kind::weston) {
        // The kiosk shell and no input method: no helper clients to outlive it.
        write_file(runtime + "/weston.ini",
                   "[core]\nidle-time=0\n[input-method]\npath=\n[autolaunch]\npath=" + runtime +
                       "/ready.sh\n",
                   0644);
        return {"weston", "--backend=headless-backend.so", "--shell=kiosk-shell.so",
                "--socket=wayland-1", "--config=" + runtime + "/weston.ini"};
    }
    const bool xwayland = kind == WaylandCompositor::Kind::sway_with_xwayland;
    write_file(runtime + "/sway.config",
               std::string("xwayland ") + (xwayland ? "force" : "disable") + "\nexec " + runtime +
                   "/ready.sh\n",
               0644);
    return {"sway", "-c", runtime + "/sway.config"};
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : env) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

}  // namespace

WaylandCompositor::WaylandCompositor(Kind kind) {
    start(kind);
}

void WaylandCompositor::start(Kind kind) {
    std::vector<std::string> tools{kind == Kind::weston ? "weston" : "sway", "setpriv"};
    if (kind == Kind::sway_with_xwayland) {
        tools.insert(tools.end(), {"Xwayland", "xhost"});
    }
    for (const std::string& tool : tools) {
        if (!tool_exists(tool)) {
            failure_ = tool + " is not installed (scripts/setup.sh test installs it)";
            tools_missing_ = true;
            return;
        }
    }
    char folder[] = "/tmp/varkit-wayland-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        failure_ = "no runtime folder";
        return;
    }
    runtime_dir_ = folder;
    write_file(runtime_dir_ + "/ready.sh", ready_script(kind == Kind::sway_with_xwayland), 0755);
    std::vector<std::string> argv = compositor_command(kind, runtime_dir_);
    const std::string program = argv[0];
    if (passwd* account = unprivileged_account()) {
        for (const auto& entry : std::filesystem::directory_iterator(runtime_dir_)) {
            chown(entry.path().c_str(), account->pw_uid, account->pw_gid);
        }
        chown(runtime_dir_.c_str(), account->pw_uid, account->pw_gid);
        argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(account->pw_uid),
                                   "--regid=" + std::to_string(account->pw_gid), "--clear-groups"});
    }
    const char* path = std::getenv("PATH");
    pid_ = spawn(argv,
                 {"PATH=" + std::string(path != nullptr ? path : "/usr/bin:/bin"),
                  "HOME=" + runtime_dir_, "XDG_RUNTIME_DIR=" + runtime_dir_,
                  "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"},
                 runtime_dir_ + "/log");
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline &&
           waitpid(pid_, nullptr, WNOHANG) == 0) {
        std::ifstream ready(runtime_dir_ + "/ready");
        std::string name;
        if (ready >> name) {
            socket_ = runtime_dir_ + "/" + name;
            ready >> x_display_;
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
    failure_ = program + " did not start";
}

WaylandCompositor::~WaylandCompositor() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0) {
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 250 && !ended; ++i) {
            std::this_thread::sleep_for(20ms);
            ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
        }
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    if (!runtime_dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtime_dir_, ignored);
    }
}

}  // namespace varkit::testing

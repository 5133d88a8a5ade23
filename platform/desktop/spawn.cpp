#include "platform/desktop/spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/unique_fd.h"

extern char** environ;

namespace varkit::desktop {
namespace {

std::vector<char*> c_arguments(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    for (const std::string& argument : argv) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

class SpawnActions {
  public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

    void null_stream(int fd) {
        posix_spawn_file_actions_addopen(&actions_, fd, "/dev/null", O_RDWR, 0);
    }
    // Nothing of ours but the standard streams reaches the helper.
    void close_the_rest() { posix_spawn_file_actions_addclosefrom_np(&actions_, 3); }

  private:
    posix_spawn_file_actions_t actions_;
};

int wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads the pipe to its end; false when the limit passed first.
bool collect(int fd, std::string& out,
             std::optional<std::chrono::steady_clock::time_point> deadline) {
    for (;;) {
        int timeout_ms = -1;
        if (deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            *deadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) {
                return false;
            }
            timeout_ms = static_cast<int>(left);
        }
        pollfd watched{fd, POLLIN, 0};
        int ready = poll(&watched, 1, timeout_ms);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return ready < 0;
        }
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return true;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::string find_program(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        std::size_t end = folders.find(':');
        std::string_view folder = folders.substr(0, end);
        folders = end == std::string_view::npos ? std::string_view() : folders.substr(end + 1);
        std::string candidate =
            std::string(folder.empty() ? "." : folder) + "/" + std::string(name);
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

std::optional<Finished> run_program(const std::vector<std::string>& argv,
                                    std::optional<std::chrono::milliseconds> limit) {
    int pipe_fds[2];
    if (argv.empty() || pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd out_read(pipe_fds[0]);
    UniqueFd out_write(pipe_fds[1]);
    SpawnActions actions;
    actions.null_stream(0);
    posix_spawn_file_actions_adddup2(actions.get(), out_write.get(), 1);
    actions.null_stream(2);
    actions.close_the_rest();
    std::vector<char*> arguments = c_arguments(argv);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0].c_str(), actions.get(), nullptr, arguments.data(), environ) !=
        0) {
        return std::nullopt;
    }
    out_write.reset();
    Finished finished;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (limit) {
        deadline = std::chrono::steady_clock::now() + *limit;
    }
    if (!collect(out_read.get(), finished.out, deadline)) {
        kill(pid, SIGKILL);
    }
    finished.exit_status = wait_for(pid);
    return finished;
}

bool start_detached(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return false;
    }
    std::vector<char*> arguments = c_arguments(argv);
    SpawnActions actions;
    for (int fd = 0; fd <= 2; ++fd) {
        actions.null_stream(fd);
    }
    actions.close_the_rest();
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    // A middle process starts the helper and ends at once, so the helper is
    // handed to init and never lingers here as a zombie.
    pid_t middle = fork();
    if (middle == 0) {
        pid_t helper = 0;
        int started = posix_spawn(&helper, argv[0].c_str(), actions.get(), &attributes,
                                  arguments.data(), environ);
        _exit(started == 0 ? 0 : 1);
    }
    posix_spawnattr_destroy(&attributes);
    return middle > 0 && wait_for(middle) == 0;
}

}  // namespace varkit::desktop

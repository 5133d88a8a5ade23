#include "tests/support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

extern char** environ;

namespace varkit::testing {
namespace {

std::vector<char*> make_argv(std::vector<std::string>& storage) {
    std::vector<char*> argv;
    for (std::string& s : storage) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    return argv;
}

std::vector<std::string> merged_environment(const std::vector<std::string>& changes) {
    std::map<std::string, std::string> entries;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        entries[entry.substr(0, entry.find('='))] = entry;
    }
    for (const std::string& change : changes) {
        std::string name = change.substr(0, change.find('='));
        if (change.size() == name.size() + 1) {
            entries.erase(name);
        } else {
            entries[name] = change;
        }
    }
    std::vector<std::string> result;
    for (auto& [name, entry] : entries) {
        result.push_back(entry);
    }
    return result;
}

}  // namespace

ProgramResult run_in_process(ProgramMain program, const std::vector<std::string>& args,
                             Platform& platform) {
    std::vector<std::string> storage{"prog"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv = make_argv(storage);

    char* out_buffer = nullptr;
    char* err_buffer = nullptr;
    std::size_t out_size = 0;
    std::size_t err_size = 0;
    FILE* out = open_memstream(&out_buffer, &out_size);
    FILE* err = open_memstream(&err_buffer, &err_size);
    Runtime rt{out, err, platform};

    ProgramResult result;
    result.status = program(static_cast<int>(storage.size()), argv.data(), rt);
    std::fclose(out);
    std::fclose(err);
    result.out.assign(out_buffer, out_size);
    result.err.assign(err_buffer, err_size);
    std::free(out_buffer);
    std::free(err_buffer);
    return result;
}

std::string executable_path(const std::string& name) {
    return std::string(VARKIT_BIN_DIR) + "/" + name;
}

namespace {

// On Windows '/' begins a switch, so a Unix absolute path goes to a program
// run through Wine as Wine's drive Z: shows it: "/tmp/a.89t" is "Z:/tmp/a.89t".
bool is_unix_path(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '/' && argument.find('/', 1) != std::string::npos;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
}

// With VARKIT_TEST_WINE_BIN naming the Windows build's bin folder, the
// end-to-end runs start <Name>.exe from there through Wine; the paths it
// printed are given back in the Unix form the test handed over.
ProgramResult run_through_wine(const std::string& folder, const std::string& name,
                               const std::vector<std::string>& args,
                               const std::vector<std::string>& env, const std::string& input) {
    std::vector<std::string> command{"wine", folder + "/" + name + ".exe"};
    for (const std::string& argument : args) {
        command.push_back(is_unix_path(argument) ? "Z:" + argument : argument);
    }
    // Wine keeps its own server files under TMPDIR, and a new TMPDIR would
    // start a new server; Windows programs take their temporary folder from
    // the prefix anyway.
    std::vector<std::string> wine_env;
    for (const std::string& entry : env) {
        wine_env.push_back(entry.starts_with("TMPDIR=") ? "TMPDIR=" : entry);
    }
    ProgramResult result = run_command(command, wine_env, input);
    for (const std::string& argument : args) {
        if (is_unix_path(argument)) {
            replace_all(result.out, "Z:" + argument, argument);
            replace_all(result.err, "Z:" + argument, argument);
        }
    }
    return result;
}

}  // namespace

bool programs_run_through_wine() {
    return std::getenv("VARKIT_TEST_WINE_BIN") != nullptr;
}

ProgramResult run_executable(const std::string& name, const std::vector<std::string>& args,
                             const std::vector<std::string>& env, const std::string& input) {
    // The C locale, where the programs write the calculator's bytes, unless
    // the test names another.
    std::vector<std::string> locale_env{"LC_ALL=C"};
    locale_env.insert(locale_env.end(), env.begin(), env.end());
    if (const char* wine_bin = std::getenv("VARKIT_TEST_WINE_BIN")) {
        return run_through_wine(wine_bin, name, args, locale_env, input);
    }
    std::vector<std::string> command{executable_path(name)};
    command.insert(command.end(), args.begin(), args.end());
    return run_command(command, locale_env, input);
}

ProgramResult run_command(const std::vector<std::string>& command,
                          const std::vector<std::string>& env, const std::string& input) {
    std::vector<std::string> storage = command;
    std::vector<char*> argv = make_argv(storage);
    std::vector<std::string> env_storage = merged_environment(env);
    std::vector<char*> envp = make_argv(env_storage);

    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
        pipe2(err_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + storage[0]);
    }

    // Feed the input and collect both outputs without blocking on either.
    signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    if (input.empty()) {
        close(in_pipe[1]);
        in_pipe[1] = -1;
    }
    ProgramResult result;
    pollfd fds[3] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}, {in_pipe[1], POLLOUT, 0}};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 3, 100) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                } else {
                    (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
        if (fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(fds[2].fd, input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if (n <= 0 || written == input.size()) {
                close(fds[2].fd);
                fds[2].fd = -1;
            }
        }
    }
    for (pollfd& fd : fds) {
        if (fd.fd >= 0) {
            close(fd.fd);
        }
    }
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return result;
}

}  // namespace varkit::testing

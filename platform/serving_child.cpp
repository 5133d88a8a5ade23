#include "platform/serving_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "platform/unique_fd.h"

namespace varkit {
namespace {

// How long the caller waits for the serving process to report, and how long
// that process may take to get there before it gives up.
constexpr auto kReportWait = std::chrono::seconds(5);
constexpr unsigned kSetupSeconds = 10;
constexpr int kFirstKeptDescriptor = 10;

// Standard streams to /dev/null, every other descriptor closed but the
// report pipe, which comes back moved above the standard ones.
int detach_descriptors(int report_fd) {
    int kept = fcntl(report_fd, F_DUPFD_CLOEXEC, kFirstKeptDescriptor);
    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (kept < 0 || null_fd < 0) {
        _exit(1);
    }
    for (int standard = 0; standard <= 2; ++standard) {
        dup2(null_fd, standard);
    }
    close_range(3, static_cast<unsigned>(kept) - 1, 0);
    close_range(static_cast<unsigned>(kept) + 1, ~0u, 0);
    return kept;
}

void reset_signals() {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGHUP, SIG_IGN);   // the terminal closing does not end the data
    signal(SIGPIPE, SIG_IGN);  // a caller that stopped listening is a failed write
    signal(SIGALRM, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

// Tells the caller that the selection is ours. When the caller gave up
// waiting, nobody believes it: the failed write says so, and the selection
// must go.
bool report_taken(int report_fd) {
    const std::int32_t report = static_cast<std::int32_t>(getpid());
    bool heard = write(report_fd, &report, sizeof report) == sizeof report;
    close(report_fd);
    alarm(0);
    // Serving needs no folder; staying in the caller's would keep it busy.
    bool moved = chdir("/") == 0;
    (void)moved;
    return heard;
}

[[noreturn]] void serve_in_child(int report_fd, const TakeAndServe& take_and_serve) {
    report_fd = detach_descriptors(report_fd);
    reset_signals();
    alarm(kSetupSeconds);
    take_and_serve([report_fd] { return report_taken(report_fd); });
    _exit(0);
}

std::optional<std::int32_t> read_report(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kReportWait;
    std::int32_t report = 0;
    std::size_t got = 0;
    while (got < sizeof report) {
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
                             deadline - std::chrono::steady_clock::now())
                             .count();
        pollfd watched{fd, POLLIN, 0};
        if (remaining <= 0 || poll(&watched, 1, static_cast<int>(remaining)) == 0) {
            return std::nullopt;
        }
        ssize_t n = read(fd, reinterpret_cast<char*>(&report) + got, sizeof report - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        got += static_cast<std::size_t>(n);
    }
    return report;
}

}  // namespace

std::optional<pid_t> start_serving_child(const TakeAndServe& take_and_serve) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd report_read(pipe_fds[0]);
    UniqueFd report_write(pipe_fds[1]);
    // Fork twice: the middle process starts a new session and ends at once,
    // so the server is nobody's child here (no zombie for a caller that lives
    // on) and, not leading its session, can never gain a controlling terminal.
    pid_t middle = fork();
    if (middle < 0) {
        return std::nullopt;
    }
    if (middle == 0) {
        if (setsid() < 0) {
            _exit(1);
        }
        pid_t server = fork();
        if (server == 0) {
            serve_in_child(report_write.get(), take_and_serve);
        }
        _exit(server > 0 ? 0 : 1);
    }
    report_write.reset();
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    auto report = read_report(report_read.get());
    if (!report || *report <= 0) {
        return std::nullopt;
    }
    return static_cast<pid_t>(*report);
}

}  // namespace varkit

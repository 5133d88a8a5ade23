// How long the desktop clipboards wait, and how much they take in, whatever
// carries them (an X server, a Wayland compositor, a pipe from another
// client): a display or owner that stops answering makes an operation fail
// instead of hanging it, and an owner that sends without end is not believed.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace varkit {

using Clock = std::chrono::steady_clock;

// Connecting to a display, its set-up answers included.
inline constexpr auto kConnectWait = std::chrono::seconds(3);
// Any one answer: a reply, a converted selection, the next piece of data.
inline constexpr auto kAnswerWait = std::chrono::seconds(3);
// A transfer as a whole, so an owner that trickles cannot keep us waiting.
inline constexpr auto kLongestTransfer = std::chrono::seconds(10);
// A requestor we serve that has not taken the next piece in this long has
// gone.
inline constexpr auto kTransferIdle = std::chrono::seconds(10);
// An owner that keeps sending beyond this is not one we believe.
inline constexpr std::size_t kLargestTransfer = std::size_t{256} << 20;

inline Clock::time_point answer_deadline() {
    return Clock::now() + kAnswerWait;
}

// poll()'s timeout for a deadline: -1 (none) without one, 0 once it passed.
inline int poll_timeout(std::optional<Clock::time_point> deadline) {
    if (!deadline) {
        return -1;
    }
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    if (left <= 0) {
        return 0;
    }
    return static_cast<int>(std::min<long long>(left + 1, 60'000));
}

// Runs `work`, which may block without limit (a library's connect), on a
// thread of its own and waits for it until `deadline`. Past the deadline the
// caller goes on without a result, and the thread, should it ever finish,
// hands what it made to `discard`.
template <class Result>
std::optional<Result> finish_by(Clock::time_point deadline, std::function<Result()> work,
                                std::function<void(Result)> discard) {
    struct Pending {
        std::mutex mutex;
        std::condition_variable finished_signal;
        std::optional<Result> result;
        bool abandoned = false;
    };
    auto pending = std::make_shared<Pending>();
    std::thread([pending, work = std::move(work), discard = std::move(discard)] {
        Result made = work();
        std::lock_guard lock(pending->mutex);
        if (pending->abandoned) {
            discard(std::move(made));
            return;
        }
        pending->result = std::move(made);
        pending->finished_signal.notify_one();
    }).detach();
    std::unique_lock lock(pending->mutex);
    if (!pending->finished_signal.wait_until(lock, deadline,
                                             [&pending] { return pending->result.has_value(); })) {
        pending->abandoned = true;
        return std::nullopt;
    }
    return std::move(pending->result);
}

}  // namespace varkit

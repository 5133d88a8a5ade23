// Publishing a desktop selection: its data must outlive the program, so a
// detached process takes the selection and serves it until another client
// takes it over, as desktop clipboard tools do.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>

namespace varkit {

// What the serving process does once it is detached: connects on its own,
// takes the selection, calls `taken` once it holds it (false when the caller
// gave up waiting: then it must let the selection go) and serves until
// another client takes the selection over.
using TakeAndServe = std::function<void(const std::function<bool()>& taken)>;

// Forks the serving process, which never shares a connection of ours (one
// shared across fork dies with either end), and waits until it reports that
// it owns the selection. Its process id then; nothing when it could not take
// the selection in time. The process starts its own session (no terminal,
// out of the caller's process group), points standard input, output and
// error at /dev/null and closes every other inherited descriptor, the
// clipboard lock and our connections included, so nobody waits on it and it
// holds nothing of the caller's.
std::optional<pid_t> start_serving_child(const TakeAndServe& take_and_serve);

}  // namespace varkit

// Publishing on X11: the selection's data must outlive the program, so a
// detached process takes the CLIPBOARD selection and serves it until another
// client takes it over, as desktop clipboard tools do.
#pragma once

#include <sys/types.h>

#include <optional>
#include <vector>

#include "platform/x11/selection_server.h"

namespace varkit::x11 {

// Forks the serving process before any X connection exists on our side (a
// connection shared across fork dies with either end) and waits until it
// reports that it owns the selection. Its process id then; nothing when it
// could not take the selection in time. The process starts its own session
// (no terminal, out of the caller's process group), points standard input,
// output and error at /dev/null and closes every other inherited descriptor,
// the clipboard lock included, so nobody waits on it and it holds nothing of
// the caller's.
std::optional<pid_t> start_serving_child(const std::vector<Offer>& offers);

}  // namespace varkit::x11

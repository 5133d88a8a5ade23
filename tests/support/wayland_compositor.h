// A headless Wayland compositor of the test's own: sway (wlroots, with its
// data-control protocol), sway with XWayland, or weston (no data control).
// It runs with a private runtime folder, as an unprivileged user when the
// test runs as root (sway refuses root, and CI runs as root); stopped at the
// end, which also ends every clipboard server connected to it.
#pragma once

#include <sys/types.h>

#include <string>

namespace varkit::testing {

class WaylandCompositor {
  public:
    enum class Kind { sway, sway_with_xwayland, weston };

    explicit WaylandCompositor(Kind kind);
    ~WaylandCompositor();
    WaylandCompositor(const WaylandCompositor&) = delete;
    WaylandCompositor& operator=(const WaylandCompositor&) = delete;

    // Why there is no compositor ("" when it runs): a missing tool, to skip
    // on, or a start that failed.
    const std::string& failure() const { return failure_; }
    bool tools_missing() const { return tools_missing_; }
    // The socket's absolute path, for WAYLAND_DISPLAY.
    const std::string& socket() const { return socket_; }
    // XWayland's display (":n"), which the test's user may use.
    const std::string& x_display() const { return x_display_; }
    pid_t pid() const { return pid_; }

  private:
    void start(Kind kind);

    std::string runtime_dir_;
    std::string failure_;
    bool tools_missing_ = false;
    std::string socket_;
    std::string x_display_;
    pid_t pid_ = -1;
};

}  // namespace varkit::testing

// A desktop of the test's own with an independent clipboard client on it:
// an Xvfb server with xclip, or headless sway (wlroots' data-control
// protocol) with wl-copy and wl-paste. While it lives, the test process's
// DISPLAY or WAYLAND_DISPLAY names it and the other is unset, so the
// programs and clients the test starts reach it; what they placed on its
// clipboard ends with it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/env_override.h"
#include "tests/support/wayland_compositor.h"
#include "tests/support/xvfb_server.h"

namespace varkit::testing {

enum class Desktop { x11, wayland };

// "X11" or "Wayland", for test names and messages.
std::string desktop_name(Desktop desktop);
inline void PrintTo(Desktop desktop, std::ostream* out) {
    *out << desktop_name(desktop);
}

class TestDesktop {
  public:
    explicit TestDesktop(Desktop desktop);

    // Why there is no desktop ("" when there is one); tools_missing() when
    // that is a tool the machine lacks, a reason to skip.
    const std::string& failure() const { return failure_; }
    bool tools_missing() const { return tools_missing_; }
    // What run_executable needs to use this desktop's clipboard backend.
    std::vector<std::string> env() const;
    // The compositor of a Wayland desktop, or nothing.
    WaylandCompositor* compositor() const { return compositor_.get(); }

    // The clipboard as `target`, as the independent client reads it;
    // "(paste failed)" when it fails.
    std::string paste(const std::string& target) const;
    // The X11 window that owns the clipboard (0 for none); nothing on
    // Wayland, where a client cannot see who set the selection.
    std::optional<std::uint32_t> x11_clipboard_owner() const;
    // The targets the clipboard is offered as.
    std::vector<std::string> targets() const;
    // The independent client places `bytes` as `target`; returns its exit
    // status once the clipboard gives those bytes (an owner before it may
    // still answer for a moment).
    int copy(const std::string& target, const std::string& bytes) const;

  private:
    Desktop desktop_;
    std::string failure_;
    bool tools_missing_ = false;
    std::unique_ptr<XvfbServer> xvfb_;
    std::unique_ptr<WaylandCompositor> compositor_;
    EnvOverride env_;
};

}  // namespace varkit::testing

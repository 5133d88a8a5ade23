#include "tests/support/test_desktop.h"

#include <chrono>
#include <thread>

#include "tests/support/test_files.h"
#include "tests/support/tool_run.h"

namespace varkit::testing {

std::string desktop_name(Desktop desktop) {
    return desktop == Desktop::x11 ? "X11" : "Wayland";
}

TestDesktop::TestDesktop(Desktop desktop) : desktop_(desktop) {
    const bool x11 = desktop == Desktop::x11;
    for (const char* tool : x11 ? std::vector<const char*>{"Xvfb", "xclip"}
                                : std::vector<const char*>{"wl-copy", "wl-paste"}) {
        if (!tool_exists(tool)) {
            failure_ = std::string(tool) + " is not installed (scripts/setup.sh test installs it)";
            tools_missing_ = true;
            return;
        }
    }
    if (x11) {
        xvfb_ = std::make_unique<XvfbServer>();
        failure_ = xvfb_->display().empty() ? "Xvfb did not start" : "";
        env_.set("DISPLAY", xvfb_->display());
        env_.remove("WAYLAND_DISPLAY");
        return;
    }
    compositor_ = std::make_unique<WaylandCompositor>(WaylandCompositor::Kind::sway);
    failure_ = compositor_->failure();
    tools_missing_ = compositor_->tools_missing();
    env_.set("WAYLAND_DISPLAY", compositor_->socket());
    env_.remove("DISPLAY");
}

std::vector<std::string> TestDesktop::env() const {
    if (desktop_ == Desktop::x11) {
        return {"VARKIT_CLIPBOARD=x11", "DISPLAY=" + xvfb_->display(), "WAYLAND_DISPLAY="};
    }
    return {"VARKIT_CLIPBOARD=wayland", "WAYLAND_DISPLAY=" + compositor_->socket(), "DISPLAY="};
}

std::optional<std::uint32_t> TestDesktop::x11_clipboard_owner() const {
    if (!xvfb_) {
        return std::nullopt;
    }
    return xvfb_->clipboard_owner();
}

std::string TestDesktop::paste(const std::string& target) const {
    ToolResult result = desktop_ == Desktop::x11
                            ? run_tool({"xclip", "-selection", "clipboard", "-t", target, "-o"})
                            : run_tool({"wl-paste", "--no-newline", "--type", target});
    return result.status == 0 ? result.out : "(paste failed)";
}

std::vector<std::string> TestDesktop::targets() const {
    return lines_of(desktop_ == Desktop::x11 ? paste("TARGETS")
                                             : run_tool({"wl-paste", "--list-types"}).out);
}

int TestDesktop::copy(const std::string& target, const std::string& bytes) const {
    // Neither client's server process may hold our pipe.
    int status =
        desktop_ == Desktop::x11
            ? run_tool({"xclip", "-selection", "clipboard", "-t", target, "-i"}, bytes, false)
                  .status
            : run_tool({"wl-copy", "--type", target}, bytes, false).status;
    // xclip serves every target with its bytes and lists only its own.
    auto placed = [&] {
        return paste(target) == bytes && (desktop_ != Desktop::x11 ||
                                          targets() == std::vector<std::string>{"TARGETS", target});
    };
    for (int i = 0; i < 500 && !placed(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

}  // namespace varkit::testing

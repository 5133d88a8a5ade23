// One connection to the Wayland compositor with its data-control manager and
// seat bound. Every wait has a deadline, so a compositor that stops
// answering makes an operation fail instead of hanging it.
#pragma once

#include <poll.h>
#include <wayland-client-core.h>

#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "platform/deadlines.h"
#include "platform/wayland/data_control.h"

namespace varkit::wayland {

class WaylandLink {
  public:
    // Connects to the compositor that $WAYLAND_DISPLAY names and binds its
    // data-control manager (the standard protocol before wlroots' own) and
    // its first seat; nothing when no compositor answers in time or it
    // offers neither protocol.
    static std::unique_ptr<WaylandLink> connect();
    ~WaylandLink();
    WaylandLink(const WaylandLink&) = delete;
    WaylandLink& operator=(const WaylandLink&) = delete;

    const DataControlProtocol& protocol() const { return *protocol_; }
    wl_proxy* manager() const { return manager_.get(); }
    wl_proxy* seat() const { return seat_.get(); }
    bool broken() const { return wl_display_get_error(display_) != 0; }

    // Sends what is queued, waits until the compositor or one of `others`
    // has something or the deadline passes, and dispatches the events that
    // came. `others` get their revents. False once the connection failed.
    bool wait(std::span<pollfd> others, std::optional<Clock::time_point> deadline);
    // Dispatches events until `done` holds; false when the deadline passed
    // or the connection failed first.
    bool dispatch_until(const std::function<bool()>& done, Clock::time_point deadline);
    // Every event the compositor sent before it answered this has been
    // dispatched.
    bool roundtrip(Clock::time_point deadline);
    // Everything queued has reached the socket (a file descriptor passed in
    // a request stays open on our side until then).
    bool flush(Clock::time_point deadline);

  private:
    explicit WaylandLink(wl_display* display) : display_(display) {}
    bool bind_globals(Clock::time_point deadline);

    wl_display* display_;
    const DataControlProtocol* protocol_ = nullptr;
    Proxy manager_;
    Proxy seat_;
};

}  // namespace varkit::wayland

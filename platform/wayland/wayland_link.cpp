#include "platform/wayland/wayland_link.h"

#include <wayland-client-protocol.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <string_view>
#include <vector>

namespace varkit::wayland {
namespace {

// Every object is bound at version 1: it has all varkit uses.
constexpr std::uint32_t kBoundVersion = 1;

// libwayland reports problems on standard error, where the programs' own
// messages go; a failed connection is reported by the results instead.
void quiet(const char*, va_list) {}

struct Globals {
    std::optional<std::uint32_t> ext_manager;
    std::optional<std::uint32_t> wlr_manager;
    std::optional<std::uint32_t> seat;
};

void announce_global(void* data, wl_registry*, std::uint32_t name, const char* interface,
                     std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    std::string_view announced = interface;
    if (announced == kExtDataControl.manager->name) {
        globals->ext_manager = name;
    } else if (announced == kWlrDataControl.manager->name) {
        globals->wlr_manager = name;
    } else if (announced == wl_seat_interface.name && !globals->seat) {
        globals->seat = name;
    }
}

void remove_global(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryEvents{announce_global, remove_global};

void callback_done(void* data, wl_callback*, std::uint32_t) {
    *static_cast<bool*>(data) = true;
}

const wl_callback_listener kCallbackEvents{callback_done};

wl_proxy* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface) {
    return static_cast<wl_proxy*>(wl_registry_bind(registry, name, interface, kBoundVersion));
}

}  // namespace

std::unique_ptr<WaylandLink> WaylandLink::connect() {
    wl_log_set_handler_client(quiet);
    // Connecting to a compositor too busy to accept blocks without limit.
    const auto deadline = Clock::now() + kConnectWait;
    std::optional<wl_display*> display = finish_by<wl_display*>(
        deadline, [] { return wl_display_connect(nullptr); },
        [](wl_display* late) {
            if (late != nullptr) {
                wl_display_disconnect(late);
            }
        });
    if (!display || *display == nullptr) {
        return nullptr;
    }
    std::unique_ptr<WaylandLink> link(new WaylandLink(*display));
    if (!link->bind_globals(deadline)) {
        return nullptr;
    }
    return link;
}

WaylandLink::~WaylandLink() {
    seat_.reset();
    manager_.reset();
    wl_display_disconnect(display_);
}

bool WaylandLink::bind_globals(Clock::time_point deadline) {
    Globals globals;
    Proxy registry(reinterpret_cast<wl_proxy*>(wl_display_get_registry(display_)));
    auto* registry_object = reinterpret_cast<wl_registry*>(registry.get());
    wl_registry_add_listener(registry_object, &kRegistryEvents, &globals);
    if (!roundtrip(deadline)) {
        return false;
    }
    std::optional<std::uint32_t> manager = globals.ext_manager;
    protocol_ = &kExtDataControl;
    if (!manager) {
        manager = globals.wlr_manager;
        protocol_ = &kWlrDataControl;
    }
    if (!manager || !globals.seat) {
        return false;
    }
    manager_ = manager_proxy(bind(registry_object, *manager, protocol_->manager));
    seat_ = Proxy(bind(registry_object, *globals.seat, &wl_seat_interface));
    return true;
}

bool WaylandLink::wait(std::span<pollfd> others, std::optional<Clock::time_point> deadline) {
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            return false;
        }
    }
    bool unsent = false;
    if (wl_display_flush(display_) < 0) {
        unsent = errno == EAGAIN;
        if (!unsent) {
            wl_display_cancel_read(display_);
            return false;
        }
    }
    std::vector<pollfd> watched{
        {wl_display_get_fd(display_), static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)), 0}};
    watched.insert(watched.end(), others.begin(), others.end());
    int ready = poll(watched.data(), watched.size(), poll_timeout(deadline));
    if (ready > 0 && (watched[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        if (wl_display_read_events(display_) < 0) {
            return false;
        }
    } else {
        wl_display_cancel_read(display_);
    }
    for (std::size_t i = 0; i < others.size(); ++i) {
        others[i].revents = ready > 0 ? watched[i + 1].revents : 0;
    }
    return wl_display_dispatch_pending(display_) >= 0;
}

bool WaylandLink::dispatch_until(const std::function<bool()>& done, Clock::time_point deadline) {
    for (;;) {
        if (wl_display_dispatch_pending(display_) < 0) {
            return false;
        }
        if (done()) {
            return true;
        }
        if (Clock::now() >= deadline || !wait({}, deadline)) {
            return false;
        }
    }
}

bool WaylandLink::roundtrip(Clock::time_point deadline) {
    bool answered = false;
    Proxy callback(reinterpret_cast<wl_proxy*>(wl_display_sync(display_)));
    wl_callback_add_listener(reinterpret_cast<wl_callback*>(callback.get()), &kCallbackEvents,
                             &answered);
    return dispatch_until([&answered] { return answered; }, deadline);
}

bool WaylandLink::flush(Clock::time_point deadline) {
    while (wl_display_flush(display_) < 0) {
        pollfd watched{wl_display_get_fd(display_), POLLOUT, 0};
        if (errno != EAGAIN || poll(&watched, 1, poll_timeout(deadline)) <= 0) {
            return false;
        }
    }
    return true;
}

}  // namespace varkit::wayland

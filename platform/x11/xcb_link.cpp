#include "platform/x11/xcb_link.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace varkit::x11 {
namespace {

constexpr std::size_t kPropertyChunk = 256 * 1024;
// Room for the ChangeProperty request's own fields.
constexpr std::size_t kRequestOverhead = 100;
constexpr int kConnectAttempts = 8;
constexpr auto kConnectRetry = std::chrono::milliseconds(15);

xcb_screen_t* first_screen(xcb_connection_t* connection) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data : nullptr;
}

// A server that resets when its last client leaves (a bare Xvfb) refuses or
// drops connections for a moment while it does; a few quick retries ride
// that out. A display name that cannot be parsed fails at once, and so does
// a server that does not answer in time.
xcb_connection_t* connect_with_retries() {
    for (int attempt = 1;; ++attempt) {
        // xcb_connect waits without limit for the server's set-up answer,
        // which a stopped server or a dead ssh tunnel never sends.
        std::optional<xcb_connection_t*> answered = finish_by<xcb_connection_t*>(
            Clock::now() + kConnectWait, [] { return xcb_connect(nullptr, nullptr); },
            [](xcb_connection_t* late) { xcb_disconnect(late); });
        if (!answered) {
            return nullptr;
        }
        xcb_connection_t* connection = *answered;
        int error = xcb_connection_has_error(connection);
        if (error == 0) {
            return connection;
        }
        xcb_disconnect(connection);
        if (error != XCB_CONN_ERROR || attempt == kConnectAttempts) {
            return nullptr;
        }
        std::this_thread::sleep_for(kConnectRetry);
    }
}

}  // namespace

std::unique_ptr<XcbLink> XcbLink::connect() {
    xcb_connection_t* connection = connect_with_retries();
    if (connection == nullptr) {
        return nullptr;
    }
    std::unique_ptr<XcbLink> link(new XcbLink(connection));
    if (link->window_ == XCB_WINDOW_NONE || link->time_property_ == XCB_ATOM_NONE) {
        return nullptr;
    }
    return link;
}

XcbLink::XcbLink(xcb_connection_t* connection) : connection_(connection) {
    xcb_screen_t* screen = first_screen(connection_);
    if (screen == nullptr) {
        return;
    }
    xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    auto cookie = xcb_create_window_checked(connection_, XCB_COPY_FROM_PARENT, window, screen->root,
                                            0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                                            XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
    if (error != nullptr) {
        std::free(error);
        return;
    }
    window_ = window;
    time_property_ = atom("VARKIT_TIME");
}

XcbLink::~XcbLink() {
    xcb_disconnect(connection_);
}

std::vector<xcb_atom_t> XcbLink::atoms(const std::vector<std::string>& names) {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const std::string& name : names) {
        cookies.push_back(
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.data()));
    }
    const auto deadline = answer_deadline();
    std::vector<xcb_atom_t> result;
    for (const auto& cookie : cookies) {
        auto answer = reply<xcb_intern_atom_reply_t>(cookie.sequence, deadline);
        result.push_back(answer ? answer->atom : xcb_atom_t{XCB_ATOM_NONE});
    }
    return result;
}

std::string XcbLink::atom_name(xcb_atom_t atom) {
    auto cookie = xcb_get_atom_name(connection_, atom);
    auto answer = reply<xcb_get_atom_name_reply_t>(cookie.sequence, answer_deadline());
    if (!answer) {
        return "";
    }
    return std::string(xcb_get_atom_name_name(answer.get()),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(answer.get())));
}

std::optional<xcb_timestamp_t> XcbLink::server_time() {
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, time_property_,
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(connection_);
    const auto deadline = answer_deadline();
    while (EventPtr event = next_event(deadline)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event.get());
            if (notify->window == window_ && notify->atom == time_property_) {
                return notify->time;
            }
        }
    }
    return std::nullopt;
}

bool XcbLink::wait_readable(std::optional<Clock::time_point> deadline) {
    int timeout_ms = poll_timeout(deadline);
    if (timeout_ms == 0) {
        return false;
    }
    pollfd watched{xcb_get_file_descriptor(connection_), POLLIN, 0};
    int ready = poll(&watched, 1, timeout_ms);
    return ready > 0 || (ready < 0 && errno == EINTR) || (ready == 0 && !deadline);
}

EventPtr XcbLink::next_event(std::optional<Clock::time_point> deadline) {
    xcb_flush(connection_);
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            return EventPtr(event);
        }
        if (broken() || !wait_readable(deadline)) {
            return nullptr;
        }
    }
}

void* XcbLink::wait_reply(unsigned int sequence, Clock::time_point deadline) {
    xcb_flush(connection_);
    for (;;) {
        void* answer = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(connection_, sequence, &answer, &error) != 0) {
            std::free(error);
            return answer;
        }
        if (broken() || !wait_readable(deadline)) {
            return nullptr;
        }
    }
}

std::size_t XcbLink::largest_property_write() const {
    std::size_t request_bytes =
        static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4;
    return std::min(kPropertyChunk, request_bytes - kRequestOverhead);
}

}  // namespace varkit::x11

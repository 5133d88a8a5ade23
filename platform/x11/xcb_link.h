// One connection to the X server with a window of our own: the requestor
// when we read the clipboard, the owner when we serve it. Every wait has a
// deadline, so a server or peer that stops answering makes an operation fail
// instead of hanging it.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/deadlines.h"

namespace varkit::x11 {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using EventPtr = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;
template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

class XcbLink {
  public:
    // Connects to $DISPLAY and makes an unmapped window that reports its
    // property changes; nothing when no display can be opened.
    static std::unique_ptr<XcbLink> connect();
    ~XcbLink();
    XcbLink(const XcbLink&) = delete;
    XcbLink& operator=(const XcbLink&) = delete;

    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t window() const { return window_; }
    bool broken() const { return xcb_connection_has_error(connection_) != 0; }

    // Interns names in one round trip; XCB_ATOM_NONE for any that failed.
    std::vector<xcb_atom_t> atoms(const std::vector<std::string>& names);
    xcb_atom_t atom(const std::string& name) { return atoms({name}).front(); }
    std::string atom_name(xcb_atom_t atom);

    // The server's current time, read from the notice of a zero-length
    // append to a property of our window: selection requests and ownership
    // need a real timestamp, not CurrentTime.
    std::optional<xcb_timestamp_t> server_time();

    // The next event, or nothing when the deadline passed or the connection
    // broke; with no deadline it waits as long as the connection lives.
    EventPtr next_event(std::optional<Clock::time_point> deadline);

    // The reply to a request, or nothing on an error, a broken connection
    // or a passed deadline.
    template <class Reply>
    ReplyPtr<Reply> reply(unsigned int sequence, Clock::time_point deadline) {
        return ReplyPtr<Reply>(static_cast<Reply*>(wait_reply(sequence, deadline)));
    }

    // The largest single ChangeProperty payload we send, in bytes.
    std::size_t largest_property_write() const;

  private:
    explicit XcbLink(xcb_connection_t* connection);
    void* wait_reply(unsigned int sequence, Clock::time_point deadline);
    bool wait_readable(std::optional<Clock::time_point> deadline);

    xcb_connection_t* connection_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_atom_t time_property_ = XCB_ATOM_NONE;
};

}  // namespace varkit::x11

#include "platform/x11/selection_server.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>

namespace varkit::x11 {
namespace {

struct ServedTarget {
    xcb_atom_t target;
    xcb_atom_t type;
    std::shared_ptr<const std::string> bytes;
};

struct Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    std::shared_ptr<const std::string> bytes;
    std::size_t sent = 0;
    Clock::time_point deadline;
};

class SelectionServer {
  public:
    SelectionServer(XcbLink& link, xcb_timestamp_t acquired, const std::vector<Offer>& offers);
    void run();

  private:
    void answer(const xcb_selection_request_event_t& request);
    bool convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property);
    bool convert_multiple(xcb_window_t requestor, xcb_atom_t property);
    void start_transfer(xcb_window_t requestor, xcb_atom_t property, const ServedTarget& served);
    void send_next_piece(xcb_window_t requestor, xcb_atom_t property);
    void drop_stale_transfers();
    void stop_watching_if_idle(xcb_window_t requestor);
    void notify(const xcb_selection_request_event_t& request, xcb_atom_t property);
    std::optional<Clock::time_point> next_deadline() const;

    XcbLink& link_;
    xcb_connection_t* c_;
    xcb_timestamp_t acquired_;
    std::size_t piece_size_;
    xcb_atom_t clipboard_, targets_, timestamp_, multiple_, incr_, atom_pair_;
    std::vector<ServedTarget> served_;
    std::vector<Transfer> transfers_;
    bool lost_ = false;
};

SelectionServer::SelectionServer(XcbLink& link, xcb_timestamp_t acquired,
                                 const std::vector<Offer>& offers)
    : link_(link),
      c_(link.connection()),
      acquired_(acquired),
      piece_size_(link.largest_property_write()) {
    std::vector<std::string> names{"CLIPBOARD", "TARGETS", "TIMESTAMP",
                                   "MULTIPLE",  "INCR",    "ATOM_PAIR"};
    for (const Offer& offer : offers) {
        names.push_back(offer.target);
        names.push_back(offer.type);
    }
    std::vector<xcb_atom_t> atoms = link.atoms(names);
    clipboard_ = atoms[0];
    targets_ = atoms[1];
    timestamp_ = atoms[2];
    multiple_ = atoms[3];
    incr_ = atoms[4];
    atom_pair_ = atoms[5];
    for (std::size_t i = 0; i < offers.size(); ++i) {
        served_.push_back({atoms[6 + 2 * i], atoms[7 + 2 * i], offers[i].bytes});
    }
}

void SelectionServer::run() {
    while (!(lost_ && transfers_.empty())) {
        EventPtr event = link_.next_event(next_deadline());
        if (!event) {
            if (link_.broken()) {
                return;
            }
            drop_stale_transfers();
            continue;
        }
        switch (event->response_type & 0x7F) {
            case XCB_SELECTION_REQUEST:
                answer(*reinterpret_cast<xcb_selection_request_event_t*>(event.get()));
                break;
            case XCB_SELECTION_CLEAR: {
                auto* clear = reinterpret_cast<xcb_selection_clear_event_t*>(event.get());
                lost_ = lost_ || clear->selection == clipboard_;
                break;
            }
            case XCB_PROPERTY_NOTIFY: {
                auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event.get());
                if (notify->state == XCB_PROPERTY_DELETE) {
                    send_next_piece(notify->window, notify->atom);
                }
                break;
            }
            default:
                break;  // errors about requestors that went away, other events
        }
        xcb_flush(c_);
    }
}

// A request stamped before we took the selection was meant for the owner
// before us; one without a property comes from an old client, and the
// target then names the property.
void SelectionServer::answer(const xcb_selection_request_event_t& request) {
    const bool stale =
        request.time != XCB_CURRENT_TIME && static_cast<std::int32_t>(request.time - acquired_) < 0;
    if (lost_ || stale || request.selection != clipboard_) {
        notify(request, XCB_ATOM_NONE);
        return;
    }
    xcb_atom_t property = request.property != XCB_ATOM_NONE ? request.property : request.target;
    bool done = request.target == multiple_ ? request.property != XCB_ATOM_NONE &&
                                                  convert_multiple(request.requestor, property)
                                            : convert(request.requestor, request.target, property);
    notify(request, done ? property : xcb_atom_t{XCB_ATOM_NONE});
}

bool SelectionServer::convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property) {
    if (target == targets_) {
        std::vector<xcb_atom_t> list{targets_, timestamp_, multiple_};
        for (const ServedTarget& served : served_) {
            list.push_back(served.target);
        }
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(list.size()), list.data());
        return true;
    }
    if (target == timestamp_) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1,
                            &acquired_);
        return true;
    }
    auto found = std::find_if(served_.begin(), served_.end(),
                              [&](const ServedTarget& served) { return served.target == target; });
    if (found == served_.end()) {
        return false;
    }
    if (found->bytes->size() > piece_size_) {
        start_transfer(requestor, property, *found);
    } else {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, requestor, property, found->type, 8,
                            static_cast<std::uint32_t>(found->bytes->size()), found->bytes->data());
    }
    return true;
}

// MULTIPLE: the property holds (target, property) pairs; each is converted
// as if asked alone, and a pair that failed gets None for its target.
bool SelectionServer::convert_multiple(xcb_window_t requestor, xcb_atom_t property) {
    auto cookie =
        xcb_get_property(c_, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 16);
    auto pairs_reply = link_.reply<xcb_get_property_reply_t>(cookie.sequence, answer_deadline());
    if (!pairs_reply || pairs_reply->format != 32 || pairs_reply->value_len < 2) {
        return false;
    }
    std::size_t count =
        static_cast<std::size_t>(xcb_get_property_value_length(pairs_reply.get())) / 4;
    std::vector<xcb_atom_t> pairs(count - count % 2);
    std::memcpy(pairs.data(), xcb_get_property_value(pairs_reply.get()), pairs.size() * 4);
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        if (pairs[i + 1] == XCB_ATOM_NONE || !convert(requestor, pairs[i], pairs[i + 1])) {
            pairs[i] = XCB_ATOM_NONE;
        }
    }
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, requestor, property, atom_pair_, 32,
                        static_cast<std::uint32_t>(pairs.size()), pairs.data());
    return true;
}

// INCR: announce a lower bound of the size, then send one piece each time
// the requestor deletes the property, and an empty piece at the end.
void SelectionServer::start_transfer(xcb_window_t requestor, xcb_atom_t property,
                                     const ServedTarget& served) {
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c_, requestor, XCB_CW_EVENT_MASK, &events);
    const auto size =
        static_cast<std::uint32_t>(std::min<std::size_t>(served.bytes->size(), UINT32_MAX));
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, requestor, property, incr_, 32, 1, &size);
    // A requestor that asks again into the same property starts over.
    std::erase_if(transfers_, [&](const Transfer& t) {
        return t.requestor == requestor && t.property == property;
    });
    transfers_.push_back(
        {requestor, property, served.type, served.bytes, 0, Clock::now() + kTransferIdle});
}

void SelectionServer::send_next_piece(xcb_window_t requestor, xcb_atom_t property) {
    auto transfer = std::find_if(transfers_.begin(), transfers_.end(), [&](const Transfer& t) {
        return t.requestor == requestor && t.property == property;
    });
    if (transfer == transfers_.end()) {
        return;
    }
    std::size_t piece = std::min(piece_size_, transfer->bytes->size() - transfer->sent);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, requestor, property, transfer->type, 8,
                        static_cast<std::uint32_t>(piece),
                        transfer->bytes->data() + transfer->sent);
    if (piece == 0) {
        transfers_.erase(transfer);
        stop_watching_if_idle(requestor);
        return;
    }
    transfer->sent += piece;
    transfer->deadline = Clock::now() + kTransferIdle;
}

void SelectionServer::drop_stale_transfers() {
    const auto now = Clock::now();
    std::vector<xcb_window_t> dropped;
    std::erase_if(transfers_, [&](const Transfer& t) {
        if (t.deadline > now) {
            return false;
        }
        dropped.push_back(t.requestor);
        return true;
    });
    for (xcb_window_t requestor : dropped) {
        stop_watching_if_idle(requestor);
    }
}

void SelectionServer::stop_watching_if_idle(xcb_window_t requestor) {
    bool busy = std::any_of(transfers_.begin(), transfers_.end(),
                            [&](const Transfer& t) { return t.requestor == requestor; });
    if (!busy) {
        const std::uint32_t no_events = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(c_, requestor, XCB_CW_EVENT_MASK, &no_events);
    }
}

void SelectionServer::notify(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    xcb_selection_notify_event_t event{};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request.time;
    event.requestor = request.requestor;
    event.selection = request.selection;
    event.target = request.target;
    event.property = property;
    xcb_send_event(c_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
}

std::optional<Clock::time_point> SelectionServer::next_deadline() const {
    if (transfers_.empty()) {
        return std::nullopt;
    }
    auto earliest = std::min_element(
        transfers_.begin(), transfers_.end(),
        [](const Transfer& a, const Transfer& b) { return a.deadline < b.deadline; });
    return earliest->deadline;
}

}  // namespace

std::optional<xcb_timestamp_t> take_selection(XcbLink& link) {
    auto time = link.server_time();
    xcb_atom_t clipboard = link.atom("CLIPBOARD");
    if (!time || clipboard == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    xcb_set_selection_owner(link.connection(), link.window(), clipboard, *time);
    auto cookie = xcb_get_selection_owner(link.connection(), clipboard);
    auto owner = link.reply<xcb_get_selection_owner_reply_t>(cookie.sequence, answer_deadline());
    if (!owner || owner->owner != link.window()) {
        return std::nullopt;
    }
    return time;
}

void serve_selection(XcbLink& link, xcb_timestamp_t acquired, const std::vector<Offer>& offers) {
    SelectionServer(link, acquired, offers).run();
}

}  // namespace varkit::x11

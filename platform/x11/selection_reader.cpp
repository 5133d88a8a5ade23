#include "platform/x11/selection_reader.h"

#include <algorithm>
#include <cstring>

namespace varkit::x11 {
namespace {

// Read a property in pieces of this many 32-bit units.
constexpr std::uint32_t kReadPieceUnits = 1u << 20;

}  // namespace

std::optional<SelectionReader> SelectionReader::start(XcbLink& link) {
    auto time = link.server_time();
    if (!time) {
        return std::nullopt;
    }
    return SelectionReader(link, *time);
}

SelectionReader::SelectionReader(XcbLink& link, xcb_timestamp_t time) : link_(&link), time_(time) {
    auto names = link.atoms({"CLIPBOARD", "VARKIT_SELECTION", "INCR", "TARGETS"});
    clipboard_ = names[0];
    property_ = names[1];
    incr_ = names[2];
    targets_ = names[3];
}

bool SelectionReader::has_owner() {
    auto cookie = xcb_get_selection_owner(link_->connection(), clipboard_);
    auto answer = link_->reply<xcb_get_selection_owner_reply_t>(cookie.sequence, answer_deadline());
    return answer && answer->owner != XCB_WINDOW_NONE;
}

std::optional<std::vector<xcb_atom_t>> SelectionReader::targets() {
    auto answer = convert(targets_);
    if (!answer || answer->bytes.empty() || answer->bytes.size() % 4 != 0) {
        return std::nullopt;
    }
    std::vector<xcb_atom_t> list(answer->bytes.size() / 4);
    std::memcpy(list.data(), answer->bytes.data(), answer->bytes.size());
    return list;
}

std::optional<Converted> SelectionReader::convert(xcb_atom_t target) {
    if (owner_silent_) {
        return std::nullopt;
    }
    xcb_connection_t* c = link_->connection();
    xcb_delete_property(c, link_->window(), property_);
    xcb_convert_selection(c, link_->window(), clipboard_, target, property_, time_);
    xcb_atom_t property = XCB_ATOM_NONE;
    if (!wait_for_notify(target, property) || property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    auto answer = read_property();
    if (answer && answer->type == incr_) {
        return read_incremental();
    }
    return answer;
}

bool SelectionReader::wait_for_notify(xcb_atom_t target, xcb_atom_t& property) {
    const auto deadline = answer_deadline();
    while (EventPtr event = link_->next_event(deadline)) {
        if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY) {
            continue;
        }
        auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event.get());
        if (notify->requestor == link_->window() && notify->selection == clipboard_ &&
            notify->target == target) {
            property = notify->property;
            return true;
        }
    }
    owner_silent_ = true;
    return false;
}

// Reads our property whole, in pieces, and deletes it: deleting is also what
// asks an INCR owner for the next piece.
std::optional<Converted> SelectionReader::read_property() {
    xcb_connection_t* c = link_->connection();
    Converted result;
    std::uint32_t offset = 0;
    for (;;) {
        auto cookie = xcb_get_property(c, 0, link_->window(), property_, XCB_GET_PROPERTY_TYPE_ANY,
                                       offset, kReadPieceUnits);
        auto piece = link_->reply<xcb_get_property_reply_t>(cookie.sequence, answer_deadline());
        if (!piece || piece->type == XCB_ATOM_NONE) {
            return std::nullopt;
        }
        result.type = piece->type;
        int length = xcb_get_property_value_length(piece.get());
        result.bytes.append(static_cast<const char*>(xcb_get_property_value(piece.get())),
                            static_cast<std::size_t>(length));
        if (result.bytes.size() > kLargestTransfer) {
            return std::nullopt;
        }
        if (piece->bytes_after == 0) {
            break;
        }
        offset += static_cast<std::uint32_t>(length) / 4;
    }
    xcb_delete_property(c, link_->window(), property_);
    xcb_flush(c);
    return result;
}

// The owner sends one piece each time we delete the property and ends with
// an empty piece; the first read already deleted the INCR announcement.
std::optional<Converted> SelectionReader::read_incremental() {
    Converted whole;
    // Each piece has its own deadline, and the transfer as a whole one more,
    // so an owner that trickles a byte at a time cannot keep us waiting.
    const auto transfer_deadline = Clock::now() + kLongestTransfer;
    for (;;) {
        const auto deadline = std::min(answer_deadline(), transfer_deadline);
        bool arrived = false;
        while (EventPtr event = link_->next_event(deadline)) {
            if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) {
                continue;
            }
            auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event.get());
            if (notify->window == link_->window() && notify->atom == property_ &&
                notify->state == XCB_PROPERTY_NEW_VALUE) {
                arrived = true;
                break;
            }
        }
        if (!arrived) {
            owner_silent_ = true;
            return std::nullopt;
        }
        auto piece = read_property();
        if (!piece) {
            return std::nullopt;
        }
        if (piece->bytes.empty()) {
            return whole;
        }
        whole.type = piece->type;
        whole.bytes += piece->bytes;
        if (whole.bytes.size() > kLargestTransfer) {
            return std::nullopt;
        }
    }
}

}  // namespace varkit::x11

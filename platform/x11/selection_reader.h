// The requestor side of the CLIPBOARD selection: asks the owner for its
// targets and converts the selection to one of them, following incremental
// (INCR) transfers for data larger than one request.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/x11/xcb_link.h"

namespace varkit::x11 {

struct Converted {
    xcb_atom_t type = XCB_ATOM_NONE;
    std::string bytes;
};

class SelectionReader {
  public:
    // Nothing when the server gives no timestamp.
    static std::optional<SelectionReader> start(XcbLink& link);

    bool has_owner();
    // The targets the owner lists; nothing when there is no owner or it
    // does not answer TARGETS.
    std::optional<std::vector<xcb_atom_t>> targets();
    // The selection converted to `target`; nothing when it was refused or
    // the owner stopped answering.
    std::optional<Converted> convert(xcb_atom_t target);

  private:
    SelectionReader(XcbLink& link, xcb_timestamp_t time);
    bool wait_for_notify(xcb_atom_t target, xcb_atom_t& property);
    std::optional<Converted> read_property();
    std::optional<Converted> read_incremental();

    XcbLink* link_;
    xcb_timestamp_t time_;
    xcb_atom_t clipboard_;
    xcb_atom_t property_;
    xcb_atom_t incr_;
    xcb_atom_t targets_;
    // Set once the owner let a request go unanswered: it is stopped or
    // stuck, and asking it anything more would only wait again.
    bool owner_silent_ = false;
};

}  // namespace varkit::x11

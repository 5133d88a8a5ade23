// The owner side of the CLIPBOARD selection: answers TARGETS, TIMESTAMP,
// MULTIPLE and the data targets, sending data larger than one request
// incrementally (INCR), until another client takes the selection.
#pragma once

#include <vector>

#include "platform/clipboard_formats.h"
#include "platform/x11/xcb_link.h"

namespace varkit::x11 {

// Takes the selection for `link`'s window with a real timestamp and checks
// that it worked (a request with a stale time seems to succeed but changes
// nothing); the time it was taken then.
std::optional<xcb_timestamp_t> take_selection(XcbLink& link);

// Serves the selection that `link`'s window owns since `acquired`. Returns
// once another client took it (after finishing the transfers under way) or
// the connection to the server ended.
void serve_selection(XcbLink& link, xcb_timestamp_t acquired, const std::vector<Offer>& offers);

}  // namespace varkit::x11

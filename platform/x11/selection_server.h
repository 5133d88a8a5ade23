// The owner side of the CLIPBOARD selection: answers TARGETS, TIMESTAMP,
// MULTIPLE and the data targets, sending data larger than one request
// incrementally (INCR), until another client takes the selection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/x11/xcb_link.h"

namespace varkit::x11 {

// One target we offer: the bytes sent for it and the type they are sent as.
struct Offer {
    std::string target;
    std::string type;
    std::shared_ptr<const std::string> bytes;
};

// Serves the selection that `link`'s window owns since `acquired`. Returns
// once another client took it (after finishing the transfers under way) or
// the connection to the server ended.
void serve_selection(XcbLink& link, xcb_timestamp_t acquired, const std::vector<Offer>& offers);

}  // namespace varkit::x11

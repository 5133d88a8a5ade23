// The owner side of the Wayland selection: a data source offering every
// target, set as the seat's selection, that writes the data into each pipe
// a client asks through until another client sets the selection.
#pragma once

#include <memory>
#include <vector>

#include "platform/clipboard_formats.h"
#include "platform/unique_fd.h"
#include "platform/wayland/data_device.h"
#include "platform/wayland/wayland_link.h"

namespace varkit::wayland {

class SelectionServer {
  public:
    // Offers every target on a new source and makes it the selection;
    // nothing when the compositor did not confirm that in time.
    static std::unique_ptr<SelectionServer> take(WaylandLink& link,
                                                 const std::vector<Offer>& offers);

    // Answers until the source is cancelled (another client set the
    // selection) and the transfers under way are done, or the connection to
    // the compositor ended.
    void serve();

  private:
    struct Transfer {
        UniqueFd pipe;
        std::shared_ptr<const std::string> bytes;
        std::size_t sent = 0;
        Clock::time_point deadline;
    };

    SelectionServer(WaylandLink& link, const std::vector<Offer>& offers);
    static void send(void* data, wl_proxy* source, const char* mime_type, std::int32_t fd);
    static void cancel(void* data, wl_proxy* source);
    static const SourceEvents kEvents;

    bool confirmed();
    void write_ready(std::vector<pollfd>& watched);
    std::optional<Clock::time_point> next_deadline() const;

    WaylandLink& link_;
    const std::vector<Offer>& offers_;
    Proxy source_;
    DataDevice device_;
    std::vector<Transfer> transfers_;
    bool cancelled_ = false;
};

}  // namespace varkit::wayland

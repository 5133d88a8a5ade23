#include "platform/wayland/wayland_clipboard.h"

#include "platform/wayland/data_device.h"
#include "platform/wayland/selection_server.h"

namespace varkit::wayland {

WaylandClipboard::WaylandClipboard(std::string lock_folder, std::unique_ptr<WaylandLink> compositor)
    : SelectionClipboard(std::move(lock_folder)), link_(std::move(compositor)) {}

bool WaylandClipboard::connect() {
    return keep_connected(link_);
}

std::unique_ptr<SelectionSource> WaylandClipboard::selection() {
    auto device = std::make_unique<DataDevice>(*link_);
    if (!link_->roundtrip(answer_deadline())) {
        return nullptr;
    }
    return device;
}

bool WaylandClipboard::clear_selection() {
    DataDevice device(*link_);
    set_selection(device.proxy(), nullptr);
    return link_->roundtrip(answer_deadline());
}

void WaylandClipboard::take_and_serve(const std::vector<Offer>& offers,
                                      const std::function<bool()>& taken) {
    std::unique_ptr<WaylandLink> link = WaylandLink::connect();
    std::unique_ptr<SelectionServer> server = link ? SelectionServer::take(*link, offers) : nullptr;
    if (server && taken()) {
        server->serve();
    }
}

}  // namespace varkit::wayland

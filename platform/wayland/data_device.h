// The data-control device of the link's seat: it learns the offers the
// compositor introduces, keeps the one that is the selection, lets the others
// go, and reads the selection through the pipe the protocol gives.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard_formats.h"
#include "platform/wayland/data_control.h"
#include "platform/wayland/wayland_link.h"

namespace varkit::wayland {

class DataDevice : public SelectionSource {
  public:
    // The compositor announces the current selection to a new device at
    // once: after the next round trip it is known.
    explicit DataDevice(WaylandLink& link);

    wl_proxy* proxy() const { return device_.get(); }
    // The seat went away: the device is no longer valid.
    bool finished() const { return finished_; }
    // The types the selection is offered as, in the owner's order.
    std::vector<std::string> selection_types() const;

    bool has_owner() override { return selection_ != nullptr; }
    std::vector<std::string> worth_asking(const std::vector<std::string>& targets) override;
    // The owner writes the selection as `target` into a pipe; nothing when
    // it refuses, stops writing before the deadlines or sends too much.
    std::optional<Received> receive(const std::string& target) override;

  private:
    struct OfferedTypes {
        Proxy offer;
        std::vector<std::string> types;
    };

    static void introduce(void* data, wl_proxy* device, wl_proxy* offer);
    static void select(void* data, wl_proxy* device, wl_proxy* offer);
    static void finish(void* data, wl_proxy* device);
    static void select_primary(void* data, wl_proxy* device, wl_proxy* offer);
    static void add_type(void* data, wl_proxy* offer, const char* mime_type);
    static const DeviceEvents kEvents;
    static const OfferEvents kOfferEvents;

    std::unique_ptr<OfferedTypes> take_introduced(wl_proxy* offer);

    WaylandLink* link_;
    // The offers, declared after the device, end before it does.
    Proxy device_;
    std::map<wl_proxy*, std::unique_ptr<OfferedTypes>> introduced_;
    std::unique_ptr<OfferedTypes> selection_;
    bool finished_ = false;
    // Set once the owner let a transfer time out: asking it anything more
    // would only wait again.
    bool owner_silent_ = false;
};

}  // namespace varkit::wayland

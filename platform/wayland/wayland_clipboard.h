// The real desktop clipboard of a Wayland compositor that offers a
// data-control protocol (sway, KDE Plasma, Hyprland, labwc, COSMIC): the
// seat's selection, read and set without a window of our own.
#pragma once

#include <memory>

#include "platform/selection_clipboard.h"
#include "platform/wayland/wayland_link.h"

namespace varkit::wayland {

class WaylandClipboard : public SelectionClipboard {
  public:
    // `compositor`, when given, is a connection already made (the one that
    // found the data-control manager): the first open works with it.
    explicit WaylandClipboard(std::string lock_folder,
                              std::unique_ptr<WaylandLink> compositor = nullptr);

  private:
    bool connect() override;
    void disconnect() override { link_.reset(); }
    std::unique_ptr<SelectionSource> selection() override;
    bool clear_selection() override;
    void take_and_serve(const std::vector<Offer>& offers,
                        const std::function<bool()>& taken) override;

    std::unique_ptr<WaylandLink> link_;  // from open to close
};

}  // namespace varkit::wayland

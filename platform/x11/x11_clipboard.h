// The real desktop clipboard of an X display (XWayland's too): the
// CLIPBOARD selection.
#pragma once

#include <memory>

#include "platform/selection_clipboard.h"
#include "platform/x11/xcb_link.h"

namespace varkit::x11 {

class X11Clipboard : public SelectionClipboard {
  public:
    // `display`, when given, is a connection already made (the one that found
    // the display): the first open works with it instead of connecting again.
    explicit X11Clipboard(std::string lock_folder, std::unique_ptr<XcbLink> display = nullptr);

  private:
    bool connect() override;
    void disconnect() override { link_.reset(); }
    std::unique_ptr<SelectionSource> selection() override;
    bool clear_selection() override;
    void take_and_serve(const std::vector<Offer>& offers,
                        const std::function<bool()>& taken) override;

    std::unique_ptr<XcbLink> link_;  // from open to close
};

}  // namespace varkit::x11

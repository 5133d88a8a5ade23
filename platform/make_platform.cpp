#include <cstdlib>
#include <string_view>

#include "platform/desktop_platform.h"
#include "platform/files/files_clipboard.h"
#include "platform/platform.h"
#include "platform/wayland/wayland_clipboard.h"
#include "platform/x11/x11_clipboard.h"

namespace varkit {
namespace {

std::string_view forced_backend() {
    const char* value = std::getenv("VARKIT_CLIPBOARD");
    return value != nullptr ? value : "";
}

bool wayland_display_named() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name != nullptr && *name != '\0';
}

// Runs on the first clipboard operation: VARKIT_CLIPBOARD=x11|wayland|files|
// none decides; otherwise the Wayland clipboard when WAYLAND_DISPLAY names a
// compositor that offers data control, else the X11 clipboard when a display
// can be opened (a compositor without data control, such as GNOME's, bridges
// its XWayland's), else the shared folder. Any other value counts as not set.
std::unique_ptr<Clipboard> choose_clipboard() {
    std::string_view forced = forced_backend();
    if (forced == "none") {
        return std::make_unique<NoneClipboard>();
    }
    if (forced == "x11") {
        return std::make_unique<x11::X11Clipboard>(default_clipboard_folder());
    }
    if (forced == "wayland") {
        return std::make_unique<wayland::WaylandClipboard>(default_clipboard_folder());
    }
    // The connection that finds the desktop is the one the clipboard uses.
    if (forced != "files") {
        if (wayland_display_named()) {
            if (auto compositor = wayland::WaylandLink::connect()) {
                return std::make_unique<wayland::WaylandClipboard>(default_clipboard_folder(),
                                                                   std::move(compositor));
            }
        }
        if (auto display = x11::XcbLink::connect()) {
            return std::make_unique<x11::X11Clipboard>(default_clipboard_folder(),
                                                       std::move(display));
        }
    }
    return std::make_unique<FilesClipboard>(default_clipboard_folder());
}

}  // namespace

std::unique_ptr<Platform> make_platform() {
    return std::make_unique<DesktopPlatform>(choose_clipboard);
}

}  // namespace varkit

#include <cstdlib>
#include <string_view>

#include "platform/desktop_platform.h"
#include "platform/files/files_clipboard.h"
#include "platform/platform.h"
#include "platform/x11/x11_clipboard.h"

namespace varkit {
namespace {

std::string_view forced_backend() {
    const char* value = std::getenv("VARKIT_CLIPBOARD");
    return value != nullptr ? value : "";
}

// Runs on the first clipboard operation: VARKIT_CLIPBOARD=x11|files|none
// decides; otherwise the X11 clipboard when a display can be opened, else
// the shared folder. Any other value counts as not set.
std::unique_ptr<Clipboard> choose_clipboard() {
    std::string_view forced = forced_backend();
    if (forced == "none") {
        return std::make_unique<NoneClipboard>();
    }
    if (forced == "x11") {
        return std::make_unique<x11::X11Clipboard>(default_clipboard_folder());
    }
    // The connection that finds the display is the one the clipboard uses.
    if (forced != "files") {
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
